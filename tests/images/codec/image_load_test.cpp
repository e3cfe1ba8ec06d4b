// Decoding files by kind: JPEG at every DCT scale and into a box, BMP, metafile sizes, movie
// frames, and clean failures on damaged input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "images/image_fixtures.h"
#include "images/codec/bmp_file.h"
#include "images/exif/exif_scanner.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_codec.h"
#include "images/codec/movie_frame.h"
#include "platform/volumes.h"
#include "support/mjpeg_clip.h"
#include "support/test_env.h"

namespace plb {
namespace {

std::string PathOf(const std::string& name) {
  return test::TestRoot() + "/" + name;
}

std::string WriteJpeg(const std::string& name, const Bitmap& picture, int quality = 92) {
  const std::string path = PathOf(name);
  test::WriteFile(path, EncodeJpeg(picture, quality));
  return path;
}

TEST(JpegDecode, ScaledDecodesRoundUp) {
  struct Case {
    int32_t width, height;
    int scale;
    TSize expected;
  };
  const Case cases[] = {{1000, 8, dsHalf, {500, 4}},   {1001, 9, dsHalf, {501, 5}}, {1001, 9, dsQuarter, {251, 3}},
                        {1001, 9, dsEighth, {126, 2}}, {7, 7, dsEighth, {1, 1}},    {1001, 9, dsFull, {1001, 9}}};
  for (const Case& c : cases) {
    const std::string path = WriteJpeg("scaled.jpg", test::PhotoLike(c.width, c.height));
    Bitmap b;
    LoadImageFile(b, 1, path, nullptr, c.scale);
    EXPECT_EQ((TSize{b.Width(), b.Height()}), c.expected) << c.width << " at scale " << c.scale;
    EXPECT_EQ(b.PixelFormat(), pf24Bit);
  }
}

TEST(JpegDecode, DctScaledDecodesMatchAFullDecodeScaledDown) {
  const std::vector<uint8_t> jpeg = [] {
    const std::string bytes = EncodeJpeg(test::PhotoLike(1600, 1200), 95);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }();
  Bitmap full;
  DecodeJpeg(jpeg, full, dsFull);
  for (int scale : {dsHalf, dsQuarter, dsEighth}) {
    Bitmap scaled;
    DecodeJpeg(jpeg, scaled, scale);
    Bitmap reference(scaled.Width(), scaled.Height());
    FilterResample(full, reference, fiArea);
    EXPECT_LT(test::MeanDifference(scaled, reference), 2.5) << "scale " << scale;
  }
}

TEST(JpegDecode, ColoursComeOutAsBlueGreenRed) {
  const std::string path = WriteJpeg("colour.jpg", test::Solid(16, 16, 30, 90, 220), 100);
  Bitmap b;
  LoadImageFile(b, 1, path);
  ASSERT_EQ(b.Width(), 16);
  EXPECT_NEAR(b.Pixel(8, 8)[0], 30, 3);
  EXPECT_NEAR(b.Pixel(8, 8)[1], 90, 3);
  EXPECT_NEAR(b.Pixel(8, 8)[2], 220, 3);
}

TEST(JpegToSize, LargePicturesDecodeReducedAndSmallOnesAreNotEnlarged) {
  struct Case {
    int32_t width, height;
    TSize expected;
    int resampled;
  };
  // 4000 x 3000 decodes at 1/8 (500 x 375) and is resampled; 300 x 200 decodes at full size (less
  // than twice the box) and is resampled; 1280 x 960 at 1/8 is the box size exactly; 100 x 80 fits.
  const Case cases[] = {
      {4000, 3000, {160, 120}, 1}, {300, 200, {160, 107}, 1}, {1280, 960, {160, 120}, 0}, {100, 80, {100, 80}, 0}};
  for (const Case& c : cases) {
    const std::string path = WriteJpeg("big.jpg", test::PhotoLike(c.width, c.height), 75);
    Bitmap b;
    TImageInfoRec info;
    LoadImageToSize(b, path, 1, info, true, 160, 160);
    EXPECT_EQ((TSize{b.Width(), b.Height()}), c.expected) << c.width;
    EXPECT_EQ(info.resampled, c.resampled) << c.width;
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
  }
  EXPECT_EQ(DecodeScaleFor(4000, 160), dsEighth);
  EXPECT_EQ(DecodeScaleFor(700, 160), dsQuarter);
  EXPECT_EQ(DecodeScaleFor(330, 160), dsHalf);
  EXPECT_EQ(DecodeScaleFor(300, 160), dsFull);
}

TEST(JpegDecode, DamagedJpegsFailCleanly) {
  const std::string good = EncodeJpeg(test::PhotoLike(64, 48), 90);
  const std::vector<std::string> damaged = {"",
                                            good.substr(0, 2),
                                            good.substr(0, 300),
                                            good.substr(0, good.size() / 2),
                                            good.substr(0, good.size() - 2) + std::string(2, '\0'),
                                            "\xFF\xD8\xFF\xC0\x00\x0B\x08\xFF\xFF\xFF\xFF\x01\x01\x11\x00"};
  for (size_t i = 0; i < damaged.size(); ++i) {
    const std::string path = PathOf("damaged.jpg");
    test::WriteFile(path, damaged[i]);
    Bitmap b;
    EXPECT_FALSE(DecodeJpegIjl(path, b, dsFull)) << i;
    EXPECT_TRUE(b.Empty());
    EXPECT_ANY_THROW(LoadImageFile(b, 1, path)) << i;
    TImageInfoRec info;
    if (!damaged[i].empty()) {
      try {
        LoadImageToSize(b, path, 1, info, true, 16, 16);
        ADD_FAILURE() << "sized load of damaged input " << i << " passed";
      } catch (const EJpegError&) {
      } catch (const EAbort&) {
      }
    }
  }
}

TEST(Bmp, RoundTripAndTheStoredDepths) {
  const Bitmap picture = test::PhotoLike(13, 7);
  const std::string bytes = EncodeBmp(picture);
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  Bitmap back;
  DecodeBmp(data, back);
  EXPECT_TRUE(back.SamePixels(picture));
  const TBmpInfo info = ReadBmpInfo(data);
  EXPECT_EQ(info.pixel_format, pf24Bit);
  EXPECT_EQ(info.width, 13);

  // An 8-bit top-down bitmap with a palette of two colours, 2 x 2.
  std::vector<uint8_t> eight = {'B',
                                'M',
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                62,
                                0,
                                0,
                                0,
                                40,
                                0,
                                0,
                                0,
                                2,
                                0,
                                0,
                                0,
                                0xFE,
                                0xFF,
                                0xFF,
                                0xFF,
                                1,
                                0,
                                8,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                2,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                /* palette */ 10,
                                20,
                                30,
                                0,
                                40,
                                50,
                                60,
                                0,
                                /* rows */ 0,
                                1,
                                0,
                                0,
                                1,
                                1,
                                0,
                                0};
  Bitmap pal;
  DecodeBmp(eight, pal);
  ASSERT_EQ(pal.Width(), 2);
  ASSERT_EQ(pal.Height(), 2);
  EXPECT_EQ(pal.Pixel(0, 0)[0], 10);
  EXPECT_EQ(pal.Pixel(1, 0)[2], 60);
  EXPECT_EQ(pal.Pixel(0, 1)[1], 50);
  EXPECT_EQ(ReadBmpInfo(eight).pixel_format, pf8Bit);
}

TEST(Bmp, EmptyAndLyingBitmapsFailCleanly) {
  const std::string good = EncodeBmp(test::PhotoLike(8, 8));
  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    std::string b = good;
    for (size_t i = 0; i < bytes.size(); ++i) b[at + i] = static_cast<char>(bytes[i]);
    return b;
  };
  const std::vector<std::string> bad = {
      "",                                  // a zero-size file
      good.substr(0, 30),                  // the header cut
      patched(18, {0, 0, 0, 0}),           // width 0
      patched(22, {0, 0, 0, 0}),           // height 0
      patched(18, {0xFF, 0xFF, 0, 0}),     // more pixels than the file holds
      patched(10, {0xFF, 0xFF, 0xFF, 0}),  // pixels beyond the end
      patched(28, {7, 0}),                 // an unknown depth
      patched(22, {0, 0, 0, 0x80}),        // the most negative height
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::string path = PathOf("bad.bmp");
    test::WriteFile(path, bad[i]);
    Bitmap b;
    EXPECT_THROW(LoadImageFile(b, 0, path), EInvalidGraphic) << i;
    TImageInfoRec info;
    LoadImageToSize(b, path, 0, info, true, 10, 10);  // sized loading of bitmaps stays silent
    EXPECT_TRUE(b.Empty()) << i;
  }
}

TEST(Kinds, UnsupportedKindsAndSoundRefuse) {
  const std::string path = WriteJpeg("any.jpg", test::PhotoLike(8, 8));
  for (int kind : {2, 7, 8, -1}) {
    Bitmap b;
    try {
      LoadImageFile(b, kind, path);
      ADD_FAILURE() << kind;
    } catch (const EImageLoadError& e) {
      EXPECT_EQ(e.Message(), "未サポートの形式です。");
    }
  }
  Bitmap b;
  TImageInfoRec info;
  EXPECT_THROW(LoadImageToSize(b, path, 7, info, true, 10, 10), EAbort);
  EXPECT_EQ(GetImageInfo(path, 6).pixel_format, pfDevice);
}

std::vector<uint8_t> Placeable(uint16_t unitsPerInch, int16_t right, int16_t bottom, bool goodChecksum = true) {
  std::vector<uint16_t> words = {
      0xCDD7, 0x9AC6, 0, 0, 0, static_cast<uint16_t>(right), static_cast<uint16_t>(bottom), unitsPerInch, 0, 0};
  uint16_t sum = 0;
  for (uint16_t w : words) sum ^= w;
  words.push_back(goodChecksum ? sum : static_cast<uint16_t>(sum + 1));
  std::vector<uint8_t> bytes;
  for (uint16_t w : words) bytes.insert(bytes.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
  bytes.resize(40, 0);
  return bytes;
}

TEST(Metafile, PlaceableSizesAndRefusals) {
  const std::string path = PathOf("drawing.wmf");
  test::WriteFile(path, Placeable(0, 960, 480));  // 0 units per inch counts as 96
  TImageInfoRec info = GetImageInfo(path, 3);
  EXPECT_EQ(info.width, 960);
  EXPECT_EQ(info.height, 480);
  Bitmap b;
  LoadImageFile(b, 3, path, nullptr, dsHalf);
  EXPECT_EQ((TSize{b.Width(), b.Height()}), (TSize{480, 240}));

  test::WriteFile(path, Placeable(1440, 1440, 720));
  EXPECT_EQ(GetImageInfo(path, 3).width, 96);

  const std::vector<std::vector<uint8_t>> bad = {
      Placeable(96, 100, 100, false), Placeable(1, 32767, 32767), Placeable(96, -100, 50), {1, 2, 3}};
  for (const auto& bytes : bad) {
    test::WriteFile(path, bytes);
    try {
      LoadImageFile(b, 3, path);
      ADD_FAILURE();
    } catch (const EImageLoadError& e) {
      EXPECT_EQ(e.Message(), "この形式のWMFは未対応です。");
    }
  }
}

// Writes a short Motion-JPEG clip of solid frames into an AVI container.
void WriteClip(const std::string& path, int width, int height, int frames) {
  test::WriteMjpegClip(path, EncodeJpeg(test::Solid(width, height, 40, 160, 200), 90), width, height, frames);
}

TEST(MovieFrame, AClipGivesAFrameAndAnythingElseGivesNothing) {
  const std::string clip = PathOf("clip.avi");
  WriteClip(clip, 64, 48, 12);
  Bitmap b;
  ASSERT_TRUE(GetAnotherImageBMP(clip, &b));
  EXPECT_EQ((TSize{b.Width(), b.Height()}), (TSize{64, 48}));
  EXPECT_NEAR(b.Pixel(32, 24)[0], 40, 6);
  EXPECT_NEAR(b.Pixel(32, 24)[2], 200, 6);
  LoadImageFile(b, 6, clip, nullptr, dsHalf);
  EXPECT_EQ((TSize{b.Width(), b.Height()}), (TSize{32, 24}));

  const std::string text = PathOf("notes.mp4");
  test::WriteFile(text, std::string("this is not a movie\n"));
  const std::string cut = PathOf("cut.avi");
  const std::vector<uint8_t> whole = test::ReadFile(clip);
  test::WriteFile(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + 300));
  const std::string empty = PathOf("empty.mov");
  test::WriteFile(empty, std::string());
  for (const std::string& path : {text, cut, empty}) {
    Bitmap none = test::Solid(2, 2, 1, 1, 1);
    EXPECT_FALSE(GetAnotherImageBMP(path, &none)) << path;
    EXPECT_TRUE(none.Empty());
  }

  struct Case {
    std::string path;
    bool nullBitmap;
    const char* message;
  };
  const Case errors[] = {
      {PathOf("missing.avi"), false, "EAnotherImageError Raised in GetAnotherImageBMP. ( SourceFile is not exists. )"},
      {clip, true, "EAnotherImageError Raised in GetAnotherImageBMP. ( BMP is nil. )"},
  };
  for (const Case& c : errors) {
    try {
      GetAnotherImageBMP(c.path, c.nullBitmap ? nullptr : &b);
      ADD_FAILURE() << c.message;
    } catch (const EAnotherImageError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

// Files with bytes changed here and there go through every loader without a crash or a read
// outside the data (the sanitizer build checks the latter); failing is allowed, with an error.
TEST(DamagedFiles, ChangedBytesNeverCrashTheLoaders) {
  const std::string jpeg = EncodeJpeg(test::PhotoLike(40, 30), 80);
  const std::string bmp = EncodeBmp(test::PhotoLike(9, 5));
  struct Case {
    std::string name;
    int kind;
    std::string bytes;
  };
  const Case cases[] = {{"m.jpg", 1, jpeg},
                        {"m.bmp", 0, bmp},
                        {"m.wmf", 3, std::string(reinterpret_cast<const char*>(Placeable(96, 500, 400).data()), 40)}};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (const Case& c : cases) {
    const std::string path = PathOf(c.name);
    for (int round = 0; round < 60; ++round) {
      std::string bytes = c.bytes;
      for (int flips = 1 + static_cast<int>(next() % 4); flips > 0; --flips)
        bytes[(next() >> 8) % bytes.size()] = static_cast<char>(next() >> 16);
      if (round % 10 == 9) bytes.resize((next() >> 8) % bytes.size());
      test::WriteFile(path, bytes);
      Bitmap b;
      TImageInfoRec info;
      try {
        LoadImageFile(b, c.kind, path, nullptr, static_cast<int>(next() % 4));
      } catch (const std::exception&) {
      }
      try {
        LoadImageToSize(b, path, c.kind, info, true, 16, 16);
      } catch (const std::exception&) {
      }
      try {
        GetImageInfo(path, c.kind);
      } catch (const std::exception&) {
      }
    }
  }
}

TEST(ImageInfo, JpegOrientationAndDateFromExif) {
  const std::string dir = test::TestDataDir() + "/exif-samples/jpg/orientation/";
  for (int o = 1; o <= 8; ++o) {
    const TImageInfoRec info = GetImageInfo(dir + "portrait_" + std::to_string(o) + ".jpg", 1);
    EXPECT_EQ(info.orientation, o);
    EXPECT_EQ(info.rotated, o > 1);
    EXPECT_TRUE(info.has_exif);
    EXPECT_GT(info.width, 0);
  }
}

// The folder "photos" on a fake fixed volume, and a catalog of its own to list it into.
class VolumePhotos {
 public:
  VolumePhotos() {
    std::filesystem::create_directories(Folder());
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", test::TestRoot() + "/vol"});
    scoped_.emplace(volumes_);
  }
  static std::string Folder() { return test::TestRoot() + "/vol/photos"; }
  // The catalog folder with the files put there so far listed as its items, or null.
  TFolder* List() {
    TFolder* folder = trees_.FolderOf(Folder());
    if (folder) folder->SearchFilesEx(nullptr);
    return folder;
  }

 private:
  platform::FakeVolumeSource volumes_;
  std::optional<platform::ScopedVolumeSource> scoped_;
  TFolderTreeList trees_;
};

TEST(ImageInfo, TheCatalogReadsItemHeadersThroughTheInstalledReader) {
  VolumePhotos volume;
  std::filesystem::copy_file(test::TestDataDir() + "/exif-samples/jpg/orientation/landscape_6.jpg",
                             VolumePhotos::Folder() + "/turned.jpg");
  TFolder* folder = volume.List();
  ASSERT_NE(folder, nullptr);
  TCatalogItem* item = folder->FindItem("turned.jpg");
  ASSERT_NE(item, nullptr);
  InstallCatalogImageReader();
  item->ReadDimensions();
  const TImageInfoRec info = GetImageInfo(VolumePhotos::Folder() + "/turned.jpg", 1);
  EXPECT_EQ(item->Width(), info.width);
  EXPECT_EQ(item->Height(), info.height);
  EXPECT_EQ(item->Orientation(), 6);
  SetImageHeaderReader(nullptr);
  SetExifTextsReader(nullptr);
}

TEST(ImageInfo, TheCatalogListsAnItemsExifTextsThroughTheInstalledReader) {
  VolumePhotos volume;
  std::filesystem::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg",
                             VolumePhotos::Folder() + "/a.jpg");
  // A JPEG name over bytes that are no JPEG: nothing to list, no failure.
  { std::ofstream(VolumePhotos::Folder() + "/broken.jpg") << "not a picture"; }
  TFolder* folder = volume.List();
  ASSERT_NE(folder, nullptr);
  TCatalogItem* item = folder->FindItem("a.jpg");
  TCatalogItem* broken = folder->FindItem("broken.jpg");
  ASSERT_NE(item, nullptr);
  ASSERT_NE(broken, nullptr);
  std::vector<std::string> lines;
  SetExifTextsReader(nullptr);
  EXPECT_FALSE(item->GetExifTexts(lines)) << "nothing installed";
  InstallCatalogImageReader();
  ASSERT_TRUE(item->GetExifTexts(lines));
  ASSERT_FALSE(lines.empty());
  bool maker = false;
  for (const std::string& line : lines) maker = maker || line.find("Canon") != std::string::npos;
  EXPECT_TRUE(maker);
  std::vector<std::string> none;
  EXPECT_FALSE(broken->GetExifTexts(none));
  EXPECT_TRUE(none.empty());
  SetImageHeaderReader(nullptr);
  SetExifTextsReader(nullptr);
}

}  // namespace
}  // namespace plb
