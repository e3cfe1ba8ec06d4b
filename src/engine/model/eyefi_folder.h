#pragma once
// Folders whose content is listed by the online Eye-Fi service instead of a directory. The model
// keeps their records and identity; how the service's listing becomes items belongs to the Eye-Fi
// integration, which installs a directory source.
#include <functional>
#include <memory>
#include <string>

#include "engine/model/folder.h"

namespace plb {

PLB_DECLARE_ERROR(EEyeFiFolderError, Error);
PLB_DECLARE_ERROR(EEyeFiRootFolderError, EEyeFiFolderError);

constexpr uint32_t kEyeFiRootTag = 0xE001;
constexpr uint32_t kEyeFiOptionVersion = 0xA0001;
constexpr int32_t kEyeFiDriveType = 254;

class TEyeFiFolder;

// Lists an Eye-Fi folder: fills the folder (items, sub-folders, identifier and revision) and
// answers true, or answers false when the listing failed. "Nothing changed" answers true and
// leaves the folder as it is.
using TEyeFiDirectorySource = std::function<bool(TEyeFiFolder& folder)>;
void SetEyeFiDirectorySource(TEyeFiDirectorySource source);

class TEyeFiFolder : public TFolder {
 public:
  explicit TEyeFiFolder(std::string name) : TFolder(std::move(name)) {}
  const char* ClassName() const override { return "TEyeFiFolder"; }

  std::unique_ptr<TCatalogItem> NewItem() const override;
  std::unique_ptr<TFolder> NewSubFolder(const std::string& name) const override;
  void LoadOptionsFromStream(RecordReader& in) override;
  void SaveOptionsToStream(RecordWriter& out) override;
  // Asks the directory source; the folder becomes Missing when the listing fails.
  void SearchFiles(const TExtItems* table, std::vector<TCatalogItem*>* found) override;
  void ScanSubFolders(std::vector<TFolder*>* found) override;
  void CheckDrive(bool recurse, bool checkItems) override;

  int32_t Revision() const;
  void SetRevision(int32_t revision);
  std::string DirectoryId() const;
  void SetDirectoryId(const std::string& id);

 protected:
  // Runs body, turning its errors into errorClass with "%s.%s : %s Raised. (%s)".
  template <class E, class F>
  void Guarded(const char* operation, F&& body);

 private:
  int32_t revision_ = 0;
  std::string directoryId_;
};

class TEyeFiRootFolder : public TEyeFiFolder {
 public:
  // The root of an account: drive type 254, serial 0, the account as volume name.
  explicit TEyeFiRootFolder(const TDriveInfoRec& info);
  const char* ClassName() const override { return "TEyeFiRootFolder"; }
  uint8_t Kind() const override { return kKindRoot; }
  std::string GetName() const override;
  int32_t DriveType() const override;
  bool IsCdRom() const override { return false; }
  int32_t VolumeSerial() const override;
  std::string RootPath() const override;
  std::string VolumeName() const override;
  bool IsTreeRoot() const override { return true; }
  bool IsRemoved() const override;
  int RemoveFolder() override;
  void SaveToStream(RecordWriter& out, int32_t& counter) override;
  void LoadFromStream(RecordReader& in) override;

  // The drive information of an account's root.
  static TDriveInfoRec DriveInfoOfAccount(const std::string& account);

 private:
  int32_t serial_ = 0;
  int32_t driveType_ = kEyeFiDriveType;
  std::string volumeName_;
  bool removed_ = false;
};

}  // namespace plb
