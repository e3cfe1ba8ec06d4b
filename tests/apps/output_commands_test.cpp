// plb save and plb export-calendar end to end: the files they write read back with exiftool and
// with a fresh catalog.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string Sample(const std::string& name) { return test::TestDataDir() + "/exif-samples/jpg/" + name; }

bool HaveExiftool() { return test::RunCommand("exiftool -ver >/dev/null 2>&1").status == 0; }

// exiftool's view of every JPEG in a folder, by file name.
std::map<std::string, nlohmann::json> ExiftoolFolder(const std::string& folder) {
  const test::CommandRun run =
      test::RunCommand("exiftool -q -j -n -DateTimeOriginal -Orientation -ImageWidth -ImageHeight -FileName '" +
                       folder + "' 2>/dev/null");
  std::map<std::string, nlohmann::json> byName;
  for (const nlohmann::json& row : nlohmann::json::parse(run.out)) byName[row["FileName"].get<std::string>()] = row;
  return byName;
}

class SaveCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = test::TestRoot() + "/src";
    out_ = test::TestRoot() + "/out";
    fs::create_directories(src_);
    fs::create_directories(out_);
  }
  std::string src_, out_;
};

// Many photos become Img0001.jpg ... with their shooting date, and each shows upright: a photo
// stored on its side (orientation 6) is turned into its pixels and marked normal.
TEST_F(SaveCommand, ManyPhotosGetNumberedNamesKeepingDateAndUprightPicture) {
  if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
  fs::copy_file(Sample("Canon_40D.jpg"), src_ + "/level.jpg");
  fs::copy_file(Sample("Canon_40D.jpg"), src_ + "/side.jpg");
  ASSERT_EQ(test::RunCommand("exiftool -q -overwrite_original -n -Orientation=6 '" + src_ + "/side.jpg'").status, 0);
  constexpr int kCount = 1500;
  std::string files;
  for (int i = 0; i < kCount; ++i) {
    const std::string link = src_ + "/p" + std::to_string(i) + ".jpg";
    fs::create_hard_link(src_ + (i % 2 ? "/side.jpg" : "/level.jpg"), link);
    files += " '" + link + "'";
  }
  const test::CommandRun run = test::RunPlbStdout("save --json '" + out_ + "'" + files);
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(test::JsonLines(run.out).size(), size_t(kCount));

  const auto seen = ExiftoolFolder(out_);
  ASSERT_EQ(seen.size(), size_t(kCount));
  for (int i = 0; i < kCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Img%04d.jpg", i + 1);
    const auto found = seen.find(name);
    ASSERT_NE(found, seen.end()) << name;
    const nlohmann::json& row = found->second;
    EXPECT_EQ(row.value("DateTimeOriginal", ""), "2008:05:30 15:56:01") << name;
    EXPECT_EQ(row.value("Orientation", 0), 1) << name;
    const bool side = i % 2 == 1;
    EXPECT_EQ(row.value("ImageWidth", 0), side ? 68 : 100) << name;
    EXPECT_EQ(row.value("ImageHeight", 0), side ? 100 : 68) << name;
  }
}

TEST_F(SaveCommand, CommonNameThatLeavesTheFolderIsRefused) {
  fs::copy_file(Sample("Canon_40D.jpg"), src_ + "/a.jpg");
  for (const char* name : {"../x", "sub/x", "/tmp/x"}) {
    const test::CommandRun run = test::RunPlb("save '" + out_ + "' --name '" + name + "' '" + src_ + "/a.jpg'");
    EXPECT_EQ(run.status, 2) << name << ": " << run.out;
  }
  EXPECT_TRUE(fs::is_empty(out_));
  EXPECT_FALSE(fs::exists(test::TestRoot() + "/x001.jpg"));
}

