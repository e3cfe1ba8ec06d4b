// plb tag, untag and tags on the catalog in the data folder, and a damaged catalog file met by a
// command and put right by plb recover.
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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A damaged catalog file stops every command, with its own exit status, before anything is
// changed; plb recover then puts back the newest copy that reads whole.
TEST_F(TagCommands, ADamagedCatalogFileStopsEveryCommandUntilRecoverPutsBackTheNewestGoodCopy) {
  struct Case {
    const char* file;
    size_t at;  // the byte spoilt: the file's marker, or the tree block's
    const char* message;
  };
  const Case cases[] = {
      {"OstraGroup.qdb", 0, "OstraAlbums:データファイルのマーカが異常です。"},
      {"OstraData.qdb", 24, "OstraFolders:フォルダツリーのマーカが異常です。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    fs::remove_all(DataFolder());
    ASSERT_EQ(Plb("add " + pics_).status, 0);
    ASSERT_EQ(Plb("tag trip " + pics_ + "/a.jpg").status, 0);
    ASSERT_EQ(Plb("tag trip " + pics_ + "/b.jpg").status, 0);  // the .bak has a.jpg only
    const std::string path = DataFolder() + "/" + c.file;
    {
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(static_cast<std::streamoff>(c.at));
      file.put('X');
    }
    const std::string tree = ReadFile(DataFolder() + "/OstraData.qdb");
    const std::string albums = ReadFile(DataFolder() + "/OstraGroup.qdb");

    for (const std::string& args : {"tag other " + pics_ + "/c.jpg", std::string("tags --json"),
                                    "untag nosuch " + pics_ + "/a.jpg", std::string("update")}) {
      const test::CommandRun run = test::RunPlb(args);
      EXPECT_EQ(run.status, 3) << args << "\n" << run.out;
      EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
      EXPECT_NE(run.out.find(path + ".damaged-"), std::string::npos) << "names the copy kept aside\n" << run.out;
      EXPECT_NE(run.out.find("plb recover"), std::string::npos) << run.out;
    }
    EXPECT_EQ(ReadFile(DataFolder() + "/OstraData.qdb"), tree) << "no command saved over the live files";
    EXPECT_EQ(ReadFile(DataFolder() + "/OstraGroup.qdb"), albums);
    const std::string log = ReadFile(test::TestRoot() + "/data/Morvane/PlumoraBrowser/Log/plb.log");
    EXPECT_NE(log.find(c.message), std::string::npos) << log;

    const test::CommandRun recover = test::RunPlb("recover");
    EXPECT_EQ(recover.status, 0) << recover.out;
    EXPECT_NE(recover.out.find(DataFolder() + "/OstraData.bak\n"), std::string::npos) << recover.out;
    EXPECT_NE(recover.out.find(DataFolder() + "/OstraGroup.bak\n"), std::string::npos) << recover.out;
    EXPECT_EQ(Tags(), (std::map<std::string, std::vector<std::string>>{{"trip", {pics_ + "/a.jpg"}}}));
    EXPECT_EQ(Plb("tag other " + pics_ + "/c.jpg").status, 0);
    const test::CommandRun again = test::RunPlb("recover");
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("nothing was changed"), std::string::npos) << again.out;
  }
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
