#pragma once
// The --json output of plb: one object per line, its keys in the order they were put in.
//
// Texts from outside the program (file names, paths, tags, EXIF fields, settings, service
// answers) are bytes that need not be UTF-8, while a JSON string must be. Such a text is written
// with every invalid byte replaced by U+FFFD, so the line stays valid JSON and readable, and its
// exact bytes follow in a sibling "<key>_hex" field (two lower-case hexadecimal digits a byte),
// present only when the text is not valid UTF-8.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace plb::cli {

using JsonObject = nlohmann::ordered_json;

// Sets object[key] to text, with "<key>_hex" as described above.
void PutText(JsonObject& object, const std::string& key, const std::string& text);

// Sets object[key] to a list of texts; when any of them is not valid UTF-8, "<key>_hex" lists the
// bytes of every one of them in the same order.
void PutTexts(JsonObject& object, const std::string& key, const std::vector<std::string>& texts);

// Prints the object as one line on stdout.
void PrintJsonLine(const JsonObject& object);

}  // namespace plb::cli
