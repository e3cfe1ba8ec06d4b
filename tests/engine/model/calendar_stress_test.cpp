// Several threads date, undate, tag, untag and delete shared items while the calendar watcher,
// the album watcher and the catalog-update watcher deliver; afterwards the model must be
// consistent and every event must have arrived exactly once, in order per node.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "engine/model/album_list.h"
#include "engine/events/calendar_date_queue.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/events/folder_update_master.h"
#include "host/date_time.h"
#include "platform/named_event.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

constexpr int kItems = 300;
constexpr int kThreads = 4;
constexpr int kTags = 8;
constexpr auto kRunTime = std::chrono::milliseconds(2000);

double RandomDay(std::mt19937& random) {
  // A few days in each of two years, so that days, months and years fill and empty often.
  static const double kDays[] = {EncodeDate(2019, 1, 5),   EncodeDate(2019, 1, 6),  EncodeDate(2019, 2, 1),
                                 EncodeDate(2019, 12, 31), EncodeDate(2020, 2, 29), EncodeDate(2020, 7, 7)};
  return kDays[random() % std::size(kDays)] + (random() % 1000) / 1000.0;
}

void CheckCalendarNode(TCalendar* node, const std::map<TCustomFolder*, int>& expectedDays) {
  if (node->IsLeaf()) {
    auto it = expectedDays.find(node);
    const int expected = it == expectedDays.end() ? 0 : it->second;
    EXPECT_EQ(node->ItemCount(), expected) << node->GetFullName();
    EXPECT_EQ(node->IsActive(), expected > 0) << node->GetFullName();
    return;
  }
  std::vector<TCustomFolder*> children;
  node->GetChildFolders(children);
  bool anyActive = false;
  int activeChildren = 0;
  for (TCustomFolder* child : children) {
    auto* c = static_cast<TCalendar*>(child);
    CheckCalendarNode(c, expectedDays);
    anyActive = anyActive || c->IsActive();
    activeChildren += c->IsActive() ? 1 : 0;
  }
  EXPECT_EQ(node->IsActive(), anyActive) << node->GetFullName();
  EXPECT_EQ(node->ActiveChildCount(), activeChildren) << node->GetFullName();
}

void CollectNodes(TCalendar* node, std::vector<TCalendar*>& out) {
  out.push_back(node);
  std::vector<TCustomFolder*> children;
  node->GetChildFolders(children);
  for (TCustomFolder* child : children) CollectNodes(static_cast<TCalendar*>(child), out);
}

