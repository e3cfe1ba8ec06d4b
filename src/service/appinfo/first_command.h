#pragma once
// The first command of the home view: asked from the service with the start parameters, while the
// main window is already up.
#include <functional>
#include <string>
#include <thread>

namespace plb {

struct TFirstCommandResult {
  bool success = false;     // false only when the start parameters could not be written
  std::string command_csv;  // the service's command, or the error page of its failure
};

// Sends the start-parameter file (deleted afterwards, whatever happened) to the first-command URL.
// A service failure still succeeds, with the error page of the failure as the command, so the
// main window always has something to run. A received application-information document becomes
// the local copy.
TFirstCommandResult GetFirstPlumoraBrowserCommand(const std::string& first_command_url);

// Runs the fetch on a thread of its own; the completion runs on the UI thread when a dispatcher
// is installed, otherwise on the fetching thread. Destroying the getter waits for the fetch.
class TFirstCommandGetter {
 public:
  using Completion = std::function<void(const TFirstCommandResult&)>;
  TFirstCommandGetter(std::string first_command_url, Completion completion);
  ~TFirstCommandGetter();
  TFirstCommandGetter(const TFirstCommandGetter&) = delete;
  TFirstCommandGetter& operator=(const TFirstCommandGetter&) = delete;

 private:
  std::thread thread_;
};

}  // namespace plb
