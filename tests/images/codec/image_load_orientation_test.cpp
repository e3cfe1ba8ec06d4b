// The orientation samples render upright: the same pictures as ImageMagick's -auto-orient, within
// the tolerance of two different JPEG decoders and scalers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "images/image_fixtures.h"
#include "images/codec/bmp_file.h"
#include "images/scale/picture_render.h"
#include "support/test_env.h"

namespace plb {
namespace {

// convert's answer for a file, fitted into the same box, as a 24-bit bitmap.
Bitmap ConvertAutoOriented(const std::string& file, int box) {
  const std::string out = test::TestRoot() + "/reference.bmp";
  const std::string command = "convert '" + file + "' -auto-orient -resize " + std::to_string(box) + "x" +
                              std::to_string(box) + " -type TrueColor 'BMP3:" + out + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Bitmap b;
  DecodeBmp(test::ReadFile(out), b);
  return b;
}

TEST(OrientationSamples, RenderUprightLikeAutoOrient) {
  const std::string dir = test::TestDataDir() + "/exif-samples/jpg/orientation/";
  for (const char* shape : {"landscape", "portrait"}) {
    for (int o = 1; o <= 8; ++o) {
      const std::string file = dir + shape + "_" + std::to_string(o) + ".jpg";
      TRenderRequest request;
      request.file_name = file;
      request.kind = 1;
      request.max_width = request.max_height = 240;
      const Bitmap ours = RenderPicture(request);
      const Bitmap reference = ConvertAutoOriented(file, 240);
      ASSERT_EQ(ours.Width(), reference.Width()) << file;
      ASSERT_EQ(ours.Height(), reference.Height()) << file;
      EXPECT_LT(test::MeanDifference(ours, reference), 6.0) << file;
      // Not upright would differ far more: the same picture unturned.
      if (o != 1) {
        request.orientation = 1;
        const Bitmap unturned = RenderPicture(request);
        if (unturned.Width() == reference.Width() && unturned.Height() == reference.Height()) {
          EXPECT_GT(test::MeanDifference(unturned, reference), 12.0) << file;
        }
      }
    }
  }
}

}  // namespace
}  // namespace plb