TEST(CalendarStressTest, ConcurrentDatingTaggingAndDeletingLeaveAConsistentModelAndLoseNoEvent) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);

  // Calendar events arrive on the calendar watcher.
  std::shared_ptr<TCalendarRoot> root = AcquireCalendarRoot();
  TFolderUpdateMaster calendarUpdates;
  std::mutex calendarLock;
  std::map<TCustomFolder*, std::vector<TFolderUpdatedType>> calendarEvents;
  int calendarOwner = 0;
  calendarUpdates.RegisterListener(&calendarOwner, "TFrameCalendarTree", "OnCalendarUpdated",
                                   [&](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) {
                                     std::lock_guard guard(calendarLock);
                                     calendarEvents[node].push_back(kind);
                                   });
  root->SetUpdateHandler(calendarUpdates.Handler());

  // Album events arrive on the UI thread.
  TAlbumList albums;
  TFolderUpdateMaster albumUpdates;
  std::map<TCustomFolder*, std::vector<TFolderUpdatedType>> albumEvents;
  std::atomic<int> offUiAlbumEvents{0};
  int albumOwner = 0;
  albumUpdates.RegisterListener(&albumOwner, "TFrameAlbumTree", "OnAlbumUpdated",
                                [&](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) {
                                  if (!ui.IsUiThread()) ++offUiAlbumEvents;
                                  albumEvents[node].push_back(kind);
                                });
  albums.SetAlbumUpdatedProc(albumUpdates.Handler());
  std::vector<TAlbum*> tags;
  for (int i = 0; i < kTags; ++i) {
    tags.push_back(albums.CreateAlbum(albums.Root(atTag), atTag, "", "tag" + std::to_string(i)));
  }

  InitializeCatalogUpdater();
  std::atomic<int> raised{0}, received{0};
  int gridOwner = 0;
  RegisterCatalogUpdateEvent(&gridOwner, "TFrameCatalogDG", true, "OnCatalogUpdated",
                             [&](TCatalogItem*, uint8_t) { ++received; });

  std::vector<std::unique_ptr<TCatalogItem>> items;
  for (int i = 0; i < kItems; ++i) {
    auto item = std::make_unique<TCatalogItem>();
    TCatalogItemBlock block = item->Block();
    block.kind = i % 10 == 0 ? 6 : 1;
    block.recordNumber = i;
    item->SetBlock(block);
    items.push_back(std::move(item));
  }

  std::atomic<bool> stop{false};
  std::mutex temporaryLock;
  std::vector<TAlbum*> temporaries;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      std::mt19937 random(1234u + static_cast<unsigned>(t));
      while (!stop) {
        // Fast enough to collide constantly, slow enough for the UI thread to keep up.
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        TCatalogItem* item = items[random() % kItems].get();
        TAlbum* tag = tags[random() % kTags];
        switch (random() % 100) {
          case 0:
            item->SetState(cisDeleted);
            break;
          case 1: {
            TAlbum* temporary = albums.CreateAlbum(albums.Root(atAlbum), atAlbum, "", "work" + std::to_string(t));
            temporary->AddItem(item, 0);
            temporary->Delete();
            std::lock_guard guard(temporaryLock);
            temporaries.push_back(temporary);
            break;
          }
          default:
            switch (random() % 5) {
              case 0:
                item->SetShootingDate(RandomDay(random));
                break;
              case 1:
                item->SetDateKnown(random() % 4 != 0);
                break;
              case 2:
                tag->AddItem(item, t);
                ++raised;
                RaiseCatalogUpdateEvent(item, cukTagsChanged);
                break;
              case 3:
                tag->RemoveItem(item);
                ++raised;
                RaiseCatalogUpdateEvent(item, cukTagsChanged);
                break;
              default: {
                std::vector<TCatalogItem*> listed;
                tag->GetItems(listed);
                root->LeafFor(false, RandomDay(random))->ItemCount();
              }
            }
        }
      }
    });
  }
  const auto end = std::chrono::steady_clock::now() + kRunTime;
  while (std::chrono::steady_clock::now() < end) ui.PumpFor(10);
  stop = true;
  for (auto& w : workers) w.join();

  // Let every watcher catch up: the calendar clears its event a cycle after the last change.
  std::shared_ptr<platform::NamedEvent> changing = platform::OpenNamedEvent(kExifDateChangingEventName);
  for (int i = 0; i < 500 && (changing->IsSet() || received < raised); ++i) ui.PumpFor(10);
  for (int quiet = 0; quiet < 3;) quiet = ui.PumpFor(150) == 0 ? quiet + 1 : 0;
  ASSERT_FALSE(changing->IsSet());

  // Every dated, living item is on the day of its date, and nothing else is anywhere.
  std::map<TCustomFolder*, int> expectedDays;
  for (const auto& item : items) {
    const bool placed = item->State() != cisDeleted && item->DateKnown() && item->ShootingDate() > 0;
    if (!placed) {
      EXPECT_EQ(item->CalendarDay(), nullptr);
      continue;
    }
    TCalendar* day = root->LeafFor(false, item->ShootingDate());
    ASSERT_TRUE(day->IsLeaf());
    EXPECT_EQ(item->CalendarDay(), day);
    EXPECT_NE(day->FindEntry(item.get()), nullptr);
    ++expectedDays[day];
  }
  CheckCalendarNode(root.get(), expectedDays);

  // Each node was announced once, and its activity events alternate and end in its state.
  std::vector<TCalendar*> nodes;
  CollectNodes(root.get(), nodes);
  {
    std::lock_guard guard(calendarLock);
    for (TCalendar* node : nodes) {
      const std::vector<TFolderUpdatedType>& kinds = calendarEvents[node];
      int created = 0;
      bool active = false;
      for (TFolderUpdatedType kind : kinds) {
        if (kind == futCreated) ++created;
        if (kind == futActived) {
          EXPECT_FALSE(active) << node->GetFullName() << " activated twice";
          active = true;
        }
        if (kind == futDeActived) {
          EXPECT_TRUE(active) << node->GetFullName() << " deactivated while inactive";
          active = false;
        }
      }
      EXPECT_EQ(created, node == root.get() ? 0 : 1) << node->GetFullName();
      EXPECT_EQ(active, node->IsActive()) << node->GetFullName() << ": an activity event was lost";
    }
  }

  // Tags and album entries agree once the albums dropped their deleted items (as listing does).
  std::vector<TAlbum*> all = tags;
  for (TAlbum* album : all) album->Purge();
  for (const auto& item : items) {
    std::set<TCustomFolder*> holders;
    for (TAlbum* album : all) {
      if (album->FindEntry(item.get())) holders.insert(album);
    }
    const std::vector<TCustomFolder*> tagList = item->Tags();
    EXPECT_EQ(std::set<TCustomFolder*>(tagList.begin(), tagList.end()), holders);
    EXPECT_EQ(tagList.size(), holders.size()) << "a tag listed twice";
    if (item->State() == cisDeleted) {
      EXPECT_TRUE(tagList.empty());
    }
  }

  // Every temporary album was created and deleted, in that order, on the UI thread.
  EXPECT_EQ(offUiAlbumEvents, 0);
  EXPECT_FALSE(temporaries.empty());
  for (TAlbum* temporary : temporaries) {
    EXPECT_EQ(albumEvents[temporary], (std::vector<TFolderUpdatedType>{futCreated, futDeleted}));
  }
  EXPECT_EQ(received.load(), raised.load());

  UnRegisterCatalogUpdateEvent(&gridOwner, "OnCatalogUpdated");
  FinalizeCatalogUpdater();
  root.reset();
}

}  // namespace
}  // namespace plb
