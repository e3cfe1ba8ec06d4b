#pragma once
// The program plumora-browser: the start sequence with the steps of every subsystem, the main
// window and its event loop.
namespace plb::shell {

int RunPlumoraBrowser(int argc, char** argv);

}  // namespace plb::shell
