// plb cp, mv, rename, mkdir and rm on real photos and a real catalog: the catalog data go with
// the photos, nothing existing is replaced unasked, deletions go to the trash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::JsonLines;
using test::ReadFile;

std::string Q(const std::string& path) {
  return "'" + path + "'";
}

// A registered folder with two real photos of known shooting days; one of them is tagged.
class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    photos_ = test::TestRoot() + "/photos";
    archive_ = test::TestRoot() + "/archive";
    fs::create_directories(photos_ + "/trip");
    fs::create_directories(archive_);
    const std::string samples = test::TestDataDir() + "/exif-samples/jpg/";
    fs::copy_file(samples + "Canon_40D.jpg", photos_ + "/trip/canon.jpg");
    fs::copy_file(samples + "Nikon_D70.jpg", photos_ + "/trip/nikon.jpg");
    Ok("add " + Q(photos_));
    Ok("tag beach " + Q(photos_ + "/trip/canon.jpg"));
    days_ = Days();
    ASSERT_EQ(days_.size(), 2u);
  }

  std::string Ok(const std::string& args) {
    const test::CommandRun run = test::RunPlb(args);
    EXPECT_EQ(run.status, 0) << "plb " << args << "\n" << run.out;
    return run.out;
  }

  nlohmann::json Days() { return nlohmann::json(JsonLines(test::RunPlbStdout("calendar --json").out)); }

  std::vector<std::string> Tagged(const std::string& tag) {
    for (const nlohmann::json& row : JsonLines(test::RunPlbStdout("tags --json").out)) {
      if (row["tag"] == tag) return row["items"].get<std::vector<std::string>>();
    }
    return {};
  }

  std::string photos_, archive_;
  nlohmann::json days_;
};

TEST_F(FileCommands, AMovedPhotoKeepsItsTagAndDate) {
  Ok("mv " + Q(photos_ + "/trip/canon.jpg") + " " + Q(archive_));
  EXPECT_FALSE(fs::exists(photos_ + "/trip/canon.jpg"));
  EXPECT_EQ(Tagged("beach"), std::vector<std::string>{archive_ + "/canon.jpg"});
  EXPECT_EQ(Days(), days_);

  // The folder with the other photo, then the photo back into it.
  Ok("mv " + Q(photos_ + "/trip") + " " + Q(archive_));
  Ok("mv " + Q(archive_ + "/canon.jpg") + " " + Q(archive_ + "/trip"));
  EXPECT_EQ(Tagged("beach"), std::vector<std::string>{archive_ + "/trip/canon.jpg"});
  EXPECT_EQ(Days(), days_);
  EXPECT_TRUE(fs::exists(archive_ + "/trip/nikon.jpg"));
}

TEST_F(FileCommands, ExistingFilesAreKeptUnlessOverwriteIsGiven) {
  fs::create_directories(archive_ + "/trip");
  std::ofstream(archive_ + "/trip/canon.jpg") << "mine";
  const test::CommandRun kept = test::RunPlb("cp " + Q(photos_ + "/trip/canon.jpg") + " " + Q(archive_ + "/trip"));
  EXPECT_EQ(kept.status, 1);
  EXPECT_NE(kept.out.find("exists, kept (--overwrite replaces it)"), std::string::npos) << kept.out;
  EXPECT_EQ(ReadFile(archive_ + "/trip/canon.jpg"), "mine");

  const test::CommandRun folder = test::RunPlb("cp " + Q(photos_ + "/trip") + " " + Q(archive_));
  EXPECT_EQ(folder.status, 1) << "a folder is never merged into one of its name";
  EXPECT_EQ(ReadFile(archive_ + "/trip/canon.jpg"), "mine");
  EXPECT_FALSE(fs::exists(archive_ + "/trip/nikon.jpg"));

  Ok("cp --overwrite " + Q(photos_ + "/trip/canon.jpg") + " " + Q(archive_ + "/trip"));
  EXPECT_EQ(ReadFile(archive_ + "/trip/canon.jpg"), ReadFile(photos_ + "/trip/canon.jpg"));
  EXPECT_EQ(Tagged("beach"), std::vector<std::string>{photos_ + "/trip/canon.jpg"}) << "a copy is not tagged";
}

TEST_F(FileCommands, RefusedMovesChangeNothing) {
  // What a copy killed long ago left: the next scan of the archive removes it with all it holds.
  const std::string debris = archive_ + "/.trip.tmp-999999999-0-1";
  fs::create_directories(debris + "/sub");
  struct Case {
    const char* what;
    std::string source, destination;
  } cases[] = {
      {"into itself", photos_ + "/trip", photos_ + "/trip"}, {"below itself", photos_, photos_ + "/trip"},
      {"onto itself", photos_ + "/trip", photos_},           {"into no folder", photos_ + "/trip", archive_ + "/none"},
      {"nothing to move", photos_ + "/none.jpg", archive_},
      {"into a killed copy's temporary folder", photos_ + "/trip/canon.jpg", debris + "/sub"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(test::RunPlb("mv " + Q(c.source) + " " + Q(c.destination)).status, 1);
  }
  EXPECT_TRUE(fs::exists(photos_ + "/trip/canon.jpg"));
  EXPECT_EQ(Tagged("beach"), std::vector<std::string>{photos_ + "/trip/canon.jpg"});
  EXPECT_EQ(Days(), days_);
}

TEST_F(FileCommands, RenameMkdirAndRm) {
  EXPECT_EQ(Ok("rename " + Q(photos_ + "/trip/canon.jpg") + " 'sea:side.jpg'"), photos_ + "/trip/sea-side.jpg\n");
  EXPECT_EQ(Tagged("beach"), std::vector<std::string>{photos_ + "/trip/sea-side.jpg"});
  EXPECT_EQ(test::RunPlb("rename " + Q(photos_ + "/trip/sea-side.jpg") + " nikon.jpg").status, 1);
  EXPECT_NE(ReadFile(photos_ + "/trip/nikon.jpg"), ReadFile(photos_ + "/trip/sea-side.jpg"));

  EXPECT_EQ(Ok("mkdir " + Q(archive_ + "/new") + " " + Q(archive_ + "/new")),
            archive_ + "/new\n" + archive_ + "/new(2)\n");

  Ok("rm " + Q(photos_ + "/trip/sea-side.jpg"));
  EXPECT_FALSE(fs::exists(photos_ + "/trip/sea-side.jpg"));
  EXPECT_TRUE(fs::exists(fs::path(test::TestRoot()) / "data/Trash/files/sea-side.jpg"));
  EXPECT_TRUE(Tagged("beach").empty());
  EXPECT_EQ(Days().size(), 1u) << "the deleted photo's day is gone";
  Ok("rm " + Q(photos_ + "/trip"));
  EXPECT_FALSE(fs::exists(photos_ + "/trip"));
  EXPECT_TRUE(fs::exists(fs::path(test::TestRoot()) / "data/Trash/files/trip/nikon.jpg"));
  EXPECT_TRUE(Days().empty());
}

}  // namespace
}  // namespace plb
