#include "host/ini_file.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "host/ascii_case.h"

namespace plb {
namespace {

constexpr std::streamoff kMaxIniSize = 1 << 20;

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<int> ParseInteger(std::string text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16, text.erase(0, 2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16, text.erase(0, 1);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

bool IniFile::Load(const std::string& path) {
  sections_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxIniSize) return false;
  in.seekg(0);
  std::stringstream text;
  text << in.rdbuf();
  Parse(text.str());
  return true;
}

void IniFile::Parse(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::string section;
  bool first = true;
  while (std::getline(lines, line)) {
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      section = AsciiLowered(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      sections_[section];
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    sections_[section].emplace(AsciiLowered(Trim(line.substr(0, equals))), value);
  }
}

bool IniFile::SectionExists(const std::string& section) const {
  return sections_.count(AsciiLowered(section)) > 0;
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Value(section, key).has_value();
}

std::optional<std::string> IniFile::Value(const std::string& section, const std::string& key) const {
  const auto s = sections_.find(AsciiLowered(section));
  if (s == sections_.end()) return std::nullopt;
  const auto k = s->second.find(AsciiLowered(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& fallback) const {
  return Value(section, key).value_or(fallback);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
  const auto text = Value(section, key);
  if (!text) return fallback;
  return ParseInteger(*text).value_or(fallback);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  const auto text = Value(section, key);
  if (!text) return fallback;
  if (const auto number = ParseInteger(*text)) return *number != 0;
  const std::string word = AsciiLowered(*text);
  if (word == "true" || word == "yes" || word == "on") return true;
  if (word == "false" || word == "no" || word == "off") return false;
  return fallback;
}

}  // namespace plb
