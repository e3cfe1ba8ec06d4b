// The catalog's data files: what a save writes, what a load gives back, the ".bak" copies, damaged
// files kept aside, hint record versions, and a save that fails part-way.
#include "engine/store/engine_data_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/flash_hints.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/store/engine_data_recovery.h"
#include "engine/store/thumbnail_cache_interface.h"
#include "host/date_time.h"
#include "host/engine_error.h"
#include "platform/atomic_file.h"
#include "platform/record_stream.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Records what the engine hands the thumbnail cache.
class FakeCache : public IImageCache {
 public:
  void Open(int, const std::string&, int64_t) override {}
  void Load(const std::vector<TCatalogItem*>& items) override { loaded = items; }
  void Flush(const std::vector<TCatalogItem*>& items) override { flushed = items; }
  std::vector<TCatalogItem*> loaded, flushed;
};

// One engine's worth of model, saved to and loaded from the data folder.
struct Model {
  TFolderTreeListEyeFi folders;
  TAlbumList albums;
  TCalendarRoot calendar;
  THistoryList history{kEngineHistoryCapacity};
  TFlashHintItems hints;
  FakeCache cache;

  TEngineDataParts Parts(const std::string& folder) {
    TEngineDataParts parts;
    parts.folder = folder;
    parts.folders = &folders;
    parts.albums = &albums;
    parts.calendar = &calendar;
    parts.history = &history;
    parts.cache = &cache;
    parts.hints = &hints;
    return parts;
  }

  TCatalogItem* AddPhoto(const std::string& folder, const std::string& name, int year, int month, int day) {
    TCatalogItem* item = folders.FolderOf(folder)->FindOrCreateItem(name);
    TCatalogItemBlock block = item->Block();
    block.kind = 1;
    block.shootingDate = EncodeDate(year, month, day);
    block.dateKnown = 1;
    item->SetBlock(block);
    return item;
  }

  TCatalogItem* Find(const std::string& path) {
    TFolder* folder = folders.FindFolderOf(fs::path(path).parent_path().string());
    return folder ? folder->FindItem(fs::path(path).filename().string()) : nullptr;
  }

  std::vector<std::string> TagPaths(const std::string& tag) {
    std::vector<std::string> paths;
    TAlbum* album = albums.GetAlbumFromPathEx(atTag, tag, false);
    if (!album) return paths;
    std::vector<TCatalogItem*> items;
    album->GetItems(items);
    for (TCatalogItem* item : items) paths.push_back(item->FullPath());
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  int DayCount(int year, int month, int day) {
    TCalendar* leaf = calendar.LeafFor(false, EncodeDate(year, month, day));
    return leaf && leaf->IsLeaf() ? leaf->TotalItemCount() : 0;
  }
};

class EngineDataFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = test::TestRoot() + "/data";
    photos_ = test::TestRoot() + "/photos";
    fs::create_directories(data_);
    fs::create_directories(photos_ + "/2020/summer");
  }

  // A small catalog: three photos, a nested folder, a tag, history, a pinned day and a hint.
  void Fill(Model& m) {
    TCatalogItem* a = m.AddPhoto(photos_ + "/2020", "a.jpg", 2020, 7, 1);
    TCatalogItem* b = m.AddPhoto(photos_ + "/2020/summer", "b.jpg", 2020, 7, 1);
    m.AddPhoto(photos_ + "/2020/summer", "c.jpg", 2020, 8, 15);
    m.folders.FolderOf(photos_ + "/2020")->SetCalendarMode(1);
    TAlbum* tag = m.albums.GetAlbumFromPathEx(atTag, "family", true);
    tag->AddItem(a, 0);
    tag->AddItem(b, 0);
    m.calendar.AddItems({a, b});
    TCalendar* day = m.calendar.LeafFor(false, EncodeDate(2020, 7, 1));
    day->SetPinned(true);
    m.history.Push(m.folders.FolderOf(photos_ + "/2020"));
    m.history.Push(tag);
    TFlashHintValues hint;
    hint.Id = 7;
    hint.Name = "drag";
    hint.Values[2] = 42;
    hint.FirstShown = 45000.5;
    m.hints.Add(hint);
  }

  void Save(Model& m) { TEngineDataFiles(m.Parts(data_)).SaveAll(); }

  std::string data_, photos_;
};

