// The tray's rules without widgets: when an upload may start and the exact text the user reads
// when it may not, the tray order after an addition, a group upload's share of the book's room
// and the gauge.
#include "shell/tray/tray_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plb::shell {
namespace {

const std::string kGo;
const std::string kNewBook = "新しいプルモラを作成するためには\r\n5枚以上の写真をアップロードする必要があります。";

TEST(TrayRulesTest, StartChecksGiveTheTextOfTheFirstRuleThatRefuses) {
  const struct {
    const char* what;
    int mode;
    bool new_book;
    int create_mode;
    int count, photo, rest;
    std::string text;
  } cases[] = {
      {"new book, 4 photos", 0, true, tcmTray, 4, 0, 100, kNewBook},
      {"new book, 4 photos, hidden creation", 0, true, tcmHidden, 4, 0, 100, kNewBook},
      {"new book, 4 photos, album button", 0, true, tcmAlbum, 4, 0, 100, "アルバムを作成するには、写真が5枚以上必要です。"},
      {"new book, 4 photos, slideshow button", 0, true, tcmSlideshow, 4, 0, 100,
       "スライドショーを作成するには、写真が5枚以上必要です。"},
      {"new book, 5 photos", 0, true, tcmTray, 5, 0, 100, kGo},
      {"existing book, 1 photo", 0, false, tcmTray, 1, 20, 10, kGo},
      {"existing book, rest 3, 5 photos", 0, false, tcmTray, 5, 10, 3,
       "プルモラに追加できる枚数を越えてます。\r\n\r\nトレイから写真を2枚、出してください。"},
      {"new book, rest 3, 5 photos", 0, true, tcmTray, 5, 0, 3,
       "プルモラに登録できる枚数を越えてます。\r\n\r\nトレイから写真を2枚、出してください。"},
      {"existing book, rest 3, 3 photos", 0, false, tcmTray, 3, 10, 3, kGo},
      {"counts 0 and 0: no upper limit", 0, false, tcmTray, 500, 0, 0, kGo},
      {"new book, counts 0 and 0, 500 photos", 0, true, tcmTray, 500, 0, 0, kGo},
      {"rest 0 but photos in the book: nothing more fits", 0, false, tcmTray, 1, 30, 0,
       "プルモラに追加できる枚数を越えてます。\r\n\r\nトレイから写真を1枚、出してください。"},
      {"jacket, 2 photos", 1, false, tcmTray, 2, 10, 5,
       "ジャケットに指定できるのは1枚だけです。\r\n\r\nトレイから写真を1枚、出してください。"},
      {"label, 3 photos", 2, false, tcmTray, 3, 10, 5,
       "レーベルに指定できるのは1枚だけです。\r\n\r\nトレイから写真を2枚、出してください。"},
      {"icon, 2 photos on a new book (no 5-photo minimum)", 3, true, tcmTray, 2, 0, 0,
       "アイコンに指定できるのは1枚だけです。\r\n\r\nトレイから写真を1枚、出してください。"},
      {"jacket, 1 photo", 1, false, tcmTray, 1, 0, 0, kGo},
      {"icon, 1 photo, new book", 3, true, tcmTray, 1, 0, 0, kGo},
      {"existing book, nothing available", 0, false, tcmTray, 0, 10, 5, "アップロードする写真がありません。"},
      {"new book, nothing available", 0, true, tcmTray, 0, 0, 100, kNewBook},
      {"label, nothing", 2, false, tcmTray, 0, 0, 0, "アップロードする写真がありません。"},
  };
  for (const auto& c : cases) {
    TTrayStartCheck check;
    check.tray_mode = c.mode;
    check.new_book = c.new_book;
    check.create_mode = c.create_mode;
    check.count = c.count;
    check.photo_count = c.photo;
    check.rest_count = c.rest;
    EXPECT_EQ(TrayStartRefusal(check), c.text) << c.what;
  }
}

TEST(TrayRulesTest, TheOrderAfterAnAdditionPlacesTheNewItemsBeforeTheDropTarget) {
  int a, b, c, d, x, y;
  using V = std::vector<int*>;
  const struct {
    const char* what;
    V shown, added;
    int* target;
    V order;
  } cases[] = {
      {"new items dropped on a tray photo go before it", {&a, &b, &c}, {&x, &y}, &b, {&a, &x, &y, &b, &c}},
      {"dropped on the first photo", {&a, &b}, {&x}, &a, {&x, &a, &b}},
      {"dropped on empty space: appended", {&a, &b}, {&x, &y}, nullptr, {&a, &b, &x, &y}},
      {"a tray photo dropped on another moves before it", {&a, &b, &c, &d}, {&d}, &b, {&a, &d, &b, &c}},
      {"tray photos moved forward keep their drag order", {&a, &b, &c, &d}, {&c, &a}, &d, {&b, &c, &a, &d}},
      {"a tray photo dropped on itself stays", {&a, &b, &c}, {&b}, &b, {&a, &b, &c}},
      {"a tray photo dropped on empty space goes last", {&a, &b, &c}, {&a}, nullptr, {&b, &c, &a}},
      {"a target not shown (gone meanwhile): appended, never first", {&a, &b}, {&x}, &y, {&a, &b, &x}},
      {"an empty tray", {}, {&x, &y}, nullptr, {&x, &y}},
      {"the same item twice in a drop counts once", {&a}, {&x, &x}, &a, {&x, &a}},
  };
  for (const auto& t : cases) EXPECT_EQ(TrayOrderAfterAdding(t.shown, t.added, t.target), t.order) << t.what;
}

TEST(TrayRulesTest, AGroupUploadTakesThePhotosThatFitFromTheFront) {
  std::vector<int> storage(30);
  std::vector<int*> thirty;
  for (int& n : storage) thirty.push_back(&n);
  const std::vector<int*> twenty = TrayGroupItems(thirty, 20);
  ASSERT_EQ(twenty.size(), 20u);
  EXPECT_EQ(twenty.front(), thirty.front());
  EXPECT_EQ(twenty.back(), thirty[19]);
  EXPECT_TRUE(TrayGroupItems(thirty, 0).empty());
  EXPECT_TRUE(TrayGroupItems(thirty, -3).empty());
  EXPECT_EQ(TrayGroupItems(thirty, 40).size(), 30u);
}

TEST(TrayRulesTest, ModesCaptionsAndHandOverValues) {
  EXPECT_EQ(TrayButtonCaption(0, true), "プルモラに追加");
  EXPECT_EQ(TrayButtonCaption(0, false), "プルモラの作成");
  EXPECT_EQ(TrayButtonCaption(1, false), "ジャケットを変更");
  EXPECT_EQ(TrayButtonCaption(2, true), "レーベルを変更");
  EXPECT_EQ(TrayButtonCaption(3, true), "アイコンを変更");
  EXPECT_EQ(TrayEmptyHint(1), "ジャケットにする写真をここへドラッグ＆ドロップしてください。");
  EXPECT_EQ(TrayCountText(7), "トレイの写真 7枚");
  EXPECT_EQ(TrayRestText(20), "追加可能： 20枚");
  EXPECT_EQ(TrayLoginMessage(false), "プルモラを作成するためにはプルモラ.netにログインしている必要があります。");
  EXPECT_EQ(TrayLoginMessage(true), "プルモラに写真を追加するためにはプルモラ.netにログインしている必要があります。");
  for (int mode : {0, 1, 2, 3}) EXPECT_EQ(TrayEditMode(mode), mode);
  for (int mode : {-1, 4, 200}) EXPECT_EQ(TrayEditMode(mode), 4);
  for (int type : {1, 2, 3, 4}) EXPECT_EQ(TraySourceType(type), type);
  for (int type : {0, -2, 5, 99}) EXPECT_EQ(TraySourceType(type), 0);
}

TEST(TrayRulesTest, TheGaugeNeverDividesByZero) {
  EXPECT_DOUBLE_EQ(TrayGaugeShare(30, 70), 0.3);
  EXPECT_EQ(TrayGaugeText(30, 70), "30/100");
  EXPECT_DOUBLE_EQ(TrayGaugeShare(0, 0), 0.0);
  // Counts from a command can be negative; a sum of zero must not reach the division.
  EXPECT_DOUBLE_EQ(TrayGaugeShare(5, -5), 1.0);
  EXPECT_EQ(TrayGaugeText(5, -5), "5/5");
  EXPECT_DOUBLE_EQ(TrayGaugeShare(-5, 5), 0.0);
}

}  // namespace
}  // namespace plb::shell
