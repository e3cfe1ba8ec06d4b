// plb calendar on the catalog in the data folder: folders registered with plb add show their
// photos under their shooting days.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

test::CommandRun Plb(const std::string& args) {
  return test::RunCommand(test::BinaryDir() + "/bin/plb " + args + " 2>/dev/null");
}

// Day -> items, from the JSON lines.
std::map<std::string, int> Days(const std::string& text) {
  std::map<std::string, int> days;
  for (const nlohmann::json& row : test::JsonLines(text)) {
    EXPECT_EQ(row.size(), 2u) << row;
    days[row["day"].get<std::string>()] = row["items"].get<int>();
  }
  return days;
}

TEST(CalendarCommand, RegisteredPhotosGoUnderTheirShootingOrFileDay) {
  const std::string root = test::TestRoot() + "/pics";
  // Noon UTC, so that the local day is the same in every time zone within eleven hours.
  const int64_t nov14 = 1699963200, nov15 = 1700049600, feb01 = 1612180800;
  for (int i = 0; i < 40; ++i) WriteFile(root + "/a/" + std::to_string(i) + ".jpg", "not a picture", nov14);
  WriteFile(root + "/b/x.jpg", "not a picture", nov15);
  WriteFile(root + "/b/deep/Y.JPG", "not a picture", feb01);
  WriteFile(root + "/b/song.mp3", "not a picture", feb01);  // sound files are not in the calendar
  fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", root + "/Canon_40D.jpg");  // 2008-05-30

  EXPECT_EQ(Plb("calendar --json").out, "") << "an empty catalog has no days";
  ASSERT_EQ(Plb("add " + root + "/a").status, 0);
  EXPECT_EQ(Days(Plb("calendar --json").out), (std::map<std::string, int>{{"2023-11-14", 40}}));
  ASSERT_EQ(Plb("add " + root).status, 0);
  const test::CommandRun json = Plb("calendar --json");
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(Days(json.out),
            (std::map<std::string, int>{{"2008-05-30", 1}, {"2021-02-01", 1}, {"2023-11-14", 40}, {"2023-11-15", 1}}));

  const std::string text = Plb("calendar").out;
  EXPECT_NE(text.find("2023年  41\n"), std::string::npos) << text;
  EXPECT_NE(text.find("    2023年11月15日(水)  1\n"), std::string::npos) << text;

  ASSERT_EQ(Plb("remove " + root).status, 0);
  EXPECT_EQ(Plb("calendar --json").out, "");
}

TEST(CalendarCommand, PathsListEachDaysPhotos) {
  const std::string root = fs::weakly_canonical(test::TestRoot() + "/pics").string();
  const int64_t nov14 = 1699963200;
  WriteFile(root + "/b.jpg", "not a picture", nov14);
  WriteFile(root + "/sub/a.jpg", "not a picture", nov14);
  fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", root + "/Canon_40D.jpg");  // 2008-05-30
  ASSERT_EQ(Plb("add " + root).status, 0);

  std::map<std::string, std::vector<std::string>> days;
  for (const nlohmann::json& row : test::JsonLines(Plb("calendar --json --paths").out)) {
    days[row["day"].get<std::string>()] = row["paths"].get<std::vector<std::string>>();
    EXPECT_EQ(row["items"].get<size_t>(), row["paths"].size()) << row;
  }
  EXPECT_EQ(days, (std::map<std::string, std::vector<std::string>>{{"2008-05-30", {root + "/Canon_40D.jpg"}},
                                                                    {"2023-11-14", {root + "/b.jpg", root + "/sub/a.jpg"}}}));
  const std::string text = Plb("calendar --paths").out;
  EXPECT_NE(text.find("  " + root + "/sub/a.jpg\n"), std::string::npos) << text;
}

TEST(CalendarCommand, BadArgumentsAndFoldersAreRefused) {
  const std::string folder = test::TestRoot() + "/there";
  fs::create_directories(folder);
  std::ofstream(folder + "/photo.jpg") << "not a picture";
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"calendar " + folder, 2, "argument was not expected: " + folder},
      {"add", 2, "no folder given"},
      {"add " + test::TestRoot() + "/missing", 1, "no such folder"},
      {"remove " + folder, 1, "not a registered folder"},
      {"remove", 2, "FOLDER is required"},
      // The folder is registered, the file is refused.
      {"add " + folder + " " + folder + "/photo.jpg", 1, "photo.jpg: not a folder"},
  };
  for (const Case& c : cases) {
    const test::CommandRun run = test::RunPlb(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << "\n" << run.out;
  }
}

}  // namespace
}  // namespace plb
