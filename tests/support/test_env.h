#pragma once
// Every test runs with its own HOME, XDG_* folders and TMPDIR below a fresh folder, so no test
// ever touches the real home, /etc or another test's files.
#include <string>

namespace plb::test {

// The fresh folder of the running test; "home", "config", "data", "cache", "runtime", "tmp" and
// "etc" live below it.
const std::string& TestRoot();

// ../shared/testdata of the source tree.
std::string TestDataDir();

// The build tree, where the programs are (bin/plb, bin/plumora-browser, ...).
std::string BinaryDir();

// Creates a fresh root and points the environment at it. Called before every test.
void EnterFreshEnvironment();

// Removes the root of the finished test (kept when PLB_KEEP_TEST_DIRS is set).
void LeaveEnvironment();

// Called with the program's exit code once every test has run, before main returns (set by a
// test program whose libraries must not be torn down by the C++ exit, such as the browser
// engine of the Qt tests).
void SetProgramEndHook(void (*hook)(int code));
void RunProgramEndHook(int code);

}  // namespace plb::test
