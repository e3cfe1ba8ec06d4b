#pragma once
// The program's own file: the files that live beside it ("debug.ini", "<program>.ini") are found
// through it.
#include <string>

namespace plb {

// The full path of the running program (/proc/self/exe), or the path given to
// OverrideProgramFilePath.
std::string ProgramFilePath();
// The folder of ProgramFilePath, without a trailing "/".
std::string ProgramFolder();

// Makes ProgramFilePath answer path (tests put their ".ini" files in a folder of their own);
// an empty path goes back to the real one.
void OverrideProgramFilePath(const std::string& path);

}  // namespace plb
