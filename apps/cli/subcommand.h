#pragma once
// The subcommands of plb. Each lives in its own file and registers itself with a static
// PLB_SUBCOMMAND object, so adding one never touches another file.
#include <string>
#include <vector>

namespace plb::cli {

using Args = std::vector<std::string>;

struct Subcommand {
  const char* name;
  const char* usage;  // one line: arguments and options
  int (*run)(const Args& args);  // the arguments after the subcommand's name; returns the exit code
};

// Registers a subcommand; used through PLB_SUBCOMMAND.
bool RegisterSubcommand(const Subcommand& command);

const std::vector<Subcommand>& Subcommands();

// Takes "--flag" out of args; true when it was there.
bool TakeFlag(Args& args, const std::string& flag);

// Takes "--option VALUE" (or "--option=VALUE") out of args; false when absent. A missing value
// throws UsageError.
bool TakeOption(Args& args, const std::string& option, std::string& value);

struct UsageError {
  std::string message;
};

// Escapes a text for a JSON string (without the quotes).
std::string JsonEscape(const std::string& text);

}  // namespace plb::cli

#define PLB_SUBCOMMAND_CAT2(a, b) a##b
#define PLB_SUBCOMMAND_CAT(a, b) PLB_SUBCOMMAND_CAT2(a, b)
#define PLB_SUBCOMMAND(name, usage, fn) \
  static const bool PLB_SUBCOMMAND_CAT(plb_subcommand_, __LINE__) = ::plb::cli::RegisterSubcommand({name, usage, fn})
