// The background updater with the images layer's own readers: real photos enter the calendar
// under their EXIF shooting day, files without picture information (movies, a JPEG without
// EXIF) under the day of their last write, and a file whose header cannot be read stays out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "engine/model/calendar.h"
#include "engine/events/calendar_date_queue.h"
#include "engine/model/file_kinds.h"
#include "engine/workers/folder_updater.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/date_time.h"
#include "images/codec/image_load.h"
#include "platform/named_event.h"
#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void SetModified(const std::string& path, int64_t unixTime) {
  const struct timespec times[2] = {{unixTime, 0}, {unixTime, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(FileUpdaterDates, ShootingDaysComeFromExifOrTheFileDate) {
  const std::string vol = test::TestRoot() + "/vol";
  const std::string photos = vol + "/photos";
  fs::create_directories(photos);
  platform::FakeVolumeSource volumes;
  volumes.Mount({platform::kDriveFixed, 1, "Data", vol});
  platform::ScopedVolumeSource scoped(volumes);
  SetMovieExtensions(".avi");
  InstallCatalogImageReader();

  const std::string samples = test::TestDataDir() + "/exif-samples/jpg/";
  fs::copy_file(samples + "Canon_40D.jpg", photos + "/canon.jpg");
  fs::copy_file(samples + "Nikon_D70.jpg", photos + "/nikon.JPG");
  std::ofstream(photos + "/clip.avi", std::ios::binary) << "RIFF....AVI LIST";
  std::ofstream(photos + "/broken.jpg", std::ios::binary) << "\xFF\xD8\xFF\xE1\xFF\xFF";
  // 2011-02-03 12:00 UTC: the file-date cases.
  for (const char* name : {"clip.avi", "broken.jpg"}) SetModified(photos + "/" + name, 1296734400);

  TFolderTreeListEyeFi trees;
  TFolder* folder = trees.FolderOf(photos);
  ASSERT_NE(folder, nullptr);
  folder->SetCalendarMode(1);
  std::shared_ptr<TCalendarRoot> calendar = AcquireCalendarRoot();
  {
    TFileUpdaterEx updater(trees);
    ASSERT_TRUE(updater.Start());
    const auto limit = std::chrono::steady_clock::now() + 20s;
    while (updater.PassesEnded() < 1 && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(updater.PassesCompleted(), 1u);
    updater.Stop();
  }
  auto changing = platform::OpenNamedEvent(kExifDateChangingEventName);
  while (changing->IsSet()) std::this_thread::sleep_for(10ms);

  const struct {
    const char* name;
    const char* day;  // empty: not in the calendar
  } cases[] = {
      {"canon.jpg", "2008-05-30"},
      {"nikon.JPG", "2008-03-15"},
      {"clip.avi", "2011-02-03"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCatalogItem* item = folder->FindItem(c.name);
    ASSERT_NE(item, nullptr);
    auto* day = static_cast<TCalendar*>(item->CalendarDay());
    ASSERT_NE(day, nullptr);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", day->Date()), c.day);
  }
  // A header that cannot be read either raised (the item stays out, retried next pass) or gave
  // nothing (the file's day); it never takes a day it does not have.
  TCatalogItem* broken = folder->FindItem("broken.jpg");
  ASSERT_NE(broken, nullptr);
  if (auto* day = static_cast<TCalendar*>(broken->CalendarDay())) {
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", day->Date()), "2011-02-03");
  }
  calendar.reset();
  SetImageHeaderReader(nullptr);
  SetMovieExtensions("");
}

}  // namespace
}  // namespace plb
