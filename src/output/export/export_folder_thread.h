#pragma once
// The calendar export worker: copies every file the calendar holds into a new folder tree (one
// folder per year, month and day, named like the nodes) and writes each day folder's side-car
// "OstraExportInfo.xml" with the copies' edits and tags. The new folders are registered in the
// catalog and kept out of the calendar so that the copies do not show twice by date.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/workers/thread_base.h"
#include "host/date_time.h"
#include "platform/error.h"

namespace plb {

class TAlbum;
class TAlbumList;
class TCatalogItem;
class TCustomFolder;
class TFolderTreeList;

PLB_DECLARE_ERROR(EExportFolderThreadError, Error);

// The number of items under a node and their bytes: the file's present size (64 bits), or the
// catalog's record of it when the file cannot be read.
void CountExportItems(const TCustomFolder* node, int32_t& count, int64_t& bytes);

// The album types whose memberships go into the side-car: 7 (imported albums) and 8 (tags).
constexpr uint16_t kExportAlbumTypes = 384;

class TExportFolderThreadEx : public TOstraThreadBase {
 public:
  using FileProgressHandler =
      std::function<void(TExportFolderThreadEx* sender, const std::string& source, const std::string& destination)>;

  // folders: where the new folders are registered (none: they are not).
  explicit TExportFolderThreadEx(TFolderTreeList* folders = nullptr);
  ~TExportFolderThreadEx() override;
  uint8_t WorkerKind() const override { return wkExportFolderThreadEx; }

  void SetExportDate(TDateTime date);
  void SetSourceNode(TCustomFolder* node);
  // Stored without a trailing separator.
  void SetDestination(const std::string& path);
  void SetAlbumTypes(uint16_t types);
  void SetFileProgressHandler(FileProgressHandler handler);
  // The albums whose imported ones (type 7) are written as tags of type 9; none: they are not.
  void SetAlbums(TAlbumList* albums);

  // The folder made for the source node once the export ran to its end or was stopped; empty
  // after a failure.
  std::string ResultFolder() const;
  int64_t CopiedBytes() const;

  void Execute() override;

 private:
  std::string ExportFolder(const std::string& parent, TCustomFolder* node);
  void ExportItems(const std::string& folder, const std::vector<TCatalogItem*>& items);
  void ReportFile(const std::string& source, const std::string& destination);
  std::unique_ptr<TAlbum> CreateZenmoaCloneAlbum();
  void CreateCloneAlbum(TAlbum* source, TAlbum* target);
  void RenameZenmoaClone(TAlbum* album);

  TFolderTreeList* folders_;
  TAlbumList* albums_ = nullptr;
  mutable std::mutex settings_;
  TDateTime exportDate_ = 0;
  TCustomFolder* source_ = nullptr;
  std::string destination_;
  std::string result_;
  uint16_t albumTypes_ = kExportAlbumTypes;
  FileProgressHandler fileProgress_;
  int64_t copiedBytes_ = 0;
};

}  // namespace plb
