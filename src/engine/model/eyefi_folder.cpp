#include "engine/model/eyefi_folder.h"

#include <mutex>

#include "host/file_functions.h"
#include "host/format.h"

namespace plb {

namespace {

std::mutex& SourceLock() {
  static std::mutex lock;
  return lock;
}
TEyeFiDirectorySource& Source() {
  static TEyeFiDirectorySource source;
  return source;
}

}  // namespace

void SetEyeFiDirectorySource(TEyeFiDirectorySource source) {
  std::lock_guard guard(SourceLock());
  Source() = std::move(source);
}

template <class E, class F>
void TEyeFiFolder::Guarded(const char* operation, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    throw E(Format("%s.%s : %s Raised. (%s)", ClassName(), operation, ClassNameOf(e), MessageOf(e)));
  }
}

std::unique_ptr<TCatalogItem> TEyeFiFolder::NewItem() const {
  return std::make_unique<TEyeFiCatalogItem>();
}

std::unique_ptr<TFolder> TEyeFiFolder::NewSubFolder(const std::string& name) const {
  return std::make_unique<TEyeFiFolder>(name);
}

void TEyeFiFolder::LoadOptionsFromStream(RecordReader& in) {
  Guarded<EEyeFiFolderError>("LoadOptionsFromStream", [&] {
    TCustomFolder::LoadOptionsFromStream(in);
    if (!ExtendedOptions()) return;
    const uint32_t version = in.U32();
    if (version != kEyeFiOptionVersion) {
      throw EEyeFiFolderError(Format("データの形式に互換性がありません。( Version = %x )", version));
    }
    SetRevision(in.I32());
  });
}

void TEyeFiFolder::SaveOptionsToStream(RecordWriter& out) {
  Guarded<EEyeFiFolderError>("SaveOptionsToStream", [&] {
    SetExtendedOptions(true);
    TCustomFolder::SaveOptionsToStream(out);
    out.U32(kEyeFiOptionVersion);
    out.I32(Revision());
  });
}

void TEyeFiFolder::SearchFiles(const TExtItems*, std::vector<TCatalogItem*>* found) {
  TEyeFiDirectorySource source;
  {
    std::lock_guard guard(SourceLock());
    source = Source();
  }
  if (!source || !source(*this)) {
    SetMissing(true);
    return;
  }
  SetMissing(false);
  if (found) GetItems(*found);
}

void TEyeFiFolder::ScanSubFolders(std::vector<TFolder*>* found) {
  if (found) {
    for (TFolder* f : SubFolders()) found->push_back(f);
  }
}

void TEyeFiFolder::CheckDrive(bool recurse, bool) {
  // There is no directory to look at: the listing of the service decides (SearchFiles).
  if (recurse) {
    for (TFolder* child : SubFolders()) child->CheckDrive(recurse, false);
  }
}

int32_t TEyeFiFolder::Revision() const {
  std::lock_guard guard(lock_);
  return revision_;
}

void TEyeFiFolder::SetRevision(int32_t revision) {
  std::lock_guard guard(lock_);
  revision_ = revision;
}

std::string TEyeFiFolder::DirectoryId() const {
  std::lock_guard guard(lock_);
  return directoryId_;
}

void TEyeFiFolder::SetDirectoryId(const std::string& id) {
  std::lock_guard guard(lock_);
  directoryId_ = id;
}

TEyeFiRootFolder::TEyeFiRootFolder(const TDriveInfoRec& info)
    : TEyeFiFolder(info.Drive), serial_(info.VolumeSerial), driveType_(info.DriveType), volumeName_(info.VolumeName) {}

TDriveInfoRec TEyeFiRootFolder::DriveInfoOfAccount(const std::string& account) {
  TDriveInfoRec info;
  info.DriveType = kEyeFiDriveType;
  info.VolumeSerial = 0;
  info.VolumeName = account;
  info.Drive = SafeFileName(account);
  return info;
}

std::string TEyeFiRootFolder::GetName() const {
  return Format("%s (%s)", VolumeName(), Name());
}

int32_t TEyeFiRootFolder::DriveType() const {
  std::lock_guard guard(lock_);
  return driveType_;
}

int32_t TEyeFiRootFolder::VolumeSerial() const {
  std::lock_guard guard(lock_);
  return serial_;
}

std::string TEyeFiRootFolder::RootPath() const {
  return Name();
}

std::string TEyeFiRootFolder::VolumeName() const {
  std::lock_guard guard(lock_);
  return volumeName_;
}

bool TEyeFiRootFolder::IsRemoved() const {
  std::lock_guard guard(lock_);
  return removed_;
}

int TEyeFiRootFolder::RemoveFolder() {
  {
    std::lock_guard guard(lock_);
    removed_ = true;
  }
  return TFolder::RemoveFolder();
}

void TEyeFiRootFolder::SaveToStream(RecordWriter& out, int32_t& counter) {
  Guarded<EEyeFiRootFolderError>("SaveToStream", [&] {
    out.U32(kEyeFiRootTag);
    out.U32(static_cast<uint32_t>(DriveType()));
    out.U32(static_cast<uint32_t>(VolumeSerial()));
    out.Text(VolumeName());
    SaveFolderRecord(out, counter);
  });
}

void TEyeFiRootFolder::LoadFromStream(RecordReader& in) {
  Guarded<EEyeFiRootFolderError>("LoadFromStream", [&] {
    if (in.U32() != kEyeFiRootTag) throw LoadAbort();
    const auto type = static_cast<int32_t>(in.U32());
    const auto serial = static_cast<int32_t>(in.U32());
    std::string account = in.Text();
    {
      std::lock_guard guard(lock_);
      driveType_ = type;
      serial_ = serial;
      volumeName_ = std::move(account);
    }
    LoadFolderRecord(in, 0);
    RecomputeFullPaths();
  });
}

}  // namespace plb
