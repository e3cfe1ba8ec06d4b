// plumora-local-service: the local Plumora service on 127.0.0.1.
//   plumora-local-service [--port N] [--data DIR] [--www DIR] [--fault ITEMS]... [--config ITEMS]...
//                         [--stop-with-stdin] [--test]
// The first line of output is the base URL; SIGTERM or SIGINT stops it cleanly, and so does the end
// of its input with --stop-with-stdin (a test that dies leaves no service behind).
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "localservice/local_service.h"

namespace {

using Items = std::map<std::string, std::string>;

// "a=1&b=2" into items (no decoding: the values are simple words and numbers).
Items ParseItems(const std::string& text) {
  Items items;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, '&');) {
    const size_t equals = item.find('=');
    if (equals != std::string::npos) items[item.substr(0, equals)] = item.substr(equals + 1);
  }
  return items;
}

struct Options {
  int port = 8765;
  std::string data = "plumora-local-service-data";
  std::string www;
  std::vector<std::pair<std::string, plb::localservice::Fault>> faults;  // endpoint path, fault
  Items config;
  bool stop_with_stdin = false;
  bool test = false;
};

void DefineOptions(CLI::App& app, Options& o) {
  app.add_option("--port", o.port, "the port on 127.0.0.1; 0 picks a free one")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  app.add_option("--data", o.data, "the folder for received files")->type_name("DIR");
  app.add_option("--www", o.www, "the folder of the pages (default: the source tree's)")->type_name("DIR");
  app.add_option_function<std::vector<std::string>>(
         "--fault",
         [&o](const std::vector<std::string>& texts) {
           for (const std::string& text : texts) {
             const Items items = ParseItems(text);
             const auto fault = plb::localservice::ParseFault(items);
             if (!fault || items.count("path") == 0) throw CLI::ValidationError("--fault", "bad fault: " + text);
             o.faults.emplace_back(items.at("path"), *fault);
           }
         },
         "a fault for an endpoint, e.g. path=/api/x.php&kind=status&status=500&count=1")
      ->allow_extra_args(false)
      ->type_name("ITEMS");
  app.add_option_function<std::vector<std::string>>(
         "--config",
         [&o](const std::vector<std::string>& texts) {
           // The first value given for a name holds.
           for (const std::string& text : texts) o.config.merge(ParseItems(text));
         },
         "answer configuration, name=value&...")
      ->allow_extra_args(false)
      ->type_name("ITEMS");
  app.add_flag("--stop-with-stdin", o.stop_with_stdin, "stop when standard input ends");
  app.add_flag("--test", o.test,
               "record the latest requests and answer the /test/ endpoints (for tests: anyone on this machine "
               "may use them)");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("The local Plumora service on 127.0.0.1; prints its base URL, stops on SIGTERM or SIGINT.",
               "plumora-local-service");
  Options o;
  DefineOptions(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "plumora-local-service: %s\n%s", e.what(), app.help().c_str());
    return 2;
  }

  // The stop signals are taken by sigwait below, never by a handler on a server thread.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::error_code error;
  std::filesystem::create_directories(o.data, error);
  plb::localservice::LocalService service(o.data, o.www, o.test);
  try {
    service.Start(o.port);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plumora-local-service: %s\n", e.what());
    return 1;
  }
  for (const auto& [path, fault] : o.faults) service.Faults().Add(path, fault);
  service.State().Configure(o.config);
  std::printf("%s\n", service.BaseUrl().c_str());
  std::fflush(stdout);

  if (o.stop_with_stdin) {
    std::thread([] {
      char buffer[256];
      while (::read(0, buffer, sizeof buffer) > 0) {
      }
      ::kill(::getpid(), SIGTERM);
    }).detach();
  }

  int received = 0;
  sigwait(&stop_signals, &received);
  service.Stop();
  return 0;
}
