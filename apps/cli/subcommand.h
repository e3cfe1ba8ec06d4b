#pragma once
// The subcommands of plb. Each lives in its own file and registers itself with a static
// PLB_SUBCOMMAND object, so adding one never touches another file. A subcommand declares its
// arguments and options on a parser of its own and answers the function that runs it with the
// values parsed; the parser gives every command its --help and its usage errors.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace plb::cli {

// Runs a parsed command; answers the exit code.
using Runner = std::function<int()>;

struct Subcommand {
  const char* name;
  const char* arguments;  // the usage line after "plb NAME"
  const char* summary;    // one line, for the command list and the command's help
  Runner (*define)(CLI::App& app);
};

// Registers a subcommand; used through PLB_SUBCOMMAND.
bool RegisterSubcommand(const Subcommand& command);

const std::vector<Subcommand>& Subcommands();

// A fault in the arguments that only the command can see; reported like a parser's usage error
// (with the command's usage line, exit status 2).
struct UsageError {
  std::string message;
};

// The catalog could not be read whole: the command did nothing and left the catalog's files as
// they are. Reported with its own exit status and the way out, plb recover.
struct CatalogNotRead {
  std::string message;
};

}  // namespace plb::cli

#define PLB_SUBCOMMAND_CAT2(a, b) a##b
#define PLB_SUBCOMMAND_CAT(a, b) PLB_SUBCOMMAND_CAT2(a, b)
#define PLB_SUBCOMMAND(name, arguments, summary, define)                  \
  static const bool PLB_SUBCOMMAND_CAT(plb_subcommand_, __LINE__) = \
      ::plb::cli::RegisterSubcommand({name, arguments, summary, define})
