// The usage report: the exact lines the service parses, the photo size bins, and texts from the
// library that must not break the document.
#include "service/logs/usage_report.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

namespace plb {
namespace {

constexpr double kSecond = 1.0 / 86400;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
  return lines;
}

TEST(UsageReport, LinesOfAPeriodWithoutUploadsOrLibrary) {
  double now = EncodeDateTime({2024, 5, 17, 13, 4, 5, 0});
  TPLBLogItem item{[&] { return now; }};
  item.PageShown(0);
  now += 90 * kSecond;
  item.PageShown(1);
  now += 30.7 * kSecond;
  item.PageShown(0);
  const std::vector<std::string> lines = SplitLines(BuildUsageReport(item, {}, "1,2,3,4"));
  const std::vector<std::string> expected = {
      R"(<?xml version="1.0" encoding="utf-8"?>)",
      R"(<PlumoraBrowserLog applicationversion="1.2.3.4" starttime="2024-05-17T13:04:05+09:00">)",
      "<browselogs>",
      R"(<browselog mode="PlumoraDotNet" number="2" totalsecond="90"/>)",
      R"(<browselog mode="PhotoLibrary" number="1" totalsecond="30"/>)",
      R"(<browselog mode="BgmLibrary" number="0" totalsecond="0"/>)",
      R"(<browselog mode="PhotoLibraryUploader" number="0" totalsecond="0">)",
      "</browselog>",
      "</browselogs>",
      R"(<photoindexs dirnum="0" totalnum="0">)",
      R"(<position name="default" dirnum="0" totalnum="0">)",
      R"(<photoindex size="4096" totalnum="0"/>)",
      R"(<photoindex size="2048" totalnum="0"/>)",
      R"(<photoindex size="1024" totalnum="0"/>)",
      R"(<photoindex size="512" totalnum="0"/>)",
      R"(<photoindex size="0" totalnum="0"/>)",
      "</position>",
  };
  ASSERT_GE(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;
  const std::vector<std::string> tail(lines.end() - 6, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{R"(<cache kbyes="0"/>)", "<tags>", "</tags>", "<hints>", "</hints>",
                                           "</PlumoraBrowserLog>"}));
}

TEST(UsageReport, UploadsLibraryTagsAndHints) {
  TPLBLogItem item;
  item.Uploaded(3, 40);
  item.Uploaded(1, 2);
  TPLBLibraryDescription library;
  library.default_position.dir_count = 2;
  library.default_position.AddPhoto(1024, 768);
  library.otherwise_position.dir_count = 1;
  library.otherwise_position.AddPhoto(768, 1024);
  library.cache_bytes = 5 * 1024 + 1023;
  library.has_tag_group = true;
  library.tag_group = {"タグ", 0, {{"Family & <Friends>", 2, {{"\"Kids\"", 1, {}}}}, {"Trips", 4, {}}}};
  library.hints = {{7, true, EncodeDateTime({2024, 1, 2, 3, 4, 5, 0}), EncodeDateTime({2024, 2, 3, 4, 5, 6, 0})},
                   {8, false, 0, 0}};
  const std::string report = BuildUsageReport(item, library, "1.0.0.1");
  const std::string text = report;
  EXPECT_NE(text.find("<browselog mode=\"PhotoLibraryUploader\" number=\"2\" totalsecond=\"42\">\r\n"
                      "<uploadlog photonum=\"3\" totalsecond=\"40\"/>\r\n"
                      "<uploadlog photonum=\"1\" totalsecond=\"2\"/>\r\n</browselog>\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("<photoindexs dirnum=\"3\" totalnum=\"2\">"), std::string::npos);
  EXPECT_NE(text.find("<cache kbyes=\"5\"/>"), std::string::npos);
  EXPECT_NE(text.find("<tags>\r\n<tag name=\"タグ\" photonum=\"0\">\r\n"
                      "<tag name=\"Family &amp; &lt;Friends&gt;\" photonum=\"2\">\r\n"
                      "<tag name=\"&quot;Kids&quot;\" photonum=\"1\"/>\r\n</tag>\r\n"
                      "<tag name=\"Trips\" photonum=\"4\"/>\r\n</tag>\r\n</tags>\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("<hint hintid=\"7\" status=\"disp\" first_ts=\"2024-01-02T03:04:05+09:00\" "
                      "last_ts=\"2024-02-03T04:05:06+09:00\"/>\r\n<hint hintid=\"8\" status=\"nodisp\"/>\r\n"),
            std::string::npos);
  // Names with reserved characters leave the document well-formed.
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(report.c_str()));
  const pugi::xml_node positions = document.child("PlumoraBrowserLog").child("photoindexs");
  EXPECT_STREQ(positions.find_child_by_attribute("position", "name", "default")
                   .find_child_by_attribute("photoindex", "size", "1024")
                   .attribute("totalnum")
                   .value(),
               "1");
  EXPECT_STREQ(positions.find_child_by_attribute("position", "name", "addOtherwise")
                   .find_child_by_attribute("photoindex", "size", "512")
                   .attribute("totalnum")
                   .value(),
               "1");
}

TEST(UsageReport, PhotoSizeBins) {
  const struct {
    int width, height;
    int size;
  } cases[] = {
      {1024, 768, 1024}, {768, 1024, 512}, {4096, 1, 4096}, {1, 4097, 4096}, {4095, 4096, 2048},
      {511, 512, 0},     {0, 0, 0},        {-5, -5, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(kPhotoIndexSizes[PhotoIndexBin(c.width, c.height)], c.size) << c.width << "x" << c.height;
}

}  // namespace
}  // namespace plb
