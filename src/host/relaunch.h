#pragma once
// Starting the program again with the arguments it was started with (the restart command).
#include <string>
#include <vector>

namespace plb {

// The arguments of the new process: the same arguments in order, except that every argument
// beginning with "localparamfile=" (any letter case) keeps its first 15 characters and points at
// reboot_copy_path instead (empty when no copy of the local parameter file was written).
std::vector<std::string> BuildRelaunchArguments(const std::vector<std::string>& args,
                                                const std::string& reboot_copy_path);

// Starts program with args (not through a shell) and does not wait for it; false when it could
// not be started.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& args);

}  // namespace plb
