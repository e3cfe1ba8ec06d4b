// plb: the command-line face of the program's libraries.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {

namespace {
std::vector<Subcommand>& Registry() {
  static std::vector<Subcommand> registry;
  return registry;
}
}  // namespace

bool RegisterSubcommand(const Subcommand& command) {
  Registry().push_back(command);
  return true;
}

const std::vector<Subcommand>& Subcommands() { return Registry(); }

bool TakeFlag(Args& args, const std::string& flag) {
  auto it = std::find(args.begin(), args.end(), flag);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

bool TakeOption(Args& args, const std::string& option, std::string& value) {
  for (auto it = args.begin(); it != args.end(); ++it) {
    if (*it == option) {
      if (it + 1 == args.end()) throw UsageError{option + " needs a value"};
      value = *(it + 1);
      args.erase(it, it + 2);
      return true;
    }
    if (it->rfind(option + "=", 0) == 0) {
      value = it->substr(option.size() + 1);
      args.erase(it);
      return true;
    }
  }
  return false;
}

std::string JsonEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

namespace {

void PrintUsage(FILE* to) {
  std::fprintf(to, "usage: plb COMMAND [ARGS]\n\ncommands:\n");
  auto commands = Subcommands();
  std::sort(commands.begin(), commands.end(),
            [](const Subcommand& a, const Subcommand& b) { return std::string(a.name) < b.name; });
  for (const auto& c : commands) std::fprintf(to, "  %-10s %s\n", c.name, c.usage);
}

}  // namespace
}  // namespace plb::cli

int main(int argc, char** argv) {
  using namespace plb::cli;
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::string name = argv[1];
  for (const auto& command : Subcommands()) {
    if (name != command.name) continue;
    Args args(argv + 2, argv + argc);
    try {
      return command.run(args);
    } catch (const UsageError& e) {
      std::fprintf(stderr, "plb %s: %s\nusage: plb %s %s\n", command.name, e.message.c_str(), command.name,
                   command.usage);
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "plb %s: %s: %s\n", command.name, plb::ClassNameOf(e).c_str(), plb::MessageOf(e).c_str());
      return 1;
    }
  }
  std::fprintf(stderr, "plb: unknown command '%s'\n", name.c_str());
  PrintUsage(stderr);
  return 2;
}
