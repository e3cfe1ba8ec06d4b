#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

using ExifRun = test::CommandRun;

// Standard output only: the JSON lines, without the error lines.
ExifRun RunPlbExif(const std::string& args) { return test::RunPlbStdout("exif " + args); }

using test::JsonLines;

std::string Sample(const std::string& name) {
  return test::TestDataDir() + "/exif-samples/" + name;
}

TEST(ExifCommand, ReportsEachFileAndGoesOnAfterAnError) {
  const std::string missing = test::TestRoot() + "/missing.jpg";
  const ExifRun run = RunPlbExif("--json '" + Sample("jpg/Canon_40D.jpg") + "' '" + missing + "' '" +
                                 Sample("README.rst") + "' '" + Sample("jpg/orientation/portrait_6.jpg") + "'");
  EXPECT_EQ(run.status, 1);
  const auto rows = JsonLines(run.out);
  ASSERT_EQ(rows.size(), 4u);

  const auto& canon = rows[0];
  EXPECT_FALSE(canon.contains("error"));
  EXPECT_EQ(canon["date"], "2008:05:30 15:56:01");
  EXPECT_EQ(canon["orientation"], 1);
  EXPECT_EQ(canon["width"], 100);
  EXPECT_EQ(canon["height"], 68);
  EXPECT_EQ(canon["make"], "Canon");
  EXPECT_EQ(canon["model"], "Canon EOS 40D");
  EXPECT_GT(canon["thumbnail_length"].get<int>(), 0);
  EXPECT_GT(canon["thumbnail_offset"].get<int>(), 0);
  bool found_fnumber = false;
  for (const auto& p : canon["properties"]) {
    if (p["index"] == 37) {
      found_fnumber = true;
      EXPECT_EQ(p["label"], "Ｆナンバー");
      EXPECT_EQ(p["text"], "F7.1");
    }
  }
  EXPECT_TRUE(found_fnumber);

  EXPECT_EQ(rows[1]["path"], missing);
  EXPECT_TRUE(rows[1].contains("error"));
  EXPECT_TRUE(rows[2].contains("error"));
  EXPECT_FALSE(rows[3].contains("error"));
  EXPECT_EQ(rows[3]["orientation"], 6);
  EXPECT_TRUE(rows[3]["date"].is_null());
}

TEST(ExifCommand, TextFormListsLabelledProperties) {
  const ExifRun run = RunPlbExif(Sample("jpg/gps/DSCN0010.jpg"));
  EXPECT_EQ(run.status, 0);
  for (const char* line : {"  date: 2008:10:22 16:28:39\n", "  make: NIKON\n", "  width: 640\n",
                           "  緯度             :N43度28分02.81秒\n", "  Ｆナンバー       :F5.9\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(RunPlbExif("").status, 2);
}

}  // namespace
}  // namespace plb
