// plb thumbs and plb thumb as a user runs them: real photos in a folder, the counts of what each
// stage made, and one photo's upright thumbnail.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

test::CommandRun Plb(const std::string& args) {
  return test::RunPlb(args);
}

// Width and height from a JPEG's frame header; 0 x 0 when there is none.
std::pair<int, int> JpegSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  std::string d;
  char buffer[4096];
  size_t n;
  while (f && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) d.append(buffer, n);
  if (f) std::fclose(f);
  auto byte = [&d](size_t i) { return i < d.size() ? static_cast<unsigned char>(d[i]) : 0u; };
  for (size_t i = 2; i + 9 < d.size();) {
    const unsigned marker = byte(i + 1);
    if (byte(i) != 0xFF) break;
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
      return {static_cast<int>(byte(i + 7) << 8 | byte(i + 8)), static_cast<int>(byte(i + 5) << 8 | byte(i + 6))};
    }
    i += 2 + (byte(i + 2) << 8 | byte(i + 3));
  }
  return {0, 0};
}

std::string Orientation(const std::string& name) {
  return test::TestDataDir() + "/exif-samples/jpg/orientation/" + name;
}

TEST(ThumbsCommand, MakesEveryThumbnailAndCountsTheStages) {
  const std::string folder = test::TestRoot() + "/photos";
  std::filesystem::create_directories(folder + "/inner");
  // Camera samples carry EXIF thumbnails; one of them sits in a subfolder.
  std::filesystem::copy_file(Orientation("landscape_1.jpg"), folder + "/a.jpg");
  std::filesystem::copy_file(Orientation("portrait_6.jpg"), folder + "/inner/b.jpg");
  const test::CommandRun run = Plb("thumbs '" + folder + "' --json");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("\"items\":2,\"size\":160,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"failed\":0,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"seconds\":"), std::string::npos) << run.out;

  const test::CommandRun human = Plb("thumbs '" + folder + "' --size 96");
  EXPECT_EQ(human.status, 0);
  EXPECT_NE(human.out.find("2 items at 96 pixels: "), std::string::npos) << human.out;

  for (const std::string& bad : {std::string("thumbs"), "thumbs '" + folder + "' --size 5"}) {
    EXPECT_NE(Plb(bad).status, 0) << bad;
  }
  EXPECT_NE(Plb("thumbs '" + folder + "/missing'").status, 0);
}

// The bytes in the thumbnail cache's segment files, wherever the data folder is.
uintmax_t SegmentBytes() {
  uintmax_t total = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(test::TestRoot())) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && name.rfind("Cache-", 0) == 0 && e.path().extension() == ".che") total += e.file_size();
  }
  return total;
}

TEST(ThumbsCommand, CataloguedFoldersUseTheLastingCacheAndASecondRunFindsEverythingCached) {
  const std::string folder = test::TestRoot() + "/photos";
  std::filesystem::create_directories(folder + "/inner");
  std::filesystem::copy_file(Orientation("landscape_1.jpg"), folder + "/a.jpg");
  std::filesystem::copy_file(Orientation("portrait_6.jpg"), folder + "/inner/b.jpg");
  const std::string loose = test::TestRoot() + "/loose";
  std::filesystem::create_directories(loose);
  std::filesystem::copy_file(Orientation("landscape_3.jpg"), loose + "/c.jpg");
  ASSERT_EQ(Plb("add '" + folder + "'").status, 0);

  // A folder outside the catalog gets its thumbnails made, but nothing lands in the segments.
  const uintmax_t before = SegmentBytes();
  const test::CommandRun outside = Plb("thumbs '" + loose + "' --json");
  ASSERT_EQ(outside.status, 0) << outside.out;
  EXPECT_NE(outside.out.find("\"items\":1,"), std::string::npos) << outside.out;
  EXPECT_EQ(SegmentBytes(), before);

  const test::CommandRun first = Plb("thumbs '" + folder + "' --json");
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find("\"items\":2,"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("\"cached\":0,"), std::string::npos) << first.out;
  const uintmax_t written = SegmentBytes();
  EXPECT_GT(written, before);

  const test::CommandRun second = Plb("thumbs '" + folder + "' --json");
  ASSERT_EQ(second.status, 0) << second.out;
  EXPECT_NE(second.out.find("\"thumbs_made\":0,\"source_made\":0,\"cached\":2,"), std::string::npos)
      << second.out;
  EXPECT_EQ(SegmentBytes(), written);
}

TEST(ThumbCommand, WritesOnePhotosThumbnailUpright) {
  const std::string out = test::TestRoot() + "/t.jpg";
  struct Case {
    const char* file;
    const char* size;
    int w, h;
  };
  // portrait_6 is stored on its side: the thumbnail is turned upright.
  for (const Case& c : {Case{"portrait_6.jpg", "160", 120, 160}, Case{"landscape_1.jpg", "100", 100, 75}}) {
    const test::CommandRun run = Plb("thumb '" + Orientation(c.file) + "' --size " + c.size + " --out '" + out + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(JpegSize(out), std::make_pair(c.w, c.h)) << c.file;
  }
  EXPECT_NE(Plb("thumb '" + test::TestRoot() + "/none.jpg' --out '" + out + "'").status, 0);
  EXPECT_NE(Plb("thumb '" + Orientation("portrait_6.jpg") + "'").status, 0);
}

}  // namespace
}  // namespace plb