TEST_F(EngineDataFiles, ARoundTripGivesBackTheCatalogAndRebuildsTheCalendar) {
  {
    Model m;
    Fill(m);
    Save(m);
  }
  Model m;
  TEngineDataFiles(m.Parts(data_)).LoadAll();
  ASSERT_NE(m.Find(photos_ + "/2020/summer/c.jpg"), nullptr);
  EXPECT_EQ(m.folders.TotalItems(), 3);
  EXPECT_EQ(m.folders.FindFolderOf(photos_ + "/2020")->GetCalendarMode(), 1);
  EXPECT_EQ(m.TagPaths("family"), (std::vector<std::string>{photos_ + "/2020/a.jpg", photos_ + "/2020/summer/b.jpg"}));
  EXPECT_EQ(m.DayCount(2020, 7, 1), 2);
  EXPECT_EQ(m.DayCount(2020, 8, 15), 1);
  EXPECT_TRUE(m.calendar.LeafFor(false, EncodeDate(2020, 7, 1))->Pinned());
  EXPECT_FALSE(m.calendar.LeafFor(false, EncodeDate(2020, 8, 15))->Pinned());
  ASSERT_EQ(m.history.Count(), 2);
  EXPECT_EQ(m.history.NodeAt(0), m.folders.FindFolderOf(photos_ + "/2020"));
  EXPECT_EQ(m.history.NodeAt(1), m.albums.GetAlbumFromPathEx(atTag, "family", false));
  ASSERT_EQ(m.hints.Count(), 1);
  EXPECT_EQ(m.hints.At(0)->Values().Values[2], 42);
  EXPECT_EQ(m.hints.At(0)->Values().FirstShown, 45000.5);
  EXPECT_EQ(m.hints.At(0)->Values().Color, kHintDefaultColor);
  // The cache resolves its records against the items by record number.
  ASSERT_EQ(m.cache.loaded.size(), 3u);
  for (size_t n = 0; n < 3; ++n) EXPECT_EQ(m.cache.loaded[n]->RecordNumber(), static_cast<int32_t>(n));
}

TEST_F(EngineDataFiles, HeadersCountTheItemsAndEachSaveKeepsThePreviousFileAsBak) {
  Model m;
  Fill(m);
  const std::string files[] = {"OstraData", "OstraGroup", "OstraHistory"};
  Save(m);
  for (const std::string& f : files) {
    EXPECT_TRUE(fs::exists(data_ + "/" + f + ".qdb")) << f;
    EXPECT_FALSE(fs::exists(data_ + "/" + f + ".bak")) << f << ": no .bak after the first save";
  }
  EXPECT_TRUE(fs::exists(data_ + "/HintData.idx"));
  const std::string first = ReadAll(data_ + "/OstraData.qdb");
  ASSERT_GE(first.size(), kDataFileHeaderSize);
  EXPECT_EQ(first.substr(0, 8), std::string("OSTRADF\0", 8));
  RecordReader header(first);
  header.Skip(8);
  EXPECT_EQ(header.U32(), kDataFileVersion);
  EXPECT_EQ(header.U32(), 3u) << "the tree file counts its item records";
  const std::string albumFile = ReadAll(data_ + "/OstraGroup.qdb");
  RecordReader albumHeader(albumFile);
  albumHeader.Skip(12);
  EXPECT_EQ(albumHeader.U32(), 0u);

  m.AddPhoto(photos_ + "/2020", "d.jpg", 2021, 1, 1);
  Save(m);
  for (const std::string& f : files) EXPECT_TRUE(fs::exists(data_ + "/" + f + ".bak")) << f;
  EXPECT_EQ(ReadAll(data_ + "/OstraData.bak"), first);
  const std::string second = ReadAll(data_ + "/OstraData.qdb");
  Save(m);
  EXPECT_EQ(ReadAll(data_ + "/OstraData.bak"), second) << "the third save replaces the .bak";
  EXPECT_FALSE(fs::exists(data_ + "/HintData.bak"));
  for (const auto& entry : fs::directory_iterator(data_)) {
    EXPECT_EQ(entry.path().string().find(kStagedSuffix), std::string::npos) << entry.path();
  }
}

