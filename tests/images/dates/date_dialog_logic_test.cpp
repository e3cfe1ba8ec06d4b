// The date dialogs' decisions, drops on the calendar, the progress dialog around a real changer,
// and the EXIF date loader thread with a pumped UI thread.
#include "images/dates/date_dialog_logic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "images/exif_builder.h"
#include "host/date_time.h"
#include "images/dates/exif_date_loader.h"
#include "images/exif/exif_text.h"
#include "platform/ui_dispatcher.h"
#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDateTime({y, mo, d, h, mi, s, 0});
}

TEST(EditExifDateForm, ChecksEnablesAndComposesTheTarget) {
  TEditExifDateFormSimple one(kChangeDateAndTime, At(2008, 1, 31, 14, 35, 10));
  EXPECT_TRUE(one.DateChecked());
  EXPECT_TRUE(one.TimeChecked());
  TEditExifDateFormSimple several(kChangeDate, At(2008, 1, 31, 14, 35, 10));
  EXPECT_TRUE(several.DateChecked());
  EXPECT_FALSE(several.TimeChecked());
  EXPECT_FALSE(several.TimePickerEnabled());
  EXPECT_EQ(several.Flags(), kChangeDate);
  several.SetDateChecked(false);
  EXPECT_FALSE(several.OkEnabled());
  EXPECT_FALSE(several.DatePickerEnabled());
  several.SetTimeChecked(true);
  EXPECT_EQ(several.Flags(), kChangeTime);
  several.SetPickedDate(At(2010, 5, 6, 23, 59, 59));
  several.SetPickedTime(At(1999, 1, 1, 7, 8, 9));
  EXPECT_EQ(FormatExifDateTime(several.Target()), "2010:05:06 07:08:09");
}

TEST(CalendarDrop, FlagsAndTargetsByNode) {
  const TDateTime first = At(2008, 1, 31, 14, 35, 10);
  struct Case {
    TDateDrop drop;
    uint8_t flags;
    const char* target;
  } cases[] = {
      {DropOnCalendarNode(TCalendarNodeKind::kDay, 2009, 3, 4, first), kChangeDate, "2009:03:04 14:35:10"},
      {DropOnCalendarNode(TCalendarNodeKind::kMonth, 2009, 2, 0, first), kChangeYearAndMonth, "2009:02:28 14:35:10"},
      {DropOnCalendarNode(TCalendarNodeKind::kYear, 2012, 0, 0, first), kChangeYear, "2012:01:31 14:35:10"},
      {DropOnCalendarDayCell(At(2011, 11, 11), first), kChangeDate, "2011:11:11 14:35:10"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.drop.flags, c.flags) << c.target;
    EXPECT_EQ(FormatExifDateTime(c.drop.target), c.target);
  }
}

