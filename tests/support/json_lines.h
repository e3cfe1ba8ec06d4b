#pragma once
// Parses a program's --json output: one JSON object per line.
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace plb::test {

inline std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) rows.push_back(nlohmann::json::parse(line));
  return rows;
}

}  // namespace plb::test