// Where a file is spoilt: its last bytes cut off, or one byte changed at a position.
constexpr size_t kCutShort = std::string::npos;
constexpr size_t kTreeBlockMarkerAt = kDataFileHeaderSize;

struct Damage {
  const char* file;
  size_t at;
  const char* label;
  const char* text;
  bool treesRead;
  bool albumsRead;  // the tag, saved first, came back
};

TEST_F(EngineDataFiles, ADamagedFileIsKeptAsideAndTheEngineGoesOnWithWhatItRead) {
  const Damage cases[] = {
      {"OstraData.qdb", 0, "OstraFolders", "データファイルのマーカが異常です。", false, false},
      {"OstraData.qdb", kTreeBlockMarkerAt, "OstraFolders", "フォルダツリーのマーカが異常です。", false, false},
      {"OstraData.qdb", kCutShort, "OstraFolders", "", false, false},
      {"OstraGroup.qdb", 0, "OstraAlbums", "OstraAlbums:データファイルのマーカが異常です。", true, false},
      {"OstraGroup.qdb", kCutShort, "OstraAlbums", "", true, true},  // the albums before the cut
      {"OstraHistory.qdb", 0, "OstraHistorys", "OstraHistorys:データファイルのマーカが異常です。", true, true},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.at == kCutShort ? " cut short" : " at " + std::to_string(c.at)));
    fs::remove_all(data_);
    fs::create_directories(data_);
    {
      Model m;
      Fill(m);
      Save(m);
      Save(m);  // a .bak to keep
    }
    const std::string path = data_ + "/" + c.file;
    const std::string good = ReadAll(path);
    std::string bad = good;
    if (c.at == kCutShort) {
      bad.resize(bad.size() - 9);
    } else {
      bad[c.at] = 'X';
    }
    WriteAll(path, bad);

    const std::string bak = TEngineDataFiles::BackupName(path);
    const std::string goodBak = ReadAll(bak);
    {
      // A run that only reads meets the damage first; the copies it makes are not made twice.
      Model reader;
      EXPECT_THROW(TEngineDataFiles(reader.Parts(data_)).LoadAll(), EOstraEngineLoadDataError);
    }
    Model m;
    TEngineDataFiles files(m.Parts(data_));
    try {
      files.LoadAll();
      ADD_FAILURE() << "no load error";
    } catch (const EOstraEngineLoadDataError& e) {
      const std::string message = e.Message();
      EXPECT_EQ(message.rfind("OstraEngine のデータの読込に失敗しました。", 0), 0u) << message;
      EXPECT_NE(message.find(std::string(c.label) + " のデータの読込に失敗しました。"), std::string::npos) << message;
      EXPECT_NE(message.find(c.text), std::string::npos) << message;
    }
    EXPECT_EQ(m.folders.TotalItems() > 0, c.treesRead);
    EXPECT_EQ(!m.TagPaths("family").empty(), c.albumsRead);
    if (c.treesRead) {
      EXPECT_EQ(m.DayCount(2020, 7, 1), 2) << "the calendar fills whatever the albums did";
    }
    EXPECT_EQ(m.hints.Count(), 1) << "hints are read whatever else failed";

    std::vector<std::string> damaged, kept;
    for (const auto& entry : fs::directory_iterator(data_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(std::string(c.file) + kDamagedInfix, 0) == 0) damaged.push_back(name);
      if (name.rfind(fs::path(bak).filename().string() + kKeptInfix, 0) == 0) kept.push_back(name);
    }
    ASSERT_EQ(damaged.size(), 1u);
    EXPECT_EQ(ReadAll(data_ + "/" + damaged[0]), bad);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadAll(data_ + "/" + kept[0]), goodBak);

    // The saves of the run never rotate the damaged file's last good .bak away.
    files.SaveAll();
    files.SaveAll();
    EXPECT_EQ(ReadAll(bak), goodBak);
  }
}

