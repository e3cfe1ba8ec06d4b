#include "json_output.h"

#include <cstdio>

#include "platform/text_encoding.h"

namespace plb::cli {

void PutText(JsonObject& object, const std::string& key, const std::string& text) {
  object[key] = text;
  if (!platform::IsValidUtf8(text)) object[key + "_hex"] = platform::ToHex(text);
}

void PutTexts(JsonObject& object, const std::string& key, const std::vector<std::string>& texts) {
  object[key] = texts;
  bool allValid = true;
  for (const std::string& text : texts) allValid = allValid && platform::IsValidUtf8(text);
  if (allValid) return;
  JsonObject& hex = object[key + "_hex"] = JsonObject::array();
  for (const std::string& text : texts) hex.push_back(platform::ToHex(text));
}

void PrintJsonLine(const JsonObject& object) {
  // The replacement covers what PutText did not see (a key, a text set directly); the exact
  // bytes of a text put with PutText are in its "_hex" field.
  const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::printf("%s\n", line.c_str());
}

}  // namespace plb::cli
