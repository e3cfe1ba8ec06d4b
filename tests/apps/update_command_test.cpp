// plb update between the catalog commands: photos added, deleted and moved on disk reach the
// catalog in the data folder, and nothing else does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
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

std::string Sample(const std::string& name) {
  return test::TestDataDir() + "/exif-samples/jpg/" + name;
}

// The calendar's days with their counts.
std::map<std::string, int> Days() {
  const test::CommandRun run = test::RunPlbStdout("calendar --json");
  EXPECT_EQ(run.status, 0) << run.out;
  std::map<std::string, int> days;
  for (const auto& row : test::JsonLines(run.out)) days[row["day"]] = row["items"];
  return days;
}

// The photos of a tag (none when the tag is not listed).
std::vector<std::string> Tagged(const std::string& tag) {
  const test::CommandRun run = test::RunPlbStdout("tags --json");
  EXPECT_EQ(run.status, 0) << run.out;
  for (const auto& row : test::JsonLines(run.out)) {
    if (row["tag"] == tag) return row["items"].get<std::vector<std::string>>();
  }
  return {};
}

test::CommandRun Update() {
  const test::CommandRun run = test::RunPlb("update");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("plb update: "), std::string::npos) << run.out;
  return run;
}

TEST(UpdateCommand, ChangesOnDiskReachTheCalendarAndTagsOnlyThroughAnUpdate) {
  const std::string photos = fs::weakly_canonical(test::TestRoot() + "/photos").string();
  fs::create_directories(photos + "/trip");
  fs::copy_file(Sample("Canon_40D.jpg"), photos + "/canon.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), photos + "/trip/pentax.jpg");
  ASSERT_EQ(test::RunPlb("add " + photos).status, 0);
  ASSERT_EQ(test::RunPlb("tag trip " + photos + "/canon.jpg " + photos + "/trip/pentax.jpg").status, 0);
  const std::map<std::string, int> registered{{"2008-05-30", 1}, {"2008-05-04", 1}};
  EXPECT_EQ(Days(), registered);

  // Nothing changed on disk: an update changes nothing either.
  Update();
  EXPECT_EQ(Days(), registered);

  fs::copy_file(Sample("Nikon_D70.jpg"), photos + "/trip/nikon.jpg");
  EXPECT_EQ(Days(), registered) << "the disk reaches the catalog only through an update";
  Update();
  EXPECT_EQ(Days(), (std::map<std::string, int>{{"2008-05-30", 1}, {"2008-05-04", 1}, {"2008-03-15", 1}}));

  fs::remove(photos + "/canon.jpg");
  Update();
  EXPECT_EQ(Days(), (std::map<std::string, int>{{"2008-05-04", 1}, {"2008-03-15", 1}}));
  EXPECT_EQ(Tagged("trip"), std::vector<std::string>{photos + "/trip/pentax.jpg"});

  // A sub-folder deleted on disk takes its photos out of the calendar and the tag.
  fs::remove_all(photos + "/trip");
  Update();
  EXPECT_TRUE(Days().empty());
  EXPECT_TRUE(Tagged("trip").empty());
}

// A folder and a file renamed with the shell, not with plb: the next update finds them where
// they went, tagged as before and on their days.
TEST(UpdateCommand, PhotosMovedOutsideKeepTheirTags) {
  const std::string photos = fs::weakly_canonical(test::TestRoot() + "/photos").string();
  fs::create_directories(photos + "/trip");
  fs::copy_file(Sample("Canon_40D.jpg"), photos + "/canon.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), photos + "/trip/pentax.jpg");
  fs::copy_file(Sample("Nikon_D70.jpg"), photos + "/trip/nikon.jpg");
  ASSERT_EQ(test::RunPlb("add " + photos).status, 0);
  ASSERT_EQ(test::RunPlb("tag trip " + photos + "/canon.jpg " + photos + "/trip/pentax.jpg " + photos +
                         "/trip/nikon.jpg")
                .status,
            0);
  ASSERT_EQ(test::RunPlb("tag best " + photos + "/trip/nikon.jpg").status, 0);
  const std::map<std::string, int> days = Days();

  fs::create_directories(photos + "/2008");
  ASSERT_EQ(::rename((photos + "/trip").c_str(), (photos + "/2008/may").c_str()), 0);
  ASSERT_EQ(::rename((photos + "/canon.jpg").c_str(), (photos + "/2008/canon-40d.jpg").c_str()), 0);
  Update();

  std::vector<std::string> trip = Tagged("trip");
  std::sort(trip.begin(), trip.end());
  EXPECT_EQ(trip, (std::vector<std::string>{photos + "/2008/canon-40d.jpg", photos + "/2008/may/nikon.jpg",
                                            photos + "/2008/may/pentax.jpg"}));
  EXPECT_EQ(Tagged("best"), std::vector<std::string>{photos + "/2008/may/nikon.jpg"});
  EXPECT_EQ(Days(), days);
}

// Between the shell's move and the update, other commands look into both folders: the one the
// photo left (its item found gone by a look at that folder alone) and the one it went to (its file
// catalogued there as a new photo). The update still knows it for the same photo.
TEST(UpdateCommand, PhotosMovedOutsideKeepTheirTagsWhenCommandsRunBeforeTheUpdate) {
  const std::string photos = fs::weakly_canonical(test::TestRoot() + "/photos").string();
  fs::create_directories(photos + "/a");
  fs::create_directories(photos + "/b");
  fs::copy_file(Sample("Canon_40D.jpg"), photos + "/a/canon.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), photos + "/a/pentax.jpg");
  fs::copy_file(Sample("Nikon_D70.jpg"), photos + "/b/nikon.jpg");
  ASSERT_EQ(test::RunPlb("add " + photos).status, 0);
  ASSERT_EQ(test::RunPlb("tag trip " + photos + "/a/canon.jpg").status, 0);
  const std::map<std::string, int> days = Days();

  struct Case {
    const char* what;
    std::string from, to;      // the shell's move
    std::string first, then;   // photos renamed by plb before the update, in this order
  } cases[] = {
      {"the destination folder seen first", "/a/canon.jpg", "/b/canon.jpg", "/b/nikon.jpg", "/a/pentax.jpg"},
      {"the left folder seen first", "/b/canon.jpg", "/a/canon.jpg", "/b/nikon-1.jpg", "/a/pentax-1.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(::rename((photos + c.from).c_str(), (photos + c.to).c_str()), 0);
    for (const std::string& photo : {c.first, c.then}) {
      const std::string name = fs::path(photo).stem().string();
      const std::string renamed = name.ends_with("-1") ? name.substr(0, name.size() - 2) : name + "-1";
      const test::CommandRun run = test::RunPlb("rename " + photos + photo + " " + renamed + ".jpg");
      ASSERT_EQ(run.status, 0) << run.out;
    }
    Update();
    EXPECT_EQ(Tagged("trip"), std::vector<std::string>{photos + c.to});
    EXPECT_EQ(Days(), days);
  }
}

// A sub-folder moved out with the shell, then its former parent moved with plb before any
// update: the parent's move must not take the sub-folder's photos out of the catalog.
TEST(UpdateCommand, PhotosMovedOutsideKeepTheirTagsWhenTheirFormerParentIsMovedByPlb) {
  const std::string photos = fs::weakly_canonical(test::TestRoot() + "/photos").string();
  fs::create_directories(photos + "/a/sub");
  fs::create_directories(photos + "/b");
  fs::copy_file(Sample("Canon_40D.jpg"), photos + "/a/sub/canon.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), photos + "/a/pentax.jpg");
  ASSERT_EQ(test::RunPlb("add " + photos).status, 0);
  ASSERT_EQ(test::RunPlb("tag trip " + photos + "/a/sub/canon.jpg " + photos + "/a/pentax.jpg").status, 0);
  const std::map<std::string, int> days = Days();

  ASSERT_EQ(::rename((photos + "/a/sub").c_str(), (photos + "/b/sub").c_str()), 0);
  const test::CommandRun mv = test::RunPlb("mv " + photos + "/a " + photos + "/b");
  ASSERT_EQ(mv.status, 0) << mv.out;
  Update();
  std::vector<std::string> trip = Tagged("trip");
  std::sort(trip.begin(), trip.end());
  EXPECT_EQ(trip, (std::vector<std::string>{photos + "/b/a/pentax.jpg", photos + "/b/sub/canon.jpg"}));
  EXPECT_EQ(Days(), days);
}

// A folder registered by name below a dot-folder: add and update follow one rule, so what the
// add put in the calendar the update leaves there; the dot-folder's other photos stay out of both.
TEST(UpdateCommand, AFolderAddedBelowADotFolderStaysAfterAnUpdate) {
  const std::string dots = fs::weakly_canonical(test::TestRoot() + "/home/.pictures").string();
  fs::create_directories(dots + "/kept/.cache");
  fs::copy_file(Sample("Canon_40D.jpg"), dots + "/kept/canon.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), dots + "/kept/.cache/pentax.jpg");
  fs::copy_file(Sample("Nikon_D70.jpg"), dots + "/nikon.jpg");
  ASSERT_EQ(test::RunPlb("add " + dots + "/kept").status, 0);
  const std::map<std::string, int> added{{"2008-05-30", 1}};
  EXPECT_EQ(Days(), added);
  Update();
  EXPECT_EQ(Days(), added);
}

TEST(UpdateCommand, OnlyRegisteredFoldersAreUpdated) {
  const std::string root = fs::weakly_canonical(test::TestRoot()).string();
  fs::create_directories(root + "/registered");
  fs::create_directories(root + "/elsewhere");
  ASSERT_EQ(test::RunPlb("add " + root + "/registered").status, 0);
  fs::copy_file(Sample("Canon_40D.jpg"), root + "/registered/a.jpg");
  fs::copy_file(Sample("Nikon_D70.jpg"), root + "/elsewhere/b.jpg");
  fs::create_directories(root + "/registered/.hidden");
  fs::copy_file(Sample("Pentax_K10D.jpg"), root + "/registered/.hidden/c.jpg");
  Update();
  EXPECT_EQ(Days(), (std::map<std::string, int>{{"2008-05-30", 1}}));

  // The hidden-folder option brings the hidden folder's photos in.
  const test::CommandRun hidden = test::RunPlb("update --hidden");
  EXPECT_EQ(hidden.status, 0) << hidden.out;
  EXPECT_EQ(Days(), (std::map<std::string, int>{{"2008-05-30", 1}, {"2008-05-04", 1}}));

  EXPECT_EQ(test::RunPlb("update extra").status, 2);
}

// A folder taken out of the calendar keeps its photos and their tags in the catalog; put back, its
// photos are on their days again. A path the catalog does not know changes nothing.
TEST(UpdateCommand, AFolderLeavesTheCalendarAndComesBackWithItsCatalogData) {
  const std::string photos = fs::weakly_canonical(test::TestRoot() + "/photos").string();
  fs::create_directories(photos + "/trip");
  fs::copy_file(Sample("Canon_40D.jpg"), photos + "/canon.jpg");
  fs::copy_file(Sample("Pentax_K10D.jpg"), photos + "/trip/pentax.jpg");
  ASSERT_EQ(test::RunPlb("add " + photos).status, 0);
  ASSERT_EQ(test::RunPlb("tag trip " + photos + "/trip/pentax.jpg").status, 0);
  const std::map<std::string, int> both{{"2008-05-30", 1}, {"2008-05-04", 1}};
  ASSERT_EQ(Days(), both);

  ASSERT_EQ(test::RunPlb("update --calendar-out " + photos + "/trip").status, 0);
  EXPECT_EQ(Days(), (std::map<std::string, int>{{"2008-05-30", 1}}));
  EXPECT_EQ(Tagged("trip"), std::vector<std::string>{photos + "/trip/pentax.jpg"}) << "the catalog data stays";
  Update();
  EXPECT_EQ(Days(), (std::map<std::string, int>{{"2008-05-30", 1}})) << "the mode is kept for later passes";

  ASSERT_EQ(test::RunPlb("update --calendar-in " + photos + "/trip").status, 0);
  EXPECT_EQ(Days(), both);

  const test::CommandRun unknown = test::RunPlb("update --calendar-out " + test::TestRoot() + "/nowhere");
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.out.find("no such folder"), std::string::npos) << unknown.out;
  EXPECT_EQ(Days(), both);
}

}  // namespace
}  // namespace plb
