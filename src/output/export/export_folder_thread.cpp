#include "output/export/export_folder_thread.h"

#include <sys/stat.h>

#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <system_error>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/custom_folder.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/store/export_info_xml.h"
#include "engine/workers/worker_control.h"
#include "host/error_forms.h"
#include "host/log_file.h"
#include "output/export/export_names.h"
#include "platform/atomic_file.h"
#include "platform/ui_dispatcher.h"

namespace plb {

namespace {

constexpr const char* kClassName = "TExportFolderThreadEx";

// Wraps a step's error in the worker's form and logs it before it is raised.
[[noreturn]] void RaiseStepError(const char* label, const std::exception& e) {
  EExportFolderThreadError error{RaisedInMemberText(kClassName, label, e)};
  LogException(error);
  throw error;
}

int64_t PresentSize(const TCatalogItem* item) {
  struct stat st {};
  if (::stat(item->FullPath().c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
  return static_cast<int64_t>(item->FileSize());
}

// The copy keeps the modification time of its source: a catalog that adds the folder and finds
// no shooting date in a file files it under the same day.
void CopyFileTimes(const std::string& from, const std::string& to) {
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(from, ec);
  if (!ec) std::filesystem::last_write_time(to, time, ec);
}

// Pauses the background workers for the whole export, also when it fails.
struct WorkerPause {
  WorkerPause() { PauseWorkers(); }
  ~WorkerPause() { ResumeWorkers(); }
  WorkerPause(const WorkerPause&) = delete;
  WorkerPause& operator=(const WorkerPause&) = delete;
};

}  // namespace

void CountExportItems(const TCustomFolder* node, int32_t& count, int64_t& bytes) {
  if (!node) return;
  if (node->ItemCount() > 0) {
    std::vector<TCatalogItem*> items;
    node->GetItems(items);
    count += static_cast<int32_t>(items.size());
    for (const TCatalogItem* item : items) bytes += PresentSize(item);
  }
  if (node->HasChildren()) {
    std::vector<TCustomFolder*> children;
    node->GetChildFolders(children);
    for (const TCustomFolder* child : children) CountExportItems(child, count, bytes);
  }
}

TExportFolderThreadEx::TExportFolderThreadEx(TFolderTreeList* folders)
    : TOstraThreadBase(kClassName), folders_(folders) {}

TExportFolderThreadEx::~TExportFolderThreadEx() { Stop(); }

void TExportFolderThreadEx::SetExportDate(TDateTime date) {
  std::lock_guard lock(settings_);
  exportDate_ = date;
}

void TExportFolderThreadEx::SetSourceNode(TCustomFolder* node) {
  std::lock_guard lock(settings_);
  source_ = node;
}

void TExportFolderThreadEx::SetDestination(const std::string& path) {
  std::lock_guard lock(settings_);
  destination_ = path;
  while (destination_.size() > 1 && destination_.ends_with('/')) destination_.pop_back();
}

void TExportFolderThreadEx::SetAlbumTypes(uint16_t types) {
  std::lock_guard lock(settings_);
  albumTypes_ = types;
}

void TExportFolderThreadEx::SetFileProgressHandler(FileProgressHandler handler) {
  std::lock_guard lock(settings_);
  fileProgress_ = std::move(handler);
}

void TExportFolderThreadEx::SetAlbums(TAlbumList* albums) {
  std::lock_guard lock(settings_);
  albums_ = albums;
}

std::string TExportFolderThreadEx::ResultFolder() const {
  std::lock_guard lock(settings_);
  return result_;
}

int64_t TExportFolderThreadEx::CopiedBytes() const {
  std::lock_guard lock(settings_);
  return copiedBytes_;
}

void TExportFolderThreadEx::Execute() {
  WorkerPause pause;
  try {
    int32_t count = 0;
    int64_t bytes = 0;
    CountExportItems(source_, count, bytes);
    ProgressStart(static_cast<uint32_t>(count));
    // The clone lives until the tree is written, whatever happens; deleting it takes it out of
    // the items' tags again.
    std::unique_ptr<TAlbum> clone = CreateZenmoaCloneAlbum();
    struct CloneDelete {
      std::unique_ptr<TAlbum>& album;
      ~CloneDelete() {
        if (album) album->Delete();
      }
    } cloneDelete{clone};
    const std::string result = ExportFolder(destination_, source_);
    {
      std::lock_guard lock(settings_);
      result_ = result;
    }
    ProgressEnd(IsTerminated() ? psCancelled : psCompleted);
  } catch (const std::exception& e) {
    ProgressEnd(psFailed);
    LogFailure(std::string(kClassName) + ".Execute", e);
  }
}

std::string TExportFolderThreadEx::ExportFolder(const std::string& parent, TCustomFolder* node) {
  if (IsTerminated() || !node) return {};
  try {
    const std::string path = CreateExportFolder(parent, ExportNodeName(*node, exportDate_));
    if (folders_) {
      if (TFolder* folder = folders_->FolderOf(path)) folder->SetCalendarMode(2);
    }
    std::vector<TCatalogItem*> items;
    node->GetItems(items);
    if (!items.empty()) ExportItems(path, items);
    std::vector<TCustomFolder*> children;
    node->GetChildFolders(children);
    for (TCustomFolder* child : children) ExportFolder(path, child);
    return path;
  } catch (const std::exception& e) {
    RaiseStepError("ExportFolder", e);
  }
}

void TExportFolderThreadEx::ExportItems(const std::string& folder, const std::vector<TCatalogItem*>& items) {
  if (IsTerminated() || items.empty()) return;
  try {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("OstraExportInfo");
    root.append_attribute("ver") = 1;
    pugi::xml_node files = root.append_child("files");
    bool any = false;
    for (TCatalogItem* item : items) {
      if (IsTerminated()) break;
      ProgressStep(1);
      std::error_code ec;
      if (!item || !std::filesystem::is_regular_file(item->FullPath(), ec)) {
        CountError();
        continue;
      }
      const std::string source = item->FullPath();
      const std::string destination = UniqueExportFileName(folder, item->FileName());
      ReportFile(source, destination);
      if (!std::filesystem::copy_file(source, destination, std::filesystem::copy_options::overwrite_existing, ec) ||
          ec) {
        CountError();
        continue;
      }
      CopyFileTimes(source, destination);
      try {
        pugi::xml_node file = files.append_child("file");
        file.append_attribute("name") = destination.substr(destination.rfind('/') + 1).c_str();
        GetNodeDataFromCatalogItem(&file, item, albumTypes_);
      } catch (const std::exception& e) {
        RaiseStepError("AddXmlData", e);
      }
      any = true;
      CountSuccess();
      std::lock_guard lock(settings_);
      copiedBytes_ += PresentSize(item);
    }
    // Written also when a stop ended the loop early: the copies made so far keep their edits.
    if (any) {
      std::ostringstream text;
      doc.save(text, "  ", pugi::format_default, pugi::encoding_utf8);
      WriteFileAtomically(folder + "/" + kExportInfoFileName, text.str());
    }
  } catch (const EExportFolderThreadError&) {
    throw;
  } catch (const std::exception& e) {
    RaiseStepError("ExportItems", e);
  }
}

std::unique_ptr<TAlbum> TExportFolderThreadEx::CreateZenmoaCloneAlbum() {
  try {
    if (!(albumTypes_ & (1u << atZenmoa)) || IsTerminated() || !albums_) return nullptr;
    // The copies' memberships go in as tags of the backup type, so that an importing catalog
    // does not take them for albums of its own import.
    albumTypes_ = static_cast<uint16_t>((albumTypes_ & ~(1u << atZenmoa)) | (1u << atZenmoaBackup));
    TAlbum* root = albums_->Root(atZenmoa);
    if (!root || root->TotalItemCount() <= 0) return nullptr;
    auto clone = std::make_unique<TAlbum>(atZenmoaBackup, root->GetName(), root->SourceText(), TFolderUpdateHandler{});
    clone->SetCaption(root->Caption());
    CreateCloneAlbum(root, clone.get());
    RenameZenmoaClone(clone.get());
    return clone;
  } catch (const EExportFolderThreadError&) {
    throw;
  } catch (const std::exception& e) {
    RaiseStepError("CreateZenmoaCloneAlbum", e);
  }
}

void TExportFolderThreadEx::CreateCloneAlbum(TAlbum* source, TAlbum* target) {
  try {
    if (source->ItemCount() > 0) {
      std::vector<TAlbumItem*> entries;
      source->GetEntries(kCatalogKinds, entries);
      for (TAlbumItem* entry : entries) {
        int32_t group = 0;
        int16_t order = -1;
        TCatalogItem* item = nullptr;
        {
          std::lock_guard lock(source->Lock());
          group = entry->GroupNumber, order = entry->OrderNumber, item = entry->Item;
        }
        if (!item) continue;
        if (TAlbumItem* copy = target->AddItem(item, group)) {
          std::lock_guard lock(target->Lock());
          copy->OrderNumber = order;
        }
      }
    }
    for (TAlbum* child : source->Children()) {
      if (IsTerminated()) break;
      TAlbum* copy = target->FindOrAddChild(child->GetName(), true);
      copy->SetSourceText(child->SourceText());
      copy->SetCaption(child->Caption());
      CreateCloneAlbum(child, copy);
    }
  } catch (const EExportFolderThreadError&) {
    throw;
  } catch (const std::exception& e) {
    RaiseStepError("CreateCloneAlbum", e);
  }
}

void TExportFolderThreadEx::RenameZenmoaClone(TAlbum* album) {
  try {
    // An album without a caption keeps its name (an empty name would be no name at all).
    if (const std::string caption = album->Caption(); !caption.empty()) album->Rename(caption);
    for (TAlbum* child : album->Children()) {
      if (IsTerminated()) break;
      RenameZenmoaClone(child);
    }
  } catch (const EExportFolderThreadError&) {
    throw;
  } catch (const std::exception& e) {
    RaiseStepError("RenameZenmoaClone", e);
  }
}

void TExportFolderThreadEx::ReportFile(const std::string& source, const std::string& destination) {
  FileProgressHandler handler;
  {
    std::lock_guard lock(settings_);
    handler = fileProgress_;
  }
  if (!handler) return;
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (SynchronizeProgress() && ui && !ui->IsUiThread()) ui->RunAndWait([&] { handler(this, source, destination); });
  else handler(this, source, destination);
}

}  // namespace plb
