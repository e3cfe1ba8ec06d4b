// Service identifiers as path components: one rule, and valid identifiers pass untouched.
#include "service/upload/service_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace plb {
namespace {

TEST(ServicePathComponent, HostileTextsStayOneEntryOfTheirFolder) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"B0001", "B0001"},
      {"R0001-aa.bb_cc", "R0001-aa.bb_cc"},  // "_" stays: the re-upload queue cuts keys at it
      {"写真集", "写真集"},
      {"", "Unknown"},
      {".", "Unknown"},
      {"..", "Unknown"},
      {"...", "..."},
      {"../../x", "..%2F..%2Fx"},
      {"/etc", "%2Fetc"},
      {"a\\b", "a%5Cb"},
      {std::string("a\0b", 3), "a%00b"},
      {"a\nb\x7f", "a%0Ab%7F"},
      {"100%", "100%25"},
      {"host/name:80", "host%2Fname:80"},
  };
  for (const auto& c : cases) {
    const std::string got = ServicePathComponent(c.in);
    EXPECT_EQ(got, c.out) << c.in;
    const std::filesystem::path joined = std::filesystem::path("/cache") / got;
    EXPECT_EQ(joined.lexically_normal().parent_path(), "/cache") << c.in;
  }
}

TEST(ServicePathComponent, DistinctTextsGiveDistinctNames) {
  std::set<std::string> names;
  for (const char* text : {"a/b", "a%2Fb", "a%b", "a%25b", "a\\b", "a%5Cb"}) names.insert(ServicePathComponent(text));
  EXPECT_EQ(names.size(), 6u);
}

}  // namespace
}  // namespace plb
