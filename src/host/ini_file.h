#pragma once
// A small reader of INI files ("[Section]" headers, "Key=Value" lines, ";" and "#" comments).
// Section and key names are matched without regard to ASCII letter case; the first occurrence of
// a key in a section wins, and sections of the same name are read as one.
#include <map>
#include <optional>
#include <string>

namespace plb {

class IniFile {
 public:
  // An empty file; Load fills it.
  IniFile() = default;

  // Reads path; false when it does not exist or cannot be read (the file then stays empty).
  // Files larger than a megabyte are not INI files of ours and are not read.
  bool Load(const std::string& path);
  void Parse(const std::string& text);

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;

  std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
  // A decimal integer (or "0x"/"$" hexadecimal); anything else, or a value outside 32 bits, gives
  // fallback.
  int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
  // An integer other than 0 is true; "true"/"yes"/"on" and "false"/"no"/"off" are understood too;
  // anything else gives fallback.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

 private:
  // Folded section name -> folded key -> value.
  std::map<std::string, std::map<std::string, std::string>> sections_;
};

}  // namespace plb
