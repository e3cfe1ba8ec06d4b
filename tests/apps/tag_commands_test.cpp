// plb tag, untag and tags on the catalog in the data folder, and a damaged catalog file met by a
// command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

test::CommandRun Plb(const std::string& args) {
  return test::RunCommand(test::BinaryDir() + "/bin/plb " + args + " 2>/dev/null");
}

// Tag -> its photos, from plb tags --json.
std::map<std::string, std::vector<std::string>> Tags() {
  std::map<std::string, std::vector<std::string>> tags;
  for (const nlohmann::json& row : test::JsonLines(Plb("tags --json").out)) {
    tags[row["tag"].get<std::string>()] = row["items"].get<std::vector<std::string>>();
  }
  return tags;
}

std::string DataFolder() {
  return test::TestRoot() + "/data/Morvane/PlumoraBrowser/Data";
}

class TagCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    pics_ = test::TestRoot() + "/pics";
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      fs::create_directories(pics_);
      std::ofstream(pics_ + "/" + name) << "not a picture";
    }
    ASSERT_EQ(Plb("add " + pics_).status, 0);
  }
  std::string pics_;
};

TEST_F(TagCommands, TagsHoldTheirPhotosAcrossRunsAndGoWhenEmptied) {
  ASSERT_EQ(Plb("tag trip " + pics_ + "/a.jpg " + pics_ + "/b.jpg").status, 0);
  ASSERT_EQ(Plb("tag family " + pics_ + "/b.jpg").status, 0);
  ASSERT_EQ(Plb("tag trip " + pics_ + "/a.jpg").status, 0) << "tagging twice changes nothing";
  using Map = std::map<std::string, std::vector<std::string>>;
  EXPECT_EQ(Tags(), (Map{{"family", {pics_ + "/b.jpg"}}, {"trip", {pics_ + "/a.jpg", pics_ + "/b.jpg"}}}));
  const std::string text = Plb("tags").out;
  EXPECT_NE(text.find("trip  2\n  " + pics_ + "/a.jpg\n"), std::string::npos) << text;

  ASSERT_EQ(Plb("untag trip " + pics_ + "/a.jpg").status, 0);
  EXPECT_EQ(Tags(), (Map{{"family", {pics_ + "/b.jpg"}}, {"trip", {pics_ + "/b.jpg"}}}));
  ASSERT_EQ(Plb("untag family " + pics_ + "/b.jpg").status, 0);
  EXPECT_EQ(Tags(), (Map{{"trip", {pics_ + "/b.jpg"}}}));

  // Reading commands leave the files and their .bak copies as they are.
  const auto written = fs::last_write_time(DataFolder() + "/OstraData.qdb");
  Plb("tags");
  Plb("calendar");
  EXPECT_EQ(fs::last_write_time(DataFolder() + "/OstraData.qdb"), written);
}

TEST_F(TagCommands, UnknownFilesAndTagsAreRefusedAndTheRestIsDone) {
  const std::string outside = test::TestRoot() + "/elsewhere.jpg";
  std::ofstream(outside) << "not a picture";
  struct Case {
    std::string args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"tag trip " + pics_ + "/a.jpg " + pics_ + "/missing.jpg", 1, "missing.jpg: no such file"},
      {"tag trip " + outside, 1, "not in the catalog"},
      {"tag trip " + pics_, 1, "a folder, not a file"},
      {"tag trip", 2, "a tag and at least one file"},
      {"tag '' " + pics_ + "/a.jpg", 2, "the tag name is empty"},
      {"untag nosuch " + pics_ + "/a.jpg", 1, "nosuch: no such tag"},
      {"untag trip " + pics_ + "/c.jpg", 1, "not tagged trip"},
      {"tags extra", 2, "argument was not expected: extra"},
  };
  for (const Case& c : cases) {
    const test::CommandRun run = test::RunPlb(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << "\n" << run.out;
  }
  EXPECT_EQ(Tags(), (std::map<std::string, std::vector<std::string>>{{"trip", {pics_ + "/a.jpg"}}}))
      << "the good file of the first command was tagged";
}

TEST_F(TagCommands, ADamagedAlbumFileIsKeptAsideLoggedAndTheCalendarStillFills) {
  ASSERT_EQ(Plb("tag trip " + pics_ + "/a.jpg").status, 0);
  ASSERT_EQ(Plb("tag trip " + pics_ + "/b.jpg").status, 0);  // a .bak with the first tag
  const std::string albums = DataFolder() + "/OstraGroup.qdb";
  {
    std::fstream file(albums, std::ios::in | std::ios::out | std::ios::binary);
    file.put('X');
  }
  const test::CommandRun run = test::RunPlb("tag other " + pics_ + "/c.jpg");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("OstraAlbums:データファイルのマーカが異常です。"), std::string::npos) << run.out;
  std::ifstream log(test::TestRoot() + "/data/Morvane/PlumoraBrowser/Log/plb.log");
  const std::string logText((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(logText.find("OstraAlbums:データファイルのマーカが異常です。"), std::string::npos) << logText;

  int aside = 0;
  for (const auto& entry : fs::directory_iterator(DataFolder())) {
    aside += entry.path().filename().string().rfind("OstraGroup.qdb.damaged-", 0) == 0;
  }
  EXPECT_EQ(aside, 1);
  std::ifstream bak(DataFolder() + "/OstraGroup.bak", std::ios::binary);
  EXPECT_EQ(bak.get(), 'O') << "the last good copy is not rotated away";
  EXPECT_NE(Plb("calendar --json").out, "");
}

TEST_F(TagCommands, ACatalogInUseByAnotherProcessIsLeftAlone) {
  const int fd = ::open((DataFolder() + "/OstraEngine.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const auto written = fs::last_write_time(DataFolder() + "/OstraData.qdb");
  const test::CommandRun run = test::RunPlb("tag trip " + pics_ + "/a.jpg");
  ::close(fd);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("The data folder is in use by another process."), std::string::npos) << run.out;
  EXPECT_EQ(fs::last_write_time(DataFolder() + "/OstraData.qdb"), written);
  EXPECT_EQ(Plb("tag trip " + pics_ + "/a.jpg").status, 0) << "free again once the other process ends";
}

}  // namespace
}  // namespace plb
