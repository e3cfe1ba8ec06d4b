#include "engine/store/engine_data_recovery.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/store/engine_data_files.h"
#include "host/engine_error.h"
#include "host/log_file.h"
#include "platform/atomic_file.h"
#include "platform/instance_lock.h"
#include "platform/record_stream.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

// Where a set of copies is tried, inside the data folder (the same volume, the user's files).
constexpr char kTrialFolder[] = ".recovery-trial";

struct Copy {
  std::string path;
  TDateTime saved = 0;
  int rank = 0;  // on equal save times: the live file, then its ".bak", then the copies aside
};

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

bool IsCopyOf(const std::string& name, const std::string& base) {
  return name.rfind(base + kDamagedInfix, 0) == 0 || name.rfind(base + kKeptInfix, 0) == 0;
}

// Every copy of the data file live whose header reads, newest save first.
std::vector<Copy> CopiesOf(const std::string& live) {
  const std::string liveName = fs::path(live).filename().string();
  const std::string bakName = fs::path(TEngineDataFiles::BackupName(live)).filename().string();
  std::vector<Copy> copies;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(live).parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const int rank = name == liveName ? 0 : name == bakName ? 1 : 2;
    if (rank == 2 && !IsCopyOf(name, liveName) && !IsCopyOf(name, bakName)) continue;
    try {
      RecordReader in = RecordReader::OpenFile(it->path().string());
      const TDataFileHeader header = TDataFileHeader::Read(in);
      if (header.MarkerOk()) copies.push_back({it->path().string(), header.saved, rank});
    } catch (const std::exception&) {
      // Not even a header: no copy to take.
    }
  }
  std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
    return a.saved != b.saved ? a.saved > b.saved : a.rank != b.rank ? a.rank < b.rank : a.path < b.path;
  });
  return copies;
}

// Whether the files read whole as the engine's load reads them, tried in a folder of their own.
bool ReadsWhole(const std::string& folder, const std::string& tree, const std::string& albums,
                const std::string& history) {
  const std::string trial = folder + "/" + kTrialFolder;
  std::error_code ec;
  fs::remove_all(trial, ec);
  fs::create_directories(trial, ec);
  TEngineDataParts parts;
  parts.folder = trial;
  TEngineDataFiles names(parts);
  bool copied = !ec;
  for (const auto& [from, to] : {std::pair{tree, names.TreeFile()}, std::pair{albums, names.AlbumFile()},
                                 std::pair{history, names.HistoryFile()}}) {
    if (!from.empty() && copied) copied = fs::copy_file(from, to, ec) && !ec;
  }
  bool whole = copied;
  if (copied) {
    TFolderTreeListEyeFi folders;
    TAlbumList albumList;
    TCalendarRoot calendar;
    THistoryList historyList(kEngineHistoryCapacity);
    parts.folders = &folders;
    parts.albums = &albumList;
    parts.calendar = &calendar;
    parts.history = &historyList;
    try {
      TEngineDataFiles(parts).LoadAll();
    } catch (const std::exception&) {
      whole = false;
    }
  }
  fs::remove_all(trial, ec);
  return whole;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (in.is_open()) bytes << in.rdbuf();
  if (!in.is_open() || in.bad()) RaiseEngineError("OstraEngine:" + path + " を読み込めません。");
  return bytes.str();
}

// Puts the chosen copies in place the way a save does: staged beside the live names first, the
// live files kept aside, then renamed tree file first; an interrupted run is finished by the next
// load, which pairs the staged files with the tree file by their save time.
void PutInPlace(const std::string& folder, TRecoveredCatalog& result) {
  TEngineDataParts parts;
  parts.folder = folder;
  const TEngineDataFiles names(parts);
  const std::pair<std::string, std::string> files[] = {
      {names.TreeFile(), result.tree}, {names.AlbumFile(), result.albums}, {names.HistoryFile(), result.history}};
  std::vector<std::unique_ptr<AtomicFileWriter>> staged;
  for (const auto& [live, source] : files) {
    if (source == live || source.empty()) continue;
    staged.push_back(std::make_unique<AtomicFileWriter>(live, live + kStagedSuffix));
    staged.back()->Write(ReadBytes(source));
    staged.back()->Finish();
  }
  for (const auto& [live, source] : files) {
    if (source == live || !Exists(live)) continue;
    const std::string copy = TEngineDataFiles::CopyAside(live, kKeptInfix);
    if (copy.empty()) RaiseEngineError("OstraEngine:" + live + " を退避できません。");
    result.keptAside.push_back(copy);
  }
  // The thumbnail index names record numbers of the tree file being replaced.
  std::error_code ec;
  fs::remove(names.ThumbnailIndexFile(), ec);
  for (auto& file : staged) file->Commit();
  if (result.history.empty()) fs::remove(names.HistoryFile(), ec);
}

}  // namespace

TRecoveredCatalog RestoreNewestGoodCopy(const std::string& folder) {
  if (!fs::is_directory(folder)) RaiseEngineError("OstraEngine:データフォルダがありません。( " + folder + " )");
  platform::LockFile lock(folder + "/" + kDataFolderLockName);
  const platform::LockResult locked = lock.TryAcquire();
  if (locked == platform::LockResult::kHeldElsewhere) {
    RaiseEngineError("The data folder is in use by another process.\r\n( " + folder + " )");
  }
  if (locked != platform::LockResult::kAcquired) {
    RaiseEngineError("The data folder cannot be locked.\r\n( " + folder + " )");
  }
  TEngineDataParts parts;
  parts.folder = folder;
  const TEngineDataFiles names(parts);
  const std::vector<Copy> histories = CopiesOf(names.HistoryFile());
  const std::vector<Copy> albums = CopiesOf(names.AlbumFile());
  for (const Copy& tree : CopiesOf(names.TreeFile())) {
    for (const Copy& album : albums) {
      if (album.saved != tree.saved) continue;
      TRecoveredCatalog result;
      result.saved = tree.saved;
      result.tree = tree.path;
      result.albums = album.path;
      for (const Copy& history : histories) {
        if (history.saved == tree.saved && ReadsWhole(folder, tree.path, album.path, history.path)) {
          result.history = history.path;
          break;
        }
      }
      if (result.history.empty() && !ReadsWhole(folder, tree.path, album.path, "")) continue;
      result.changed = result.tree != names.TreeFile() || result.albums != names.AlbumFile() ||
                       (result.history.empty() ? Exists(names.HistoryFile()) : result.history != names.HistoryFile());
      if (result.changed) {
        PutInPlace(folder, result);
        WriteLog("OstraEngine : the catalog was put back from " + result.tree + " and " + result.albums);
      }
      return result;
    }
  }
  RaiseEngineError("OstraEngine:読み込めるカタログのコピーがありません。( " + folder + " )");
}

}  // namespace plb
