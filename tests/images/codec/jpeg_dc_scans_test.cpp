// Progressive JPEGs at one eighth from their DC scans: the picture must be the one libjpeg gives
// after decoding every scan, for every layout of components, restart intervals and odd sizes, and
// a damaged or cut file must still fail as before.
#include "images/codec/jpeg_dc_scans.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <string>
#include <vector>

#include "images/codec/jpeg_codec.h"
#include "images/image_fixtures.h"
#include "support/test_env.h"

namespace plb {
namespace {

struct Layout {
  const char* name;
  int components;    // 1 greyscale, 3 YCbCr
  int lumaH, lumaV;  // the luma sampling; chroma is 1 x 1
  int restart;       // MCU rows between restart markers, 0 none
  int width, height;
};

// A real photograph cropped to the size, as a progressive JPEG of the layout.
std::vector<uint8_t> ProgressiveJpeg(const Bitmap& photo, const Layout& l) {
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(l.width);
  info.image_height = static_cast<JDIMENSION>(l.height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  if (l.components == 1) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
  info.comp_info[0].h_samp_factor = l.lumaH;
  info.comp_info[0].v_samp_factor = l.lumaV;
  info.restart_in_rows = l.restart;
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row[1] = {const_cast<uint8_t*>(photo.Row(static_cast<int32_t>(info.next_scanline)))};
    jpeg_write_scanlines(&info, row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

// libjpeg's own decode at one eighth of every scan, as the codec made thumbnails before. Without
// smoothing for a file whose AC scans were left out, so that it shows what is stored, not guesses.
Bitmap LibjpegEighth(const std::vector<uint8_t>& jpeg, bool smoothing = true) {
  jpeg_decompress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.scale_num = 1;
  info.scale_denom = 8;
  info.out_color_space = JCS_EXT_BGR;
  info.do_block_smoothing = smoothing ? TRUE : FALSE;
  jpeg_start_decompress(&info);
  Bitmap b(static_cast<int32_t>(info.output_width), static_cast<int32_t>(info.output_height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row[1] = {b.Row(static_cast<int32_t>(info.output_scanline))};
    jpeg_read_scanlines(&info, row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return b;
}

int MaxDifference(const Bitmap& a, const Bitmap& b) {
  int most = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width() * 3; ++x) most = std::max(most, std::abs(a.Row(y)[x] - b.Row(y)[x]));
  return most;
}

Bitmap Photo() {
  const auto bytes = test::ReadFile(test::TestDataDir() + "/exif-samples/jpg/Reconyx_HC500_Hyperfire.jpg");
  Bitmap photo;
  DecodeJpeg(bytes, photo, dsFull);
  return photo;
}

TEST(ProgressiveAtOneEighth, GivesLibjpegsPictureForEveryLayout) {
  const Bitmap photo = Photo();
  ASSERT_GE(photo.Width(), 1001);
  ASSERT_GE(photo.Height(), 667);
  const Layout layouts[] = {
      {"colour 4:4:4", 3, 1, 1, 0, 1000, 664},
      {"colour 4:4:4, odd size, restarts", 3, 1, 1, 2, 1001, 667},
      {"greyscale, odd size", 1, 1, 1, 0, 999, 661},
      {"colour 4:2:0 (chroma through libjpeg)", 3, 2, 2, 0, 1001, 667},
      {"colour 4:2:2 (chroma through libjpeg)", 3, 2, 1, 1, 1000, 667},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.name);
    const std::vector<uint8_t> jpeg = ProgressiveJpeg(photo, l);
    const Bitmap expected = LibjpegEighth(jpeg);
    Bitmap got;
    DecodeJpeg(jpeg, got, dsEighth);
    ASSERT_EQ(got.Width(), (l.width + 7) / 8);
    ASSERT_EQ(got.Height(), (l.height + 7) / 8);
    EXPECT_EQ(MaxDifference(got, expected), 0);
    // Each path is taken where it should be: the DC decoder only without subsampling, the
    // shortened file where some AC scans are not needed.
    Bitmap direct;
    EXPECT_EQ(DecodeProgressiveDcOnly(jpeg, direct), l.lumaH == 1 && l.lumaV == 1);
    const std::vector<uint8_t> shortened = ProgressiveWithoutUnneededAcScans(jpeg);
    EXPECT_FALSE(shortened.empty());
    EXPECT_LT(shortened.size(), jpeg.size());
    if (!shortened.empty()) {
      EXPECT_EQ(MaxDifference(LibjpegEighth(shortened, false), expected), 0);
    }
  }
}

TEST(ProgressiveAtOneEighth, LeavesOtherFilesToLibjpegAndCutFilesStillFail) {
  const Bitmap photo = Photo();
  const std::vector<uint8_t> baseline = test::ReadFile(test::TestDataDir() + "/exif-samples/jpg/Canon_PowerShot_S40.jpg");
  Bitmap none;
  EXPECT_FALSE(DecodeProgressiveDcOnly(baseline, none));
  EXPECT_TRUE(ProgressiveWithoutUnneededAcScans(baseline).empty());
  EXPECT_TRUE(none.Empty());

  const std::vector<uint8_t> jpeg = ProgressiveJpeg(photo, {"", 3, 1, 1, 0, 640, 480});
  // Cut in the AC scans (the DC scans come first), and cut in the first scan.
  for (const size_t keep : {jpeg.size() * 2 / 3, size_t{700}, size_t{3}}) {
    SCOPED_TRACE(keep);
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(keep));
    EXPECT_FALSE(DecodeProgressiveDcOnly(cut, none));
    EXPECT_TRUE(ProgressiveWithoutUnneededAcScans(cut).empty());
    EXPECT_THROW(DecodeJpeg(cut, none, dsEighth), EJpegError);
  }
  // Damage anywhere in a whole file: never a fault of the process, and the same answer libjpeg
  // gives (a picture or an EJpegError).
  for (size_t at = 2; at < jpeg.size(); at += 97) {
    std::vector<uint8_t> damaged = jpeg;
    damaged[at] ^= 0x5A;
    Bitmap b;
    try {
      DecodeJpeg(damaged, b, dsEighth);
    } catch (const EJpegError&) {
    }
  }
}

}  // namespace
}  // namespace plb
