#include "service/commands/command_csv.h"

#include <cctype>

#include "host/ascii_case.h"

namespace plb {
namespace {

constexpr std::string_view kUrlEncodedParam = "urlencodedparam=";

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool NeedsQuotes(std::string_view item) {
  for (char c : item)
    if (c == ',' || c == '"' || IsBlank(c)) return true;
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    pieces.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return pieces;
}

std::string DecodeValueOf(std::string_view piece) {
  const size_t equals = piece.find('=');
  if (equals == std::string_view::npos) return std::string(piece);
  return std::string(piece.substr(0, equals + 1)) + PercentDecode(piece.substr(equals + 1));
}

}  // namespace

std::vector<std::string> ParseCommandCSV(std::string_view csv) {
  std::vector<std::string> items;
  size_t at = 0;
  const size_t size = csv.size();
  while (at < size && IsBlank(csv[at])) ++at;
  while (at < size) {
    std::string item;
    if (csv[at] == '"') {
      ++at;
      while (at < size) {
        if (csv[at] == '"') {
          if (at + 1 < size && csv[at + 1] == '"') {
            item.push_back('"');
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        item.push_back(csv[at++]);
      }
    } else {
      const size_t start = at;
      while (at < size && !IsBlank(csv[at]) && csv[at] != ',') ++at;
      item.assign(csv.substr(start, at - start));
    }
    items.push_back(std::move(item));
    while (at < size && IsBlank(csv[at])) ++at;
    if (at < size && csv[at] == ',') {
      if (at + 1 == size) items.emplace_back();
      ++at;
      while (at < size && IsBlank(csv[at])) ++at;
    }
  }
  return items;
}

std::string QuoteCSVItem(std::string_view item) {
  std::string out = "\"";
  for (char c : item) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string WriteCommandCSV(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out.push_back(',');
    // An empty last item must be quoted, or the written text would lose it.
    if (NeedsQuotes(items[i]) || (items[i].empty() && i + 1 == items.size()))
      out += QuoteCSVItem(items[i]);
    else
      out += items[i];
  }
  return out;
}

std::string ItemName(std::string_view item) {
  const size_t equals = item.find('=');
  return equals == std::string_view::npos ? std::string() : std::string(item.substr(0, equals));
}

std::string ItemValue(std::string_view item) {
  const size_t equals = item.find('=');
  return equals == std::string_view::npos ? std::string() : std::string(item.substr(equals + 1));
}

std::optional<std::string> FindItem(const std::vector<std::string>& items, std::string_view name) {
  for (const auto& item : items) {
    const size_t equals = item.find('=');
    if (equals != std::string::npos && AsciiEqualsNoCase(std::string_view(item).substr(0, equals), name))
      return item.substr(equals + 1);
  }
  return std::nullopt;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '%') {
      out.push_back(text[at]);
      continue;
    }
    // A sequence cut short by the end is dropped whole, never read past the end.
    if (at + 2 >= text.size()) break;
    const int high = HexDigit(text[at + 1]);
    const int low = HexDigit(text[at + 2]);
    const int byte = high * 16 + low;
    if (high >= 0 && low >= 0 && byte != 0) out.push_back(static_cast<char>(byte));
    at += 2;
  }
  return out;
}

std::string PLBCommandToCSV(char separator, std::string_view text, bool decode) {
  std::vector<std::string> pieces = Split(text, separator);
  if (decode)
    for (auto& piece : pieces) piece = DecodeValueOf(piece);
  return WriteCommandCSV(pieces);
}

std::string GetPLBCommand(std::string_view url) {
  const size_t question = url.find('?');
  if (question == std::string_view::npos) return std::string();
  return PLBCommandToCSV('&', url.substr(question + 1), true);
}

TPlumoraBrowserCommand GetPlumoraBrowserCommandEx(std::string_view text) {
  TPlumoraBrowserCommand command;
  if (!AsciiStartsWithNoCase(text, kWakeupPrefix)) return command;
  command.is_wakeup = true;
  command.csv = PLBCommandToCSV('&', text.substr(kWakeupPrefix.size()), true);
  return command;
}

std::string CommandLineCSV(const std::vector<std::string>& args) {
  std::string out;
  for (const auto& arg : args) {
    std::string_view rest = arg;
    bool encoded = false;
    if (AsciiStartsWithNoCase(rest, kUrlEncodedParam)) {
      rest.remove_prefix(kUrlEncodedParam.size());
      encoded = true;
    }
    std::string piece;
    if (auto wakeup = GetPlumoraBrowserCommandEx(rest); wakeup.is_wakeup)
      piece = wakeup.csv;
    else if (encoded)
      piece = PLBCommandToCSV('&', rest, true);
    else
      piece = QuoteCSVItem(rest);
    if (!out.empty()) out.push_back(',');
    out += piece;
  }
  return out;
}

}  // namespace plb
