#pragma once
// The local service as a real process on a free port, for the tests of the service client.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "service/commands/command_csv.h"
#include "service/http/http_client.h"
#include "service/api/plumora_api_params.h"
#include "support/test_env.h"

extern char** environ;

namespace plb::test {

class LocalServiceProcess {
 public:
  // With test_endpoints the program gets --test: the /test/ endpoints that Admin() and the
  // helpers below use.
  explicit LocalServiceProcess(std::vector<std::string> extra_args = {}, bool test_endpoints = true) {
    data_dir_ = TestRoot() + "/service-data";
    std::filesystem::create_directories(data_dir_);
    int out[2];
    int in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    // The service ends with its input, so a test that dies leaves no service behind.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    const std::string program = BinaryDir() + "/bin/plumora-local-service";
    std::vector<std::string> args = {program, "--port", "0", "--data", data_dir_, "--stop-with-stdin"};
    if (test_endpoints) args.push_back("--test");
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("cannot start " + program);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);
    input_ = in[1];
    output_ = fdopen(out[0], "r");
    char line[256] = {};
    if (output_ == nullptr || std::fgets(line, sizeof line, output_) == nullptr)
      throw std::runtime_error("the local service printed no base URL");
    base_url_ = line;
    while (!base_url_.empty() && (base_url_.back() == '\n' || base_url_.back() == '\r')) base_url_.pop_back();
  }

  ~LocalServiceProcess() { Stop(); }

  // SIGTERM and wait; the exit status (0 for a clean stop).
  int Stop() {
    if (pid_ <= 0) return exit_status_;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (output_ != nullptr) std::fclose(output_);
    output_ = nullptr;
    close(input_);
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exit_status_;
  }

  const std::string& BaseUrl() const { return base_url_; }
  std::string ApiUrl() const { return base_url_ + "api/"; }
  const std::string& DataDir() const { return data_dir_; }

  // Points the parameter store at this service, with a session and machine ids.
  void UseAsService() const {
    PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
      v.base_url = ApiUrl();
      v.app_info_url = ApiUrl() + "getAppInfo.php";
      v.eyefi_url = base_url_ + "eyefi/";
      v.session_id = "S-1";
      v.machine_id = "M-1";
      v.machine_user_id = "MU-1";
    });
  }

  std::string Admin(const std::string& path, const std::map<std::string, std::string>& items = {},
                    bool get = false) const {
    std::string url = base_url_ + path;
    char separator = '?';
    for (const auto& [name, value] : items) {
      url += separator + name + "=" + Encode(value);
      separator = '&';
    }
    THttpRequest request;
    request.url = url;
    request.get = get;
    return HttpSend(request).body;
  }

  // Queues a fault on an endpoint such as "/api/upload.php".
  void Fault(const std::string& path, std::map<std::string, std::string> items) const {
    items["path"] = path;
    Admin("test/fault", items);
  }
  void Configure(const std::map<std::string, std::string>& items) const { Admin("test/config", items); }
  nlohmann::json Requests() const { return nlohmann::json::parse(Admin("test/requests", {}, true)); }
  nlohmann::json State() const { return nlohmann::json::parse(Admin("test/state", {}, true)); }

  // The names of the parts of the last request, in order.
  std::vector<std::string> LastFieldNames() const {
    const nlohmann::json requests = Requests();
    std::vector<std::string> names;
    if (requests.empty()) return names;
    for (const auto& part : requests.back()["parts"]) names.push_back(part["name"]);
    return names;
  }

  static std::string Encode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
        out.push_back(static_cast<char>(c));
      } else {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
      }
    }
    return out;
  }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  int input_ = -1;
  std::string base_url_;
  std::string data_dir_;
  int exit_status_ = 0;
};

}  // namespace plb::test
