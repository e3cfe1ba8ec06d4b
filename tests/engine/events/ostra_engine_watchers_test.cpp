#include <gtest/gtest.h>

#include <thread>

#include "engine/model/album_list.h"
#include "engine/events/calendar_date_queue.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/events/folder_update_master.h"
#include "engine/model/history_list.h"
#include "engine/ostra_engine.h"
#include "engine/workers/thread_master.h"
#include "host/date_time.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

TEST(OstraEngineWatchersTest, TheEngineStartsAndStopsItsModelAndWatchersInOrder) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  TOstraEngine engine;
  engine.Start();
  ASSERT_NE(engine.Albums(), nullptr);
  ASSERT_NE(engine.Calendar(), nullptr);
  ASSERT_NE(engine.History(), nullptr);
  EXPECT_EQ(engine.History()->Capacity(), 50);
  EXPECT_EQ(engine.Albums()->Root(atTray)->GetName(), "トレイ");
  engine.StartWatchers();
  ASSERT_NE(engine.ThreadMaster(), nullptr);
  EXPECT_TRUE(CatalogUpdaterRunning());

  // Album events reach the album listeners on the UI thread; calendar events reach the calendar
  // listeners on the calendar watcher.
  std::vector<TFolderUpdatedType> albumKinds, calendarKinds;
  std::mutex lock;
  int owner = 0;
  engine.AlbumUpdates()->RegisterListener(&owner, "TFrameAlbumTree", "OnUpdate",
                                          [&](TCustomFolder*, TFolderUpdatedType kind, TFolderEventParam) {
                                            EXPECT_TRUE(ui.IsUiThread());
                                            albumKinds.push_back(kind);
                                          });
  engine.CalendarUpdates()->RegisterListener(&owner, "TFrameCalendarTree", "OnUpdate",
                                             [&](TCustomFolder*, TFolderUpdatedType kind, TFolderEventParam) {
                                               std::lock_guard guard(lock);
                                               calendarKinds.push_back(kind);
                                             });
  TCatalogItem item;
  TCatalogItemBlock block = item.Block();
  block.kind = 1;
  block.shootingDate = EncodeDate(2015, 8, 1);
  item.SetBlock(block);
  std::thread([&] {
    CreateNewTrayAlbum(*engine.Albums());
    item.SetDateKnown(true);
  }).join();
  for (int i = 0; i < 300; ++i) {
    ui.PumpFor(10);
    std::lock_guard guard(lock);
    if (albumKinds.size() >= 2 && calendarKinds.size() >= 7) break;
  }
  EXPECT_EQ(albumKinds, (std::vector<TFolderUpdatedType>{futCreated, futCaptionChanged}));
  {
    std::lock_guard guard(lock);
    EXPECT_EQ(calendarKinds.size(), 7u) << "year, month, day created; root, year, month, day active";
  }
  EXPECT_NE(item.CalendarDay(), nullptr);

  engine.Stop();
  EXPECT_FALSE(CatalogUpdaterRunning());
  EXPECT_EQ(CurrentCalendarMaster(), nullptr);
  EXPECT_EQ(engine.Albums(), nullptr);
  EXPECT_EQ(engine.Calendar(), nullptr);
}

}  // namespace
}  // namespace plb
