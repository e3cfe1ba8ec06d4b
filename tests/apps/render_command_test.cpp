#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

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

}  // namespace
}  // namespace plb
