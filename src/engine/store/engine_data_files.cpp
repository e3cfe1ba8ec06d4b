#include "engine/store/engine_data_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/flash_hints.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/store/thumbnail_cache_interface.h"
#include "host/date_time.h"
#include "host/engine_error.h"
#include "host/log_file.h"
#include "platform/atomic_file.h"
#include "platform/record_stream.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

// Writes go through one buffer of this size.
constexpr size_t kWriteBufferSize = 262144;
// The index while the tree file is replaced; put back when it was not.
constexpr char kIndexAsideSuffix[] = ".stale";
// The tree file that a save is replacing, under a second name until the album file has followed.
constexpr char kPreviousSuffix[] = ".previous";
// Stretches every step of a save (microseconds): lets tests stop a save at any point.
constexpr char kSavePauseVariable[] = "PLB_TEST_SAVE_PAUSE_US";

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

std::string Staged(const std::string& path) {
  return path + kStagedSuffix;
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> bx(65536), by(65536);
  while (x && y) {
    x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
    y.read(by.data(), static_cast<std::streamsize>(by.size()));
    if (x.gcount() != y.gcount() || std::memcmp(bx.data(), by.data(), static_cast<size_t>(x.gcount())) != 0) {
      return false;
    }
  }
  return x.eof() && y.eof();
}

// A copy of path with the same bytes, made by an earlier run that met the same damage; empty
// when there is none.
std::string SameFileAside(const std::string& path) {
  std::error_code ec;
  const fs::path file(path);
  const std::string prefix = file.filename().string() + ".";
  const uintmax_t size = fs::file_size(file, ec);
  if (ec) return "";
  for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const bool copy = name.find(kDamagedInfix) != std::string::npos || name.find(kKeptInfix) != std::string::npos;
    if (name.rfind(prefix, 0) != 0 || !copy) continue;
    std::error_code sizeError;
    if (fs::file_size(it->path(), sizeError) == size && !sizeError && SameBytes(path, it->path().string())) {
      return it->path().string();
    }
  }
  return "";
}

// Collects the first failure of a run of steps, each already logged and wrapped with its label.
class FirstFailure {
 public:
  template <class Raise>
  void Keep(Raise raise, const std::exception& e, const char* label) {
    try {
      raise(e, label);
    } catch (...) {
      if (!first_) first_ = std::current_exception();
    }
  }
  void Keep(std::exception_ptr failure) {
    if (!first_) first_ = std::move(failure);
  }
  // Runs one step of a load or save; its failure is kept in the step's form and label, and the
  // step answers whether it went through.
  template <class Raise, class Body>
  bool Step(Raise raise, const char* label, const Body& body) {
    try {
      body();
      return true;
    } catch (const std::exception& e) {
      Keep(raise, e, label);
      return false;
    }
  }
  explicit operator bool() const { return first_ != nullptr; }
  [[noreturn]] void Rethrow() const { std::rethrow_exception(first_); }

 private:
  std::exception_ptr first_;
};

TDataFileHeader HeaderFor(TDateTime saved) {
  TDataFileHeader header;
  std::memcpy(header.marker, kDataFileMarker, sizeof header.marker);
  header.version = kDataFileVersion;
  header.saved = saved;
  return header;
}

TDataFileHeader ReadHeaderOf(const std::string& path) {
  RecordReader in = RecordReader::OpenFile(path);
  return TDataFileHeader::Read(in);
}

// Every item of a folder and its sub-folders, the removed ones and those not written included.
void ForEachItem(TFolder* folder, void (*visit)(TCatalogItem*)) {
  std::vector<TCatalogItem*> items;
  folder->GetItems(items);
  for (TCatalogItem* item : items) visit(item);
  for (TCatalogItem* item : folder->RemovedItems()) visit(item);
  for (TFolder* child : folder->SubFolders()) ForEachItem(child, visit);
  for (TFolder* child : folder->RemovedSubFolders()) ForEachItem(child, visit);
}

// Record numbers are positions in one particular tree file. Before a new one is written every
// item forgets its old number, so an item the writer skips (deleted, or in a tree no longer
// listed) is never saved in an album or the thumbnail index under another item's number.
void ForgetRecordNumbers(TFolderTreeList& folders) {
  std::vector<TFolder*> roots;
  folders.GetRoots(roots);
  for (TFolder* root : folders.RetiredRoots()) roots.push_back(root);
  for (TFolder* root : roots) ForEachItem(root, [](TCatalogItem* item) { item->SetRecordNumber(-1); });
}

