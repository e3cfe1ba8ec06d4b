// plb calendar on real folders: dates learned on several threads end up under their days.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string Plb(const std::string& args, int& status) {
  const std::string command = test::BinaryDir() + "/bin/plb " + args + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

// Day -> items, from the JSON lines.
std::map<std::string, int> Days(const std::string& text) {
  std::map<std::string, int> days;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const nlohmann::json row = nlohmann::json::parse(line);
    days[row["day"].get<std::string>()] = row["items"].get<int>();
  }
  return days;
}

void Touch(const std::string& path, int64_t mtime) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << "not a picture";
  const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(CalendarCommand, FilesWithoutExifGoUnderTheDayOfTheirFileDate) {
  const std::string root = test::TestRoot() + "/pics";
  // Noon UTC, so that the local day is the same in every time zone within eleven hours.
  const int64_t nov14 = 1699963200, nov15 = 1700049600, feb01 = 1612180800;
  for (int i = 0; i < 40; ++i) Touch(root + "/a/" + std::to_string(i) + ".jpg", nov14);
  Touch(root + "/b/x.jpg", nov15);
  Touch(root + "/b/deep/Y.JPG", feb01);
  Touch(root + "/b/song.mp3", feb01);  // sound files are not in the calendar
  int status = -1;
  const std::string out = Plb("calendar --json --threads 8 " + root, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Days(out), (std::map<std::string, int>{{"2021-02-01", 1}, {"2023-11-14", 40}, {"2023-11-15", 1}}));

  const std::string text = Plb("calendar " + root + "/b", status);
  EXPECT_NE(text.find("2023年11月15日(水)  1"), std::string::npos) << text;
  EXPECT_EQ(text.find("2023年11月14日"), std::string::npos) << text;
}

TEST(CalendarCommand, PhotosGoUnderTheirExifShootingDay) {
  const std::string samples = test::TestDataDir() + "/exif-samples/jpg";
  const std::string root = test::TestRoot() + "/camera";
  fs::create_directories(root);
  fs::copy_file(samples + "/Canon_40D.jpg", root + "/Canon_40D.jpg");  // shot 2008:05:30 15:56:01
  Touch(root + "/other.jpg", 1699963200);
  int status = -1;
  EXPECT_EQ(Days(Plb("calendar --json " + root, status)),
            (std::map<std::string, int>{{"2008-05-30", 1}, {"2023-11-14", 1}}));
  EXPECT_EQ(status, 0);
  Plb("calendar " + test::TestRoot() + "/missing", status);
  EXPECT_EQ(status, 1);
  Plb("calendar --threads 0 " + root, status);
  EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace plb
