// plb: the command-line face of the program's libraries.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
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

namespace {

constexpr int kUsageStatus = 2;
constexpr int kCatalogNotReadStatus = 3;

void PrintCommands(FILE* to) {
  std::fprintf(to, "usage: plb COMMAND [ARGS]\n       plb COMMAND --help\n       plb --version\n\ncommands:\n");
  auto commands = Subcommands();
  std::sort(commands.begin(), commands.end(),
            [](const Subcommand& a, const Subcommand& b) { return std::string(a.name) < b.name; });
  for (const auto& c : commands) std::fprintf(to, "  %-10s %s\n", c.name, c.summary);
}

const Subcommand* FindSubcommand(const std::string& name) {
  for (const auto& command : Subcommands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

std::string UsageLine(const Subcommand& command) {
  std::string line = std::string("plb ") + command.name;
  if (*command.arguments) line.append(" ").append(command.arguments);
  return line;
}

// The help of one command: what it does, its usage line, then the parser's list of arguments.
class CommandHelp : public CLI::Formatter {
 public:
  explicit CommandHelp(std::string usage) : usage_(std::move(usage)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return "usage: " + usage_ + "\n"; }
  // An argument's name says what it is; "..." marks one that may be repeated.
  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->nonpositional()) return CLI::Formatter::make_option_opts(option);
    return option->get_expected_max() > 1 ? " ..." : "";
  }

 private:
  std::string usage_;
};

int UsageFault(const Subcommand& command, const std::string& message) {
  std::fprintf(stderr, "plb %s: %s\nusage: %s\n", command.name, message.c_str(), UsageLine(command).c_str());
  return kUsageStatus;
}

// argv[0] is the command's name.
int RunSubcommand(const Subcommand& command, int argc, char** argv) {
  CLI::App parser(command.summary, std::string("plb ") + command.name);
  parser.formatter(std::make_shared<CommandHelp>(UsageLine(command)));
  const Runner run = command.define(parser);
  // Options may check their values while being read, so a UsageError can come from either step.
  try {
    parser.parse(argc, argv);
    return run();
  } catch (const CLI::CallForHelp&) {
    std::fputs(parser.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    return UsageFault(command, e.what());
  } catch (const UsageError& e) {
    return UsageFault(command, e.message);
  } catch (const CatalogNotRead& e) {
    std::fprintf(stderr, "plb %s: %s\n", command.name, e.message.c_str());
    return kCatalogNotReadStatus;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plb %s: %s: %s\n", command.name, ClassNameOf(e).c_str(), MessageOf(e).c_str());
    return 1;
  }
}

}  // namespace
}  // namespace plb::cli

int main(int argc, char** argv) {
  using namespace plb::cli;
  if (argc < 2) {
    PrintCommands(stderr);
    return kUsageStatus;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    PrintCommands(stdout);
    return 0;
  }
  if (name == "--version") name = "version";
  const Subcommand* command = FindSubcommand(name);
  if (!command) {
    std::fprintf(stderr, "plb: unknown command '%s'\n", name.c_str());
    PrintCommands(stderr);
    return kUsageStatus;
  }
  return RunSubcommand(*command, argc - 1, argv + 1);
}
