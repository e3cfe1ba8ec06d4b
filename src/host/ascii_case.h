#pragma once
// Letter case folding of ASCII only, for keywords, patterns, schemes and file extensions: texts
// whose letters are ASCII by definition. Independent of the C locale, so safe on any thread.
#include <string>
#include <string_view>

namespace plb {

constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// Whether a and b are equal, ASCII letters compared without regard to case.
constexpr bool AsciiEqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// Whether text begins with prefix, ASCII letters compared without regard to case.
constexpr bool AsciiStartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  return true;
}

}  // namespace plb
