#include "engine/model/file_kinds.h"

#include <gtest/gtest.h>

#include <string>

namespace plb {
namespace {

TEST(ExtItems, KeysFollowTheBase27Rule) {
  EXPECT_EQ(TExtItems::ExtensionKey(".BMP"), 49275u);
  EXPECT_EQ(TExtItems::ExtensionKey(".JPE"), 208629u);
  EXPECT_EQ(TExtItems::ExtensionKey(".JPEG"), 208636u);
  EXPECT_EQ(TExtItems::ExtensionKey(".JPG"), 208683u);
  EXPECT_EQ(TExtItems::ExtensionKey(".jpg"), 208683u);
}

TEST(ExtItems, CatalogSetFindsItsKindsOnly) {
  TExtItems table;
  table.Build(kCatalogKinds, ".avi;*.MOV; mpg ;;.JPG", ".MP3");
  struct Case {
    const char* extension;
    int kind;  // -1: not catalogued
    bool externalPlayer;
  };
  const Case cases[] = {
      {".jpeg", fkJpeg, true},  {".JPEG", fkJpeg, true},  {".Jpg", fkJpeg, true},   {".jpe", fkJpeg, true},
      {".jp", -1, false},       {".bmp", fkBitmap, true}, {".cr2", fkRaw, true},    {".RAF", fkRaw, true},
      {".THM", -1, false},      {".WMF", -1, false},      {".EMF", -1, false},      {".mp3", fkSound, false},
      {".avi", fkMovie, false}, {".mov", fkMovie, false}, {".MPG", fkMovie, false}, {".txt", -1, false},
      {"", -1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    const TExtItem* e = table.Find(c.extension);
    if (c.kind < 0) {
      EXPECT_EQ(e, nullptr);
      continue;
    }
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, c.kind);
    EXPECT_EQ(e->externalPlayer, c.externalPlayer);
  }
  EXPECT_EQ(table.KindsPresent(), KindBit(0) | KindBit(1) | KindBit(5) | KindBit(6) | KindBit(7));
  EXPECT_TRUE(table.Finished());
}

TEST(ExtItems, FirstOfferWinsEvenWhenItsKindIsNotWanted) {
  TExtItems movies;
  movies.Build(KindBit(fkMovie), ".JPG;.THM;.mp4", "");
  EXPECT_EQ(movies.Find(".jpg"), nullptr) << "JPEG was offered first, as kind 1";
  EXPECT_EQ(movies.Find(".thm"), nullptr);
  ASSERT_NE(movies.Find(".MP4"), nullptr);
  EXPECT_EQ(movies.Count(), 1u);
}

TEST(ExtItems, EqualKeysOfDifferentExtensionsStayApart) {
  // Digits count negative: ".MP4" and ".MOO" share a key, so do ".MP3" and ".MON".
  ASSERT_EQ(TExtItems::ExtensionKey(".MP4"), TExtItems::ExtensionKey(".MOO"));
  TExtItems table;
  table.Build(kCatalogKinds, ".mp4", ".mp3");
  EXPECT_EQ(table.Find(".MOO"), nullptr);
  EXPECT_EQ(table.Find(".MON"), nullptr);
  ASSERT_NE(table.Find(".mp4"), nullptr);
  EXPECT_EQ(table.Find(".mp4")->kind, fkMovie);
}

TEST(ExtItems, HoldsAtMost256EntriesAndAsksForIcons) {
  std::string movies;
  for (int i = 0; i < 400; ++i) movies += ".X" + std::to_string(i) + ";";
  TExtItems table;
  table.Build(kCatalogKinds, movies, ".MP3", [](const std::string& ext) { return ext == ".BMP" ? 7 : -1; });
  EXPECT_EQ(table.Count(), TExtItems::kMaxEntries);
  EXPECT_EQ(table.IconIndex(".bmp"), 7);
  EXPECT_EQ(table.IconIndex(".jpg"), -1);
  EXPECT_EQ(table.IconIndex(".none"), 0);
}

TEST(ExtItems, ExtensionOfTakesTheLastDot) {
  EXPECT_EQ(ExtensionOf("a.b.JPG"), ".JPG");
  EXPECT_EQ(ExtensionOf("noext"), "");
  EXPECT_EQ(ExtensionOf(".hidden.jpg"), ".jpg");
}

}  // namespace
}  // namespace plb
