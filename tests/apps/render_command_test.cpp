#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "host/product_values.h"
#include "support/mjpeg_clip.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

test::CommandRun Plb(const std::string& args) {
  return test::RunPlb("render " + args);
}

std::string Head(const std::string& path, size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(n, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(n));
  return bytes.substr(0, static_cast<size_t>(in.gcount()));
}

// A path in single quotes for the shell.
std::string Quoted(const std::string& path) {
  std::string out = "'";
  out.append(path).append("'");
  return out;
}

std::string Sample(const std::string& name) {
  return Quoted(test::TestDataDir() + "/exif-samples/jpg/orientation/" + name);
}

TEST(RenderCommand, WritesTheUprightPictureFittedIntoTheBox) {
  const std::string jpg = test::TestRoot() + "/out.jpg", bmp = test::TestRoot() + "/out.bmp";
  // landscape_6 is stored 450 x 600 and shown 600 x 450.
  test::CommandRun run = Plb(Sample("landscape_6.jpg") + " --size 200x200 --out " + Quoted(jpg));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, jpg + ": 200x150\n");
  EXPECT_EQ(Head(jpg, 2), "\xFF\xD8");

  run = Plb(Sample("portrait_1.jpg") + " --size 90x400 --method 0 --filter 1 --gamma 120 --out '" + bmp + "'");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, bmp + ": 90x120\n");
  EXPECT_EQ(Head(bmp, 2), "BM");
}

TEST(RenderCommand, RefusesBadArgumentsAndReportsBadFiles) {
  const std::string out = test::TestRoot() + "/x.jpg";
  const std::string cut = test::TestRoot() + "/cut.jpg";
  {
    std::ifstream in(test::TestDataDir() + "/exif-samples/jpg/orientation/portrait_3.jpg", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
  }
  struct Case {
    std::string args;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {Sample("portrait_1.jpg") + " --out " + out, 2, "--size is required"},
      {Sample("portrait_1.jpg") + " --size 10 --out " + out, 2, "--size must be WIDTHxHEIGHT"},
      {Sample("portrait_1.jpg") + " --size 10x10 --method 8 --out " + out, 2, "--method must be"},
      {Sample("portrait_1.jpg") + " --size 10x10 --out x.png", 2, "--out must end in"},
      {"--size 10x10 --out " + out, 2, "no file given"},
      {Quoted(test::TestRoot() + "/missing.jpg") + " --size 10x10 --out " + out, 1, "EFOpenError"},
      {Quoted(cut) + " --size 10x10 --out " + out, 1, "EJpegError"},
      {"/etc/hostname --size 10x10 --out " + out, 1, "not a picture or movie type"},
  };
  for (const Case& c : cases) {
    const test::CommandRun run = Plb(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << "\n" << run.out;
  }
  EXPECT_EQ(Head(out, 1), "");  // nothing written by a failed render
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A Motion-JPEG clip in an AVI container whose every frame is the given JPEG file.
void WriteClipOf(const std::string& jpegPath, int width, int height, const std::string& path) {
  test::WriteMjpegClip(path, ReadAll(jpegPath), width, height, 5);
}

// The pixel bytes of a BMP file (after its header).
std::string BmpPixels(const std::string& path) {
  const std::string bytes = ReadAll(path);
  if (bytes.size() < 14 || bytes.compare(0, 2, "BM") != 0) return {};
  const uint32_t offset = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8 |
                          static_cast<uint8_t>(bytes[12]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[13])) << 24;
  return offset < bytes.size() ? bytes.substr(offset) : std::string();
}

// plb loads the movie libraries only for a movie frame, into a program that carries its own C++
// runtime: the frame of a clip must come out as the photo it was made of does.
TEST(RenderCommand, AMovieFrameComesOutAsThePhotoItWasMadeOf) {
  WriteSupportMovieTypeUser("avi");
  const std::string photo = test::TestDataDir() + "/exif-samples/jpg/orientation/portrait_1.jpg";
  const std::string clip = test::TestRoot() + "/clip.avi";
  WriteClipOf(photo, 450, 600, clip);
  const std::string fromClip = test::TestRoot() + "/clip.bmp", fromPhoto = test::TestRoot() + "/photo.bmp";

  test::CommandRun run = Plb(Quoted(clip) + " --size 120x120 --out " + Quoted(fromClip));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, fromClip + ": 90x120\n");
  run = Plb(Quoted(photo) + " --size 120x120 --out " + Quoted(fromPhoto));
  ASSERT_EQ(run.status, 0) << run.out;

  const std::string a = BmpPixels(fromClip), b = BmpPixels(fromPhoto);
  ASSERT_FALSE(a.empty());
  ASSERT_EQ(a.size(), b.size());
  // Two decoders and their scaling differ by a few levels, a wrong or empty frame by far more.
  double difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference += std::abs(static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]));
  EXPECT_LT(difference / static_cast<double>(a.size()), 8.0);
}

}  // namespace
}  // namespace plb