class RecordingView : public IExifDateChangeView {
 public:
  void SetBar(int position, int) override { bars.push_back(position); }
  void HideForm() override { hidden = true; }
  void ErrorBeep() override { ++beeps; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::vector<int> bars;
  bool hidden = false;
  int beeps = 0;
  std::vector<std::string> errors;
};

class ScannedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    vol_ = test::TestRoot() + "/vol";
    dir_ = vol_ + "/photos";
    fs::create_directories(dir_);
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
  }
  void Write(const std::string& name, const test::Bytes& bytes) {
    std::ofstream(dir_ + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  test::Bytes DatedJpeg() {
    test::TiffBuilder tiff(false);
    tiff.ifd0 = {tiff.Short(0x0112, 1)};
    tiff.exif = {tiff.Ascii(0x9003, "2008:01:31 14:35:10")};
    return test::Jpeg({test::ExifSegment(tiff.Build())}, 64, 48);
  }
  TCatalogItem* Item(const std::string& name) {
    TFolder* folder = trees_.FolderOf(dir_);
    folder->SearchFilesEx(nullptr);
    return folder->FindItem(name);
  }

  platform::PumpedUiDispatcher ui_;
  platform::ScopedUiDispatcher scopedUi_{ui_};
  std::string vol_, dir_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  TFolderTreeListEyeFi trees_;
};

TEST_F(ScannedFolder, ProgressDialogRunsTheChangerAndReportsFailures) {
  Write("a.jpg", DatedJpeg());
  Write("b.jpg", DatedJpeg());
  TCatalogItem* a = Item("a.jpg");
  TCatalogItem* b = Item("b.jpg");
  ASSERT_TRUE(a && b);
  a->SetShootingDate(At(2008, 1, 31, 14, 35, 10));
  b->SetShootingDate(At(2008, 1, 31, 14, 35, 10));
  fs::remove(dir_ + "/b.jpg");
  RecordingView view;
  EXPECT_TRUE(ChangeShootingDates(view, {a, b}, kChangeDate, At(2009, 2, 10)));
  EXPECT_TRUE(view.hidden);
  EXPECT_EQ(view.bars.front(), 0);
  EXPECT_EQ(view.bars.back(), 100);
  EXPECT_TRUE(std::is_sorted(view.bars.begin(), view.bars.end())) << "the bar only moves forward";
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(view.errors, std::vector<std::string>{"1枚の写真は撮影日時の変更に失敗しました。"});
  EXPECT_EQ(FormatExifDateTime(a->ShootingDate()), "2009:02:10 14:35:10");

  RecordingView quiet;
  EXPECT_FALSE(ChangeShootingDates(quiet, {}, kChangeDate, At(2009, 2, 10)));
  EXPECT_FALSE(ChangeShootingDates(quiet, {a}, 0, At(2009, 2, 10)));
  EXPECT_TRUE(quiet.bars.empty());

  TExifdateChangeFormEx form(quiet, {a}, At(2011, 1, 1), kChangeYear);
  form.Cancel();
  EXPECT_EQ(form.WaitModal(), TExifdateChangeFormEx::kResultCancel);
  EXPECT_EQ(DecodeDateTime(a->ShootingDate()).year, 2009) << "cancelled before the first photo";
}

TEST_F(ScannedFolder, LoaderFillsUnreadItemsAndReportsOnlyFinishedPasses) {
  Write("dated.jpg", DatedJpeg());
  TCatalogItem* item = Item("dated.jpg");
  ASSERT_NE(item, nullptr);
  ASSERT_EQ(item->ExifState(), 0);
  TExifDateLoaderEx loader;
  EXPECT_TRUE(loader.EventName().starts_with("ExifDateLoaderEvent_"));
  std::vector<bool> calls;
  loader.SetOnComplete([&](TExifDateLoaderEx* sender, bool changed) {
    EXPECT_EQ(sender, &loader);
    EXPECT_TRUE(ui_.IsUiThread());
    calls.push_back(changed);
  });
  ASSERT_TRUE(loader.Start());
  const std::vector<TCatalogItem*> items = {item};
  loader.SetItems(&items);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (calls.empty() && std::chrono::steady_clock::now() < deadline) {
    ui_.ProcessPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(calls, std::vector<bool>{true});
  EXPECT_EQ(item->ExifState(), 1);
  EXPECT_EQ(FormatExifDateTime(item->ShootingDate()), "2008:01:31 14:35:10");

  // A second pass over the same, now complete, item changes nothing.
  loader.SetItems(&items);
  while (calls.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    ui_.ProcessPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(calls, (std::vector<bool>{true, false}));
  loader.Stop();

  try {
    loader.GetNextItems(nullptr);
    FAIL();
  } catch (const EExifDateLoaderError& e) {
    EXPECT_EQ(std::string(e.what()), "EExifDateLoaderError Raised in TExifDateLoaderEx.GetNextItems. ( CItems = nil )");
  }
}

TEST_F(ScannedFolder, ANewerListAbandonsTheOldPassWithoutACallback) {
  Write("dated.jpg", DatedJpeg());
  TCatalogItem* item = Item("dated.jpg");
  TExifDateLoaderEx loader;  // not started: the pass is driven by hand
  std::vector<TCatalogItem*> first = {item, item, item};
  loader.SetItems(&first);
  std::vector<TCatalogItem*> taken;
  loader.GetNextItems(&taken);
  EXPECT_EQ(taken.size(), 3u);
  std::vector<TCatalogItem*> again;
  loader.GetNextItems(&again);
  EXPECT_TRUE(again.empty()) << "the pending list was handed over";
  loader.SetItems(nullptr);
  loader.GetNextItems(&again);
  EXPECT_TRUE(again.empty());

  // Running: a list that keeps being replaced never completes a pass for an older one.
  std::atomic<int> callbacks{0};
  loader.SetOnComplete([&](TExifDateLoaderEx*, bool) { ++callbacks; });
  ASSERT_TRUE(loader.Start());
  std::vector<TCatalogItem*> many(2000, item);
  loader.SetItems(&many);
  loader.SetItems(nullptr);  // drops the pending work before or while it runs
  for (int i = 0; i < 40; ++i) {
    ui_.ProcessPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  loader.Stop();
  EXPECT_LE(callbacks.load(), 1) << "at most the one pass that was not overtaken";
}

}  // namespace
}  // namespace plb
