#pragma once
// The catalog's files in the data folder, written whole when the engine stops and read whole when
// it starts: "OstraData.qdb" (folder trees and items), "OstraGroup.qdb" (albums),
// "OstraHistory.qdb" (navigation history and pinned calendar nodes) and "HintData.idx" (hints).
//
// Albums and the thumbnail index refer to items by the position at which the folder-tree file
// wrote them, so the tree file and the album file only ever change together: a save stages each
// file beside its final name ("<name>.new"), flushed to disk, and renames them into place only
// when both were written. A run that finds the tree file renamed but an album file still staged
// from the same save (the headers carry the same save time) finishes the renames first, so a
// process killed at any moment leaves the previous set or the new one, never a mix.
//
// A file that cannot be read is copied aside as "<name>.damaged-<yyyymmdd-hhmmss>", its ".bak" as
// "<name of the .bak>.kept-<yyyymmdd-hhmmss>" (a copy with the same bytes is not made twice), and
// the ".bak" itself is not rotated by the saves of the run: the user's last good data survives.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/date_time.h"

namespace plb {

class AtomicFileWriter;
class IImageCache;
class RecordReader;
class RecordWriter;
class TAlbumList;
class TCalendarRoot;
class TFlashHintItems;
class TFolderTreeList;
class THistoryList;

inline constexpr char kDataFileMarker[8] = {'O', 'S', 'T', 'R', 'A', 'D', 'F', '\0'};
inline constexpr uint32_t kDataFileVersion = 10;
inline constexpr size_t kDataFileHeaderSize = 24;
inline constexpr char kHintFileName[] = "HintData.idx";
inline constexpr char kStagedSuffix[] = ".new";
inline constexpr char kDamagedInfix[] = ".damaged-";
inline constexpr char kKeptInfix[] = ".kept-";
// Held by the one process that works on the data folder's files.
inline constexpr char kDataFolderLockName[] = "OstraEngine.lock";

struct TDataFileHeader {
  char marker[8] = {};
  uint32_t version = 0;
  uint32_t count = 0;
  TDateTime saved = 0;

  bool MarkerOk() const;
  void Write(RecordWriter& out) const;
  static TDataFileHeader Read(RecordReader& in);
};

// What the files are made from; the engine owns every part. Null parts are skipped.
struct TEngineDataParts {
  std::string folder;  // the data folder
  TFolderTreeList* folders = nullptr;
  TAlbumList* albums = nullptr;
  TCalendarRoot* calendar = nullptr;
  THistoryList* history = nullptr;
  IImageCache* cache = nullptr;
  TFlashHintItems* hints = nullptr;
  std::function<void()> saveConfiguration;
};

class TEngineDataFiles {
 public:
  explicit TEngineDataFiles(TEngineDataParts parts);

  std::string TreeFile() const { return parts_.folder + "/OstraData.qdb"; }
  std::string AlbumFile() const { return parts_.folder + "/OstraGroup.qdb"; }
  std::string HistoryFile() const { return parts_.folder + "/OstraHistory.qdb"; }
  std::string HintFile() const { return parts_.folder + "/" + kHintFileName; }
  // The thumbnail index, whose record numbers are those of the tree file it was written with.
  std::string ThumbnailIndexFile() const { return parts_.folder + "/Cache.qdb"; }
  // The safety copy of a file: its extension replaced by ".bak".
  static std::string BackupName(const std::string& path);

  // Reads every file there is. A failure is logged and raised with the data-load form and the
  // file's label, then once more with "OstraEngine", after everything readable was read.
  void LoadAll();
  // Writes every file. Each step runs even when an earlier one failed (except that albums and
  // the thumbnail index follow the folder-tree file); the first failure is raised afterwards with
  // the data-save form and its label.
  void SaveAll();

  // Files that failed to load in this run (copied aside; their ".bak" stays).
  const std::set<std::string>& DamagedFiles() const { return keepBackup_; }
  // The copies that keep those files and their ".bak" aside (made now or by an earlier run).
  const std::vector<std::string>& KeptAside() const { return keptAside_; }

  // Copies path beside itself as "<path><infix><yyyymmdd-hhmmss>", unless a copy with the same
  // bytes is there already; answers the copy's path, empty when none could be made.
  static std::string CopyAside(const std::string& path, const char* infix);

 private:
  void FinishInterruptedSave();
  void LoadTree();
  void LoadAlbums();
  void SetUp();
  void LoadHistory();
  void LoadHints();
  void SetAside(const std::string& path);
  void KeepPrevious(const std::string& path) const;
  template <class Step>
  bool ReplaceTreeAndAlbums(const Step& step, AtomicFileWriter& tree, AtomicFileWriter* albums);
  void Pause() const;

  TEngineDataParts parts_;
  std::set<std::string> keepBackup_;  // files that failed to load: their ".bak" stays this run
  std::vector<std::string> keptAside_;
  long pauseMicroseconds_ = 0;        // a test hook that widens the windows of a save
};

}  // namespace plb