// A file written through a staging name beside its final one, header first.
struct StagedWriter {
  StagedWriter(const std::string& path, TDateTime saved)
      : file(std::make_unique<AtomicFileWriter>(path, Staged(path))),
        out(RecordWriter::FdSink(file->Fd()), kWriteBufferSize),
        header(HeaderFor(saved)) {
    header.Write(out);
  }
  // Flushes the records, rewrites the header with count and puts the bytes on disk.
  std::unique_ptr<AtomicFileWriter> Finish(uint32_t count) {
    out.Flush();
    if (count != 0) {
      header.count = count;
      std::string bytes;
      RecordWriter patch(bytes);
      header.Write(patch);
      patch.Flush();
      file->WriteAt(0, bytes);
    }
    file->Finish();
    return std::move(file);
  }

  std::unique_ptr<AtomicFileWriter> file;
  RecordWriter out;
  TDataFileHeader header;
};

}  // namespace

bool TDataFileHeader::MarkerOk() const {
  return std::memcmp(marker, kDataFileMarker, sizeof marker) == 0;
}

void TDataFileHeader::Write(RecordWriter& out) const {
  out.Bytes(marker, sizeof marker);
  out.U32(version);
  out.U32(count);
  out.DateTime(saved);
}

TDataFileHeader TDataFileHeader::Read(RecordReader& in) {
  TDataFileHeader header;
  in.Read(header.marker, sizeof header.marker);
  header.version = in.U32();
  header.count = in.U32();
  header.saved = in.DateTime();
  return header;
}

TEngineDataFiles::TEngineDataFiles(TEngineDataParts parts) : parts_(std::move(parts)) {
  if (const char* pause = std::getenv(kSavePauseVariable)) pauseMicroseconds_ = std::strtol(pause, nullptr, 10);
}

std::string TEngineDataFiles::BackupName(const std::string& path) {
  return fs::path(path).replace_extension(".bak").string();
}

void TEngineDataFiles::Pause() const {
  if (pauseMicroseconds_ > 0) usleep(static_cast<useconds_t>(pauseMicroseconds_));
}

// Loading.

void TEngineDataFiles::LoadAll() {
  FinishInterruptedSave();
  // No tree file at all is a new catalog, unless its albums or its ".bak" say there was one.
  const bool lost = Exists(AlbumFile()) || Exists(BackupName(TreeFile()));
  if (!Exists(TreeFile()) && !lost) return;
  FirstFailure failure;
  auto step = [&failure](const char* label, const auto& body) {
    return failure.Step(RaiseEngineLoadDataError, label, body);
  };

  if (step("OstraFolders", [this] { LoadTree(); })) {
    // A damaged album file ends only the albums: the calendar, the thumbnails and the history
    // still come from the trees.
    if (Exists(AlbumFile()) && !step("OstraAlbums", [this] { LoadAlbums(); })) SetAside(AlbumFile());
    try {
      SetUp();
    } catch (...) {
      failure.Keep(std::current_exception());
    }
    if (Exists(HistoryFile()) && !step("OstraHistorys", [this] { LoadHistory(); })) SetAside(HistoryFile());
  } else {
    // Albums and history refer to the items of the unread trees: kept as they are on disk.
    SetAside(TreeFile());
    SetAside(AlbumFile());
    SetAside(HistoryFile());
  }
  LoadHints();
  if (failure) {
    try {
      failure.Rethrow();
    } catch (const std::exception& e) {
      RaiseEngineLoadDataError(e, "OstraEngine");
    }
  }
}

void TEngineDataFiles::LoadTree() {
  if (!parts_.folders) return;
  if (!Exists(TreeFile())) RaiseEngineError("OstraFolders:データファイルがありません。( " + TreeFile() + " )");
  RecordReader in = RecordReader::OpenFile(TreeFile());
  const TDataFileHeader header = TDataFileHeader::Read(in);
  if (!header.MarkerOk()) RaiseEngineError("データファイルのマーカが異常です。");
  // A tree block without its marker would read as no trees at all: an empty catalog that the
  // next save writes over the user's.
  if (in.Remaining() < 6 || (in.PeekU32() & 0xFFFF) != kTreeBlockMarker) {
    RaiseEngineError("OstraFolders:フォルダツリーのマーカが異常です。( " + TreeFile() + " )");
  }
  parts_.folders->LoadFromStream(in);
}

void TEngineDataFiles::LoadAlbums() {
  if (!parts_.albums) return;
  RecordReader in = RecordReader::OpenFile(AlbumFile());
  if (!TDataFileHeader::Read(in).MarkerOk()) RaiseEngineError("OstraAlbums:データファイルのマーカが異常です。");
  parts_.albums->LoadFromStream(in);
}

void TEngineDataFiles::SetUp() {
  if (!parts_.folders) return;
  FirstFailure failure;
  auto step = [&failure](const char* label, const auto& body) {
    try {
      body();
    } catch (const std::exception& e) {
      failure.Keep(RaiseEngineSetupDataError, e, label);
    }
  };
  const std::vector<TCatalogItem*> index = parts_.folders->BuildItemIndex();
  if (!index.empty()) {
    if (parts_.albums) step("OstraAlbums", [&] { parts_.albums->SetupFromIDList(index); });
    if (parts_.calendar) step("OstraCalendars", [&] { parts_.calendar->AddItems(index); });
    if (parts_.cache) step("OstraImageCache", [&] { parts_.cache->Load(index); });
  }
  if (failure) failure.Rethrow();
}