TEST_F(EngineDataFiles, AnAlbumFileThatCannotBeWrittenKeepsTheTreeFileItBelongsTo) {
  Model m;
  Fill(m);
  Save(m);
  const std::string tree = ReadAll(data_ + "/OstraData.qdb");
  const std::string albums = ReadAll(data_ + "/OstraGroup.qdb");
  m.AddPhoto(photos_ + "/2020", "0-first.jpg", 2022, 2, 2);  // shifts every record number
  m.history.Push(m.folders.FolderOf(photos_ + "/2020/summer"));
  fs::create_directories(data_ + "/OstraGroup.qdb.new");  // the staged album file cannot be made
  try {
    Save(m);
    ADD_FAILURE() << "no save error";
  } catch (const EOstraEngineError& e) {
    EXPECT_NE(e.Message().find("OstraAlbums のデータの保存に失敗しました。"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(ReadAll(data_ + "/OstraData.qdb"), tree) << "old albums must not meet new record numbers";
  EXPECT_EQ(ReadAll(data_ + "/OstraGroup.qdb"), albums);
  fs::remove_all(data_ + "/OstraGroup.qdb.new");

  Model again;
  TEngineDataFiles(again.Parts(data_)).LoadAll();
  EXPECT_EQ(again.TagPaths("family"),
            (std::vector<std::string>{photos_ + "/2020/a.jpg", photos_ + "/2020/summer/b.jpg"}));
  EXPECT_EQ(again.history.Count(), 3) << "the history does not depend on record numbers and was saved";
}

// Makes one step of the atomic writers fail for one data file, until the end of the scope.
class InjectedFault {
 public:
  InjectedFault(AtomicWriteStep step, std::string file, int error) {
    SetAtomicWriteFaultForTesting([=](AtomicWriteStep at, const std::string& path) {
      return at == step && fs::path(path).filename() == file ? error : 0;
    });
  }
  InjectedFault(const InjectedFault&) = delete;
  InjectedFault& operator=(const InjectedFault&) = delete;
  ~InjectedFault() { SetAtomicWriteFaultForTesting(nullptr); }
};

struct SaveFault {
  const char* name;
  AtomicWriteStep step;
  const char* file;
  int error;
  bool replaced;  // the renames had gone through: the new catalog is the one on disk
};

TEST_F(EngineDataFiles, TheTreeAndAlbumFilesLandTogetherOrNotAtAllWhateverStepFails) {
  const SaveFault cases[] = {
      {"the tree file's folder flush", AtomicWriteStep::kSyncFolder, "OstraData.qdb", EIO, true},
      {"the album file's folder flush", AtomicWriteStep::kSyncFolder, "OstraGroup.qdb", EIO, true},
      {"the tree file's rename", AtomicWriteStep::kRename, "OstraData.qdb", EACCES, false},
      {"the album file's rename", AtomicWriteStep::kRename, "OstraGroup.qdb", EACCES, false},
      {"a full disk under the tree file", AtomicWriteStep::kWrite, "OstraData.qdb", ENOSPC, false},
      {"a full disk under the album file", AtomicWriteStep::kSyncFile, "OstraGroup.qdb", ENOSPC, false},
  };
  for (const SaveFault& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(data_);
    fs::create_directories(data_);
    Model m;
    Fill(m);
    Save(m);
    const std::string index = "the thumbnail index of the saved tree file";
    WriteAll(data_ + "/Cache.qdb", index);
    // A photo sorted first shifts every record number; the tag names it by its new one.
    m.AddPhoto(photos_ + "/2020", "0-first.jpg", 2022, 2, 2);
    m.albums.GetAlbumFromPathEx(atTag, "new", true)->AddItem(m.Find(photos_ + "/2020/0-first.jpg"), 0);
    {
      InjectedFault fault(c.step, c.file, c.error);
      EXPECT_THROW(Save(m), EOstraEngineError);
    }

    Model again;
    TEngineDataFiles(again.Parts(data_)).LoadAll();
    EXPECT_EQ(again.TagPaths("family"),
              (std::vector<std::string>{photos_ + "/2020/a.jpg", photos_ + "/2020/summer/b.jpg"}));
    EXPECT_EQ(again.TagPaths("new"),
              c.replaced ? std::vector<std::string>{photos_ + "/2020/0-first.jpg"} : std::vector<std::string>{});
    EXPECT_EQ(again.folders.TotalItems(), c.replaced ? 4 : 3);
    // The index stays exactly when the tree file it belongs to does.
    EXPECT_EQ(fs::exists(data_ + "/Cache.qdb"), !c.replaced);
    if (!c.replaced) {
      EXPECT_EQ(ReadAll(data_ + "/Cache.qdb"), index);
    }
    for (const auto& entry : fs::directory_iterator(data_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(kStagedSuffix), std::string::npos) << name;
      EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
    }
  }
}

struct Recovery {
  const char* name;
  std::function<void(const std::string& data)> spoil;
  const char* taken;     // the tree file's copy put in place; null: nothing changed
  const char* lastTag;   // the newest tag the catalog has afterwards
};

void SpoilTreeBlockMarker(const std::string& path) {
  std::string bytes = ReadAll(path);
  bytes[kTreeBlockMarkerAt] = 'X';
  WriteAll(path, bytes);
}

TEST_F(EngineDataFiles, RecoveryPutsBackTheNewestCopiesThatReadWholeAndKeepsTheLiveFilesAside) {
  const Recovery cases[] = {
      {"nothing spoilt", [](const std::string&) {}, nullptr, "third"},
      {"the tree block marker", [](const std::string& d) { SpoilTreeBlockMarker(d + "/OstraData.qdb"); },
       "OstraData.bak", "second"},
      {"the album file", [](const std::string& d) { WriteAll(d + "/OstraGroup.qdb", "OSTRADF"); }, "OstraData.bak",
       "second"},
      {"the tree file and later its .bak, after a load kept that aside",
       [](const std::string& d) {
         SpoilTreeBlockMarker(d + "/OstraData.qdb");
         Model reader;
         EXPECT_THROW(TEngineDataFiles(reader.Parts(d)).LoadAll(), EOstraEngineLoadDataError);
         SpoilTreeBlockMarker(d + "/OstraData.bak");
       },
       "OstraData.bak.kept-", "second"},
  };
  for (const Recovery& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(data_);
    fs::create_directories(data_);
    {
      Model m;
      Fill(m);
      Save(m);
      m.albums.GetAlbumFromPathEx(atTag, "second", true)->AddItem(m.Find(photos_ + "/2020/summer/c.jpg"), 0);
      Save(m);
      m.albums.GetAlbumFromPathEx(atTag, "third", true)->AddItem(m.Find(photos_ + "/2020/a.jpg"), 0);
      Save(m);
    }
    WriteAll(data_ + "/Cache.qdb", "index");
    c.spoil(data_);
    const std::string liveTree = ReadAll(data_ + "/OstraData.qdb");

    const TRecoveredCatalog result = RestoreNewestGoodCopy(data_);
    EXPECT_EQ(result.changed, c.taken != nullptr);
    if (c.taken) {
      EXPECT_EQ(fs::path(result.tree).filename().string().rfind(c.taken, 0), 0u) << result.tree;
      EXPECT_FALSE(fs::exists(data_ + "/Cache.qdb")) << "the index names records of another tree file";
      bool liveKept = false;
      for (const std::string& copy : result.keptAside) liveKept = liveKept || ReadAll(copy) == liveTree;
      EXPECT_TRUE(liveKept) << "the replaced tree file is kept aside";
    } else {
      EXPECT_EQ(ReadAll(data_ + "/OstraData.qdb"), liveTree);
      EXPECT_TRUE(fs::exists(data_ + "/Cache.qdb"));
    }
    Model again;
    TEngineDataFiles(again.Parts(data_)).LoadAll();
    EXPECT_EQ(again.TagPaths("family"),
              (std::vector<std::string>{photos_ + "/2020/a.jpg", photos_ + "/2020/summer/b.jpg"}));
    EXPECT_EQ(again.TagPaths("second"), std::vector<std::string>{photos_ + "/2020/summer/c.jpg"});
    EXPECT_EQ(again.TagPaths("third").empty(), std::string(c.lastTag) != "third");
    EXPECT_FALSE(fs::exists(data_ + "/.recovery-trial"));
  }

  // No copy reads whole: nothing is touched.
  SpoilTreeBlockMarker(data_ + "/OstraData.qdb");
  for (const auto& entry : fs::directory_iterator(data_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("OstraData", 0) == 0) SpoilTreeBlockMarker(entry.path().string());
  }
  const std::string spoilt = ReadAll(data_ + "/OstraData.qdb");
  EXPECT_THROW(RestoreNewestGoodCopy(data_), EOstraEngineError);
  EXPECT_EQ(ReadAll(data_ + "/OstraData.qdb"), spoilt);
}

TEST_F(EngineDataFiles, ASaveKilledBetweenItsRenamesIsCompletedByTheNextLoad) {
  Model m;
  Fill(m);
  Save(m);
  // The state a save leaves when killed right after renaming the tree file: the album file of
  // the same save still staged, and a history file staged by an older, unfinished save.
  m.AddPhoto(photos_ + "/2020", "0-first.jpg", 2022, 2, 2);
  m.albums.GetAlbumFromPathEx(atTag, "new", true)->AddItem(m.Find(photos_ + "/2020/0-first.jpg"), 0);
  Save(m);
  fs::rename(data_ + "/OstraGroup.qdb", data_ + "/OstraGroup.qdb.new");
  fs::copy_file(data_ + "/OstraGroup.bak", data_ + "/OstraGroup.qdb");
  fs::copy_file(data_ + "/OstraHistory.bak", data_ + "/OstraHistory.qdb.new");
  const std::string history = ReadAll(data_ + "/OstraHistory.qdb");

  Model again;
  TEngineDataFiles(again.Parts(data_)).LoadAll();
  EXPECT_EQ(again.TagPaths("new"), (std::vector<std::string>{photos_ + "/2020/0-first.jpg"}));
  EXPECT_EQ(again.TagPaths("family"),
            (std::vector<std::string>{photos_ + "/2020/a.jpg", photos_ + "/2020/summer/b.jpg"}));
  EXPECT_EQ(ReadAll(data_ + "/OstraHistory.qdb"), history) << "a staged file of another save is dropped";
  EXPECT_FALSE(fs::exists(data_ + "/OstraGroup.qdb.new"));
  EXPECT_FALSE(fs::exists(data_ + "/OstraHistory.qdb.new"));
}

TEST_F(EngineDataFiles, ItemsNotWrittenNeverLendTheirOldRecordNumbers) {
  Model m;
  Fill(m);
  TCatalogItem* c = m.Find(photos_ + "/2020/summer/c.jpg");
  m.albums.GetAlbumFromPathEx(atTag, "solo", true)->AddItem(c, 0);
  Save(m);  // records: a 0, b 1, c 2
  m.AddPhoto(photos_ + "/2020/summer", "z.jpg", 2020, 7, 1);
  c->SetState(cisDeleted);  // deleted on disk: still listed until pruned, but not written
  Save(m);                  // records: a 0, b 1, z 2
  EXPECT_EQ(c->RecordNumber(), -1);
  // Positions are record numbers; the unwritten item has none.
  int written = 0;
  for (size_t n = 0; n < m.cache.flushed.size(); ++n) {
    if (!m.cache.flushed[n]) continue;
    ++written;
    EXPECT_NE(m.cache.flushed[n], c);
    EXPECT_EQ(m.cache.flushed[n]->RecordNumber(), static_cast<int32_t>(n));
  }
  EXPECT_EQ(written, 3);

  Model again;
  TEngineDataFiles(again.Parts(data_)).LoadAll();
  EXPECT_EQ(again.TagPaths("solo"), std::vector<std::string>{}) << "never z.jpg, the new record 2";
  EXPECT_EQ(again.TagPaths("family"),
            (std::vector<std::string>{photos_ + "/2020/a.jpg", photos_ + "/2020/summer/b.jpg"}));
}

std::string HintBytes(uint32_t listVersion, const std::vector<uint32_t>& recordVersions) {
  std::string bytes;
  RecordWriter out(bytes);
  out.U32(listVersion);
  out.U32(static_cast<uint32_t>(recordVersions.size()));
  int32_t id = 10;
  for (uint32_t version : recordVersions) {
    out.U32(version);
    out.I32(id--);
    for (int i = 0; i < 4; ++i) out.I32(i + 1);
    out.U8(1);
    out.U8(1);
    out.Text("name");
    out.Text("text");
    out.Text("third");
    if (version >= kHintRecordVersion1) {
      out.F64(100.5);
      out.F64(200.5);
    }
    if (version >= kHintRecordVersion) out.I32(0x123456);
  }
  out.Flush();
  return bytes;
}

TEST(FlashHintItems, EveryKnownRecordVersionIsReadAndUnknownOnesAreNamed) {
  const std::string path = test::TestRoot() + "/HintData.idx";
  WriteAll(path, HintBytes(kHintListVersion, {kHintRecordVersion, kHintRecordVersion1, kHintRecordVersion0}));
  TFlashHintItems hints;
  hints.LoadFromFile(path);
  ASSERT_EQ(hints.Count(), 3);
  // Sorted by identifier: the oldest record (id 8) comes first.
  const TFlashHintValues oldest = hints.At(0)->Values(), middle = hints.At(1)->Values(), newest = hints.At(2)->Values();
  EXPECT_EQ(oldest.Id, 8);
  EXPECT_EQ(oldest.FirstShown, 0);
  EXPECT_EQ(oldest.Color, kHintDefaultColor);
  EXPECT_EQ(middle.LastShown, 200.5);
  EXPECT_EQ(middle.Color, kHintDefaultColor);
  EXPECT_EQ(newest.Color, 0x123456);
  EXPECT_EQ(newest.ThirdText, "third");

  // Saved again, every record is of the current version and reads back equal.
  hints.SaveToFile(path);
  TFlashHintItems again;
  again.LoadFromFile(path);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(again.At(i)->Values(), hints.At(i)->Values());

  struct Case {
    std::string bytes;
    const char* message;
    int kept;
  };
  const Case cases[] = {
      {HintBytes(0xE002, {}), "LoadFromStream : EFlashHintItemsError Raised. (Unknown Data. (Version=57346))", 0},
      {HintBytes(kHintListVersion, {kHintRecordVersion, 0xA003}),
       "LoadFromStream : EFlashHintItemsError Raised. (Unknown Data (Version=40963))", 1},
      {HintBytes(kHintListVersion, {kHintRecordVersion}).substr(0, 30), "LoadFromStream : EReadError Raised.", 0},
  };
  for (const Case& c : cases) {
    WriteAll(path, c.bytes);
    try {
      hints.LoadFromFile(path);
      ADD_FAILURE() << c.message;
    } catch (const EFlashHintItemsError& e) {
      EXPECT_EQ(e.Message().rfind(c.message, 0), 0u) << e.Message();
    }
    EXPECT_EQ(hints.Count(), c.kept) << c.message;
  }
  try {
    hints.LoadFromFile(path + ".missing");
    ADD_FAILURE();
  } catch (const EFlashHintItemsError& e) {
    EXPECT_EQ(e.Message(), "File not exists. (" + path + ".missing)");
  }
}

}  // namespace
}  // namespace plb
