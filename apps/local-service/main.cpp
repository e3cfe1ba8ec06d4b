// plumora-local-service: the local Plumora service on 127.0.0.1.
//   plumora-local-service [--port N] [--data DIR] [--www DIR] [--fault ITEMS]... [--config ITEMS]
//                         [--stop-with-stdin]
// The first line of output is the base URL; SIGTERM or SIGINT stops it cleanly, and so does the end
// of its input with --stop-with-stdin (a test that dies leaves no service behind).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "localservice/local_service.h"

namespace {

// "a=1&b=2" into items (no decoding: the values are simple words and numbers).
std::map<std::string, std::string> Items(const std::string& text) {
  std::map<std::string, std::string> items;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, '&');) {
    const size_t equals = item.find('=');
    if (equals != std::string::npos) items[item.substr(0, equals)] = item.substr(equals + 1);
  }
  return items;
}

int Usage() {
  std::fprintf(stderr,
               "usage: plumora-local-service [--port N] [--data DIR] [--www DIR] "
               "[--fault path=/api/x.php&kind=status&status=500&count=1]... [--config name=value&...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 8765;
  std::string data = "plumora-local-service-data";
  std::string www;
  std::vector<std::map<std::string, std::string>> faults;
  std::map<std::string, std::string> config;
  bool stop_with_stdin = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--stop-with-stdin") {
      stop_with_stdin = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--port") {
      char* end = nullptr;
      const long parsed = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || parsed < 0 || parsed > 65535) return Usage();
      port = static_cast<int>(parsed);
    } else if (arg == "--data") {
      data = value;
    } else if (arg == "--www") {
      www = value;
    } else if (arg == "--fault") {
      faults.push_back(Items(value));
    } else if (arg == "--config") {
      for (const auto& item : Items(value)) config.insert(item);
    } else {
      return Usage();
    }
  }

  // The stop signals are taken by sigwait below, never by a handler on a server thread.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::error_code error;
  std::filesystem::create_directories(data, error);
  plb::localservice::LocalService service(data, www);
  try {
    service.Start(port);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plumora-local-service: %s\n", e.what());
    return 1;
  }
  for (const auto& fault : faults) {
    const auto parsed = plb::localservice::ParseFault(fault);
    if (!parsed || fault.count("path") == 0) {
      std::fprintf(stderr, "plumora-local-service: bad fault\n");
      return 2;
    }
    service.Faults().Add(fault.at("path"), *parsed);
  }
  service.State().Configure(config);
  std::printf("%s\n", service.BaseUrl().c_str());
  std::fflush(stdout);

  if (stop_with_stdin) {
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