void TEngineDataFiles::LoadHistory() {
  if (!parts_.history) return;
  RecordReader in = RecordReader::OpenFile(HistoryFile());
  if (!TDataFileHeader::Read(in).MarkerOk()) RaiseEngineError("OstraHistorys:データファイルのマーカが異常です。");
  parts_.history->Resolve(in, parts_.folders, parts_.calendar, parts_.albums);
  if (in.AtEnd()) return;
  THistoryList pinned;
  pinned.Resolve(in, parts_.folders, parts_.calendar, parts_.albums);
  pinned.PinCalendarNodes();
}

void TEngineDataFiles::LoadHints() {
  if (!parts_.hints || !Exists(HintFile())) return;
  try {
    parts_.hints->LoadFromFile(HintFile());
  } catch (const std::exception& e) {
    // The hint file has no ".bak"; the next save would replace what could not be read.
    LogFailure("LoadFromFile", e);
    SetAside(HintFile());
  }
}

void TEngineDataFiles::SetAside(const std::string& path) {
  if (!Exists(path) && !Exists(BackupName(path))) return;
  keepBackup_.insert(path);
  // The last good copy too: saves of later runs rotate the ".bak" again.
  for (const auto& [from, infix] : {std::pair{path, kDamagedInfix}, std::pair{BackupName(path), kKeptInfix}}) {
    if (!Exists(from)) continue;
    const std::string copy = CopyAside(from, infix);
    if (!copy.empty()) keptAside_.push_back(copy);
  }
}

std::string TEngineDataFiles::CopyAside(const std::string& path, const char* infix) {
  const std::string same = SameFileAside(path);
  if (!same.empty()) {
    WriteLog(path + " is kept aside already as " + same);
    return same;
  }
  const std::string copy = path + infix + FormatDateTime("yyyymmdd-hhnnss", Now());
  std::error_code ec;
  fs::copy_file(path, copy, fs::copy_options::skip_existing, ec);
  if (ec) {
    WriteLog(path + " could not be copied aside: " + ec.message());
    return "";
  }
  WriteLog(path + " was copied to " + copy);
  return copy;
}

// A save killed between its renames left the later files staged; the tree file's header names
// the save they belong to. Staged files of any other save are incomplete and go.
void TEngineDataFiles::FinishInterruptedSave() {
  RemoveAbandonedTemporaryFiles(parts_.folder);
  RemoveQuietly(TreeFile() + kPreviousSuffix);
  RemoveQuietly(ThumbnailIndexFile() + kIndexAsideSuffix);
  const std::string others[] = {AlbumFile(), HistoryFile()};
  if (Exists(Staged(TreeFile())) || !Exists(TreeFile())) {
    RemoveQuietly(Staged(TreeFile()));
    for (const std::string& path : others) RemoveQuietly(Staged(path));
    return;
  }
  TDateTime treeSaved = -1;
  try {
    treeSaved = ReadHeaderOf(TreeFile()).saved;
  } catch (const std::exception&) {
    // No save can be told from an unreadable header: every staged file counts as incomplete, and
    // the tree file's own damage is reported when it is loaded.
  }
  for (const std::string& path : others) {
    if (!Exists(Staged(path))) continue;
    bool sameSave = false;
    try {
      const TDataFileHeader header = ReadHeaderOf(Staged(path));
      sameSave = header.MarkerOk() && header.saved == treeSaved;
    } catch (const std::exception&) {
      // A staged file without a readable header is incomplete: it goes below.
    }
    if (sameSave) {
      KeepPrevious(path);
      if (rename(Staged(path).c_str(), path.c_str()) == 0) {
        WriteLog("OstraEngine : " + path + " was completed from the save that was interrupted");
        continue;
      }
    }
    RemoveQuietly(Staged(path));
  }
}

// Saving.

// The previous file becomes the ".bak" copy by a second name, so the file itself never goes
// missing. Failures are ignored; a file that failed to load this run keeps its older ".bak".
void TEngineDataFiles::KeepPrevious(const std::string& path) const {
  if (keepBackup_.count(path) != 0 || !Exists(path)) return;
  const std::string backup = BackupName(path);
  RemoveQuietly(backup);
  if (link(path.c_str(), backup.c_str()) == 0) return;
  std::error_code ec;
  fs::copy_file(path, backup, fs::copy_options::overwrite_existing, ec);
}

