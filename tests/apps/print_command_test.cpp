// plb print into a PDF file, read back by rendering its pages with pdftoppm.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

struct Rgb {
  int r, g, b;
};

// A rendered page (binary PPM).
struct Page {
  int width = 0, height = 0;
  std::string pixels;
  Rgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return {static_cast<uint8_t>(pixels[i]), static_cast<uint8_t>(pixels[i + 1]), static_cast<uint8_t>(pixels[i + 2])};
  }
};

Page ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int max = 0;
  Page page;
  in >> magic >> page.width >> page.height >> max;
  in.get();
  page.pixels.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  EXPECT_EQ(magic, "P6");
  EXPECT_EQ(page.pixels.size(), size_t(page.width) * page.height * 3);
  return page;
}

bool Near(Rgb a, Rgb b) { return std::abs(a.r - b.r) < 40 && std::abs(a.g - b.g) < 40 && std::abs(a.b - b.b) < 40; }

bool HaveTools() {
  return test::RunCommand("pdftoppm -v >/dev/null 2>&1").status == 0 &&
         test::RunCommand("convert -version >/dev/null 2>&1").status == 0;
}

// 7 photos of 7 colours in a 2 × 2 grid: page 1 holds photos 1-4 in reading order, page 2
// photos 5-7 and an empty fourth cell.
TEST(PrintCommand, SevenPhotosInTwoByTwoGiveTwoPagesWithEachPhotoInItsCell) {
  if (!HaveTools()) GTEST_SKIP() << "pdftoppm or ImageMagick missing";
  const std::string dir = test::TestRoot() + "/pics";
  fs::create_directories(dir);
  const std::vector<Rgb> colours{{255, 0, 0},   {0, 160, 0},   {0, 0, 255},    {255, 255, 0},
                                 {255, 0, 255}, {0, 200, 200}, {128, 64, 0}};
  std::string files;
  for (size_t i = 0; i < colours.size(); ++i) {
    char name[64], colour[32];
    std::snprintf(name, sizeof name, "%s/p%zu.jpg", dir.c_str(), i + 1);
    std::snprintf(colour, sizeof colour, "rgb(%d,%d,%d)", colours[i].r, colours[i].g, colours[i].b);
    // Landscape and portrait photos alike.
    const char* size = i % 2 ? "90x160" : "160x90";
    ASSERT_EQ(test::RunCommand(std::string("convert -size ") + size + " 'xc:" + colour + "' '" + name + "'").status, 0);
    files += std::string(" '") + name + "'";
  }
  const std::string pdf = test::TestRoot() + "/out.pdf";
  const test::CommandRun run =
      test::RunPlb("print --pdf '" + pdf + "' --layout 2x2 --caption name --page-numbers --dpi 100" + files);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("2 pages"), std::string::npos) << run.out;

  const std::string prefix = test::TestRoot() + "/page";
  ASSERT_EQ(test::RunCommand("pdftoppm -r 30 '" + pdf + "' '" + prefix + "'").status, 0);
  ASSERT_TRUE(fs::exists(prefix + "-1.ppm"));
  ASSERT_TRUE(fs::exists(prefix + "-2.ppm"));
  EXPECT_FALSE(fs::exists(prefix + "-3.ppm"));
  const Rgb white{255, 255, 255};
  for (int p = 0; p < 2; ++p) {
    const Page page = ReadPpm(prefix + "-" + std::to_string(p + 1) + ".ppm");
    for (int cell = 0; cell < 4; ++cell) {
      // The middle of the cell's picture area (the caption and page number take the bottom).
      const int x = page.width / 4 + (cell % 2) * page.width / 2;
      const int y = page.height * 45 / 100 / 2 + (cell / 2) * page.height * 47 / 100;
      const size_t photo = static_cast<size_t>(p * 4 + cell);
      const Rgb seen = page.At(x, y);
      const Rgb want = photo < colours.size() ? colours[photo] : white;
      EXPECT_TRUE(Near(seen, want)) << "page " << p + 1 << " cell " << cell + 1 << ": " << seen.r << "," << seen.g
                                    << "," << seen.b;
    }
  }
}

TEST(PrintCommand, PageRangeAndRefusals) {
  if (!HaveTools()) GTEST_SKIP() << "pdftoppm or ImageMagick missing";
  const std::string dir = test::TestRoot() + "/pics";
  fs::create_directories(dir);
  std::string files;
  for (int i = 0; i < 5; ++i) {
    const std::string name = dir + "/p" + std::to_string(i) + ".jpg";
    ASSERT_EQ(test::RunCommand("convert -size 40x30 xc:gray '" + name + "'").status, 0);
    files += " '" + name + "'";
  }
  const std::string pdf = test::TestRoot() + "/out.pdf";
  test::CommandRun run = test::RunPlb("print --pdf '" + pdf + "' --layout 2x1 --pages 2-3" + files);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(": 2 pages"), std::string::npos) << run.out;
  EXPECT_EQ(test::RunPlb("print --pdf '" + pdf + "' --layout 2x1 --pages 4" + files).status, 2)
      << "a page beyond the last is refused";
  EXPECT_EQ(test::RunPlb("print --pdf '" + pdf + "' --layout 17x1" + files).status, 2);
  fs::remove(pdf);
  EXPECT_NE(test::RunPlb("print --pdf '" + pdf + "' '" + dir + "/missing.jpg'").status, 0);
  EXPECT_FALSE(fs::exists(pdf)) << "no file for a job that did not print";
}

}  // namespace
}  // namespace plb
