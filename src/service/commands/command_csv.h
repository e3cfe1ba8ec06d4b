#pragma once
// The command language of the service's pages: the command CSV, its items "name=value", the
// wake-up URL and the converters between the carriers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plb {

inline constexpr std::string_view kWakeupPrefix = "plumorabrowser://wakeup/?";

// Splits a command CSV into its items: a quoted item runs to its closing quote (a doubled quote
// stands for one); an unquoted item ends at a comma, a space or a control character; blanks
// between items are skipped; a comma at the very end adds one empty item.
std::vector<std::string> ParseCommandCSV(std::string_view csv);

// Writes items as a command CSV, quoting only the items that need it.
std::string WriteCommandCSV(const std::vector<std::string>& items);

// Encloses an item in double quotes, doubling the quotes inside.
std::string QuoteCSVItem(std::string_view item);

// The name of an item (the part before its first "="; empty when it has none) and its value.
std::string ItemName(std::string_view item);
std::string ItemValue(std::string_view item);

// The value of the first item with the name (compared without regard to case).
std::optional<std::string> FindItem(const std::vector<std::string>& items, std::string_view name);

// Percent-decoding: "%" and two hexadecimal digits give that byte; any other "%" sequence, one
// cut short by the end of the text, and "%00" are dropped; "+" stays "+".
std::string PercentDecode(std::string_view text);

// Splits text at separator; with decode the value of each piece (after its first "=") is
// percent-decoded. The pieces are written out as a command CSV.
std::string PLBCommandToCSV(char separator, std::string_view text, bool decode);

// The command CSV of the text after the URL's first "?" ("&"-separated, decoded); empty without "?".
std::string GetPLBCommand(std::string_view url);

struct TPlumoraBrowserCommand {
  bool is_wakeup = false;
  std::string csv;  // empty when the text is not a wake-up URL
};

// Recognises a wake-up URL (prefix compared without regard to case) and gives its command CSV.
TPlumoraBrowserCommand GetPlumoraBrowserCommandEx(std::string_view text);

// The command CSV of program arguments: a wake-up URL gives its items; an argument prefixed by
// "urlencodedparam=" is split at "&" and decoded; any other argument becomes one quoted item.
std::string CommandLineCSV(const std::vector<std::string>& args);

}  // namespace plb