// Renames the staged tree file and album file into place, both or neither: an album file that
// cannot follow puts the previous tree file back. A rename that went through counts as done even
// when the flush of the folder after it failed. Answers whether the tree file was replaced. The
// thumbnail index names record numbers of the tree file on disk, so it stays only when that one
// does.
template <class Step>
bool TEngineDataFiles::ReplaceTreeAndAlbums(const Step& step, AtomicFileWriter& tree, AtomicFileWriter* albums) {
  const std::string index = ThumbnailIndexFile();
  const std::string indexAside = index + kIndexAsideSuffix;
  RemoveQuietly(indexAside);
  const bool indexSetAside = rename(index.c_str(), indexAside.c_str()) == 0;
  const std::string previous = tree.Path() + kPreviousSuffix;
  RemoveQuietly(previous);
  const bool hadPrevious = link(tree.Path().c_str(), previous.c_str()) == 0;

  step("OstraFolders", [&] {
    KeepPrevious(tree.Path());
    tree.Commit();
  });
  bool replaced = tree.Committed();
  Pause();
  if (replaced && albums) {
    step("OstraAlbums", [&] {
      KeepPrevious(albums->Path());
      albums->Commit();
    });
    if (!albums->Committed()) {
      const bool putBack = hadPrevious ? rename(previous.c_str(), tree.Path().c_str()) == 0
                                       : unlink(tree.Path().c_str()) == 0;
      if (putBack) {
        replaced = false;
        WriteLog("OstraEngine : the album file could not be replaced; the previous " + tree.Path() + " is back");
      } else {
        // The next start pairs the staged album file with this tree file by their save time.
        albums->KeepStaged();
        WriteLog("OstraEngine : " + albums->StagingPath() + " is left for the next start to put in place");
      }
    }
  }
  RemoveQuietly(previous);
  if (replaced) {
    RemoveQuietly(indexAside);
  } else if (indexSetAside) {
    rename(indexAside.c_str(), index.c_str());
  }
  return replaced;
}

void TEngineDataFiles::SaveAll() {
  const TDateTime saved = Now();
  FirstFailure failure;
  auto step = [&failure](const char* label, const auto& body) {
    return failure.Step(RaiseEngineSaveDataError, label, body);
  };

  if (parts_.hints) {
    try {
      parts_.hints->SaveToFile(HintFile());
    } catch (const std::exception& e) {
      LogFailure("SaveToFile", e);
    }
  }
  Pause();
  if (parts_.saveConfiguration) {
    try {
      parts_.saveConfiguration();
    } catch (const std::exception& e) {
      LogFailure("SaveToRegistry", e);
    }
  }

  std::unique_ptr<AtomicFileWriter> tree, albums, history;
  if (parts_.folders) {
    step("OstraFolders", [&] {
      parts_.folders->PruneAll(true, false);
      ForgetRecordNumbers(*parts_.folders);
      StagedWriter file(TreeFile(), saved);
      int32_t counter = 0;
      parts_.folders->SaveToStream(file.out, counter);
      Pause();
      tree = file.Finish(static_cast<uint32_t>(counter));
    });
  }
  Pause();
  // Albums hold record numbers of this tree file: written only with it.
  if (tree && parts_.albums) {
    step("OstraAlbums", [&] {
      parts_.albums->DeleteAlbumEx(parts_.albums->Root(atFileInfoSearch), atUnknown);
      parts_.albums->DeleteAlbumEx(parts_.albums->Root(atTray), atUnknown);
    });
    step("OstraAlbums", [&] {
      StagedWriter file(AlbumFile(), saved);
      parts_.albums->SaveToStream(file.out);
      albums = file.Finish(0);
    });
  }
  Pause();
  if (parts_.history) {
    step("OstraHistorys", [&] {
      parts_.history->RemoveEmpty();
      StagedWriter file(HistoryFile(), saved);
      parts_.history->SaveToStream(file.out);
      std::vector<TCalendar*> pinned;
      if (parts_.calendar) parts_.calendar->CollectPinned(pinned);
      if (!pinned.empty()) {
        THistoryList nodes;
        for (TCalendar* node : pinned) nodes.Push(node);
        nodes.SaveToStream(file.out);
      }
      history = file.Finish(0);
    });
  }
  Pause();

  bool treeReplaced = false;
  if (tree && (albums || !parts_.albums)) {
    treeReplaced = ReplaceTreeAndAlbums(step, *tree, albums.get());
  }
  Pause();
  if (history) {
    step("OstraHistorys", [&] {
      KeepPrevious(HistoryFile());
      history->Commit();
    });
  }
  if (treeReplaced && parts_.cache) {
    try {
      parts_.cache->Flush(parts_.folders->BuildItemIndex());
    } catch (const std::exception& e) {
      LogFailure("OstraImageCache", e);
    }
  }
  if (failure) failure.Rethrow();
}

}  // namespace plb