// An existing name is replaced only when asked; a name that is one of the photos' own files is
// never written, since that photo would be gone before it was read.
TEST_F(SaveCommand, ExistingNamesAndOwnFiles) {
  fs::copy_file(Sample("Canon_40D.jpg"), src_ + "/a.jpg");
  fs::copy_file(Sample("Nikon_D70.jpg"), src_ + "/b.jpg");
  {
    std::FILE* f = std::fopen((out_ + "/Img002.jpg").c_str(), "w");
    std::fputs("keep me", f);
    std::fclose(f);
  }
  const std::string files = " '" + src_ + "/a.jpg' '" + src_ + "/b.jpg'";
  test::CommandRun run = test::RunPlb("save '" + out_ + "'" + files);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Img002.jpg: exists"), std::string::npos) << run.out;
  EXPECT_EQ(fs::file_size(out_ + "/Img002.jpg"), 7u);
  EXPECT_FALSE(fs::exists(out_ + "/Img001.jpg")) << "nothing is written before the question is settled";

  run = test::RunPlb("save --overwrite '" + out_ + "'" + files);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_GT(fs::file_size(out_ + "/Img002.jpg"), 1000u);

  fs::rename(src_ + "/b.jpg", src_ + "/Img002.jpg");
  const uintmax_t before = fs::file_size(src_ + "/Img002.jpg");
  run = test::RunPlb("save --overwrite '" + src_ + "' '" + src_ + "/a.jpg' '" + src_ + "/Img002.jpg'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("would be replaced"), std::string::npos) << run.out;
  EXPECT_EQ(fs::file_size(src_ + "/Img002.jpg"), before);
}

// The calendar exported by one catalog and added to a fresh one: the same days, and the tags.
TEST(ExportCalendarCommand, FreshCatalogGetsDaysAndTagsBack) {
  const std::string src = test::TestRoot() + "/src", dest = test::TestRoot() + "/dest";
  fs::create_directories(src);
  fs::create_directories(dest);
  fs::copy_file(Sample("Canon_40D.jpg"), src + "/a.jpg");
  fs::copy_file(Sample("Nikon_D70.jpg"), src + "/b.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), src + "/c.jpg");
  ASSERT_EQ(test::RunPlb("add '" + src + "'").status, 0);
  ASSERT_EQ(test::RunPlb("tag 'trip\\beach' '" + src + "/a.jpg' '" + src + "/c.jpg'").status, 0);
  ASSERT_EQ(test::RunPlb("tag family '" + src + "/b.jpg'").status, 0);
  const test::CommandRun days = test::RunPlbStdout("calendar --json");

  const test::CommandRun run = test::RunPlbStdout("export-calendar --json '" + dest + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  const auto rows = test::JsonLines(run.out);
  ASSERT_EQ(rows.size(), 4u);
  const std::string tree = rows.back()["folder"].get<std::string>();
  EXPECT_EQ(rows.back()["copied"], 3);
  EXPECT_TRUE(fs::exists(tree + "/2008年/05月/30日(金)/a.jpg"));
  EXPECT_TRUE(fs::exists(tree + "/2008年/05月/30日(金)/OstraExportInfo.xml"));

  // A second catalog: another data folder.
  const std::string fresh = "XDG_DATA_HOME='" + test::TestRoot() + "/data2' ";
  const auto plb = [&](const std::string& args) {
    return test::RunCommand(fresh + test::BinaryDir() + "/bin/plb " + args + " 2>/dev/null");
  };
  ASSERT_EQ(plb("add '" + tree + "'").status, 0);
  EXPECT_EQ(plb("calendar --json").out, days.out);
  std::map<std::string, std::set<std::string>> tags;
  for (const nlohmann::json& row : test::JsonLines(plb("tags --json").out)) {
    for (const auto& item : row["items"]) tags[row["tag"].get<std::string>()].insert(fs::path(item).filename());
  }
  using Tags = std::map<std::string, std::set<std::string>>;
  EXPECT_EQ(tags, (Tags{{"family", {"b.jpg"}}, {"trip\\beach", {"a.jpg", "c.jpg"}}})) << plb("tags").out;
}

}  // namespace
}  // namespace plb
