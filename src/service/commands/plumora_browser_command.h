#pragma once
// The start-parameter file the program sends to the service with its first requests.
#include <string>
#include <vector>

namespace plb {

// What the start-parameter document is built from.
struct TStartParamSources {
  std::string version;
  std::string session_id;
  std::string command_line_csv;
  std::string local_param_file;                // the stored local parameter file
  std::string machine_user_id_list;            // "packagecode:machineid:machineuserid,..."
  std::vector<std::string> installer_history;  // "name=value"
  std::vector<std::string> installer_infos;    // "name=value"
};

// The document of the start-parameter file (UTF-8). The local parameter file's root is copied in
// only when the file is a hand-over document: any other file named there stays unread.
std::string BuildPlumoraBrowserParams(const TStartParamSources& sources);

// Writes the document into the private temporary folder as "PlumoraBrowserParams(%d).xml" with the
// first free number and returns its path. Raises EPlumoraBrowserCommandError.
std::string SavePlumoraBrowserParams(const TStartParamSources& sources);
// The same from the program's own state: the store, its arguments, the message agent and the
// machine-wide installer lists.
std::string SavePlumoraBrowserParams();

// The program's arguments, recorded by the start-up.
void SetCommandLineArguments(const std::vector<std::string>& args);
std::vector<std::string> CommandLineArguments();

// The command CSV of the recorded arguments: also the text a second start forwards to the first.
std::string ProgramCommandLineCSV();

}  // namespace plb
