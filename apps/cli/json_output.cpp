#include "json_output.h"

#include <cstdio>

namespace plb::cli {
namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  try {
    // The library's strict writer is the UTF-8 check: it refuses what it could not write.
    (void)nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

void PutText(JsonObject& object, const std::string& key, const std::string& text) {
  object[key] = text;
  if (!IsValidUtf8(text)) object[key + "_hex"] = Hex(text);
}

void PutTexts(JsonObject& object, const std::string& key, const std::vector<std::string>& texts) {
  object[key] = texts;
  bool allValid = true;
  for (const std::string& text : texts) allValid = allValid && IsValidUtf8(text);
  if (allValid) return;
  JsonObject& hex = object[key + "_hex"] = JsonObject::array();
  for (const std::string& text : texts) hex.push_back(Hex(text));
}

void PrintJsonLine(const JsonObject& object) {
  const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::printf("%s\n", line.c_str());
}

}  // namespace plb::cli
