#include "engine/model/album_list.h"

#include <algorithm>

#include "engine/views/name_order.h"
#include "host/date_time.h"
#include "host/engine_error.h"
#include "host/error_forms.h"
#include "host/format.h"
#include "host/log_file.h"

namespace plb {

namespace {

// Runs an operation of the list; a failure comes back as EAlbumListError naming it.
template <class F>
auto Guarded(const char* operation, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::exception& e) {
    throw EAlbumListError(
        Format("%s Raised in %s.%s (%s)", ClassNameOf(e), TAlbumList::ClassName(), operation, MessageOf(e)));
  }
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

TAlbumList::TAlbumList() : master_(std::make_unique<TFolderMaster>(kAlbumMasterName)) {
  for (int type = 0; type < kAlbumTypeCount; ++type) {
    roots_[static_cast<size_t>(type)] = std::make_unique<TAlbum>(static_cast<uint8_t>(type), AlbumTypeName(type),
                                                                 AlbumRootSourceText(type), Forwarder());
  }
}

TAlbumList::~TAlbumList() {
  // The watcher may still hold events of our albums: it goes first.
  master_.reset();
}

TAlbum* TAlbumList::Root(int type) const {
  return type >= 0 && type < kAlbumTypeCount ? roots_[static_cast<size_t>(type)].get() : nullptr;
}

bool TAlbumList::IsRoot(const TCustomFolder* album) const {
  return album && std::any_of(roots_.begin(), roots_.end(), [album](const auto& r) { return r.get() == album; });
}

void TAlbumList::ListupRootAlbums(std::vector<TAlbum*>& out) const {
  out.push_back(Root(atAlbum));
  out.push_back(Root(atFileInfoSearch));
  out.push_back(Root(atTray));
}

TFolderUpdateHandler TAlbumList::Forwarder() {
  return [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) { Forward(node, kind, param); };
}

void TAlbumList::Forward(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
  std::lock_guard guard(handlerLock_);
  if (handler_) handler_(node, kind, param);
}

void TAlbumList::SetAlbumUpdatedProc(const TFolderUpdateHandler& handler) {
  Guarded("SetAlbumUpdatedProc", [&] {
    TFolderUpdateHandler routed = master_->Route(handler);
    {
      std::lock_guard guard(handlerLock_);
      handler_ = std::move(routed);
    }
    std::vector<TAlbum*> shown;
    ListupRootAlbums(shown);
    for (TAlbum* root : shown) root->SetUpdateHandler(handler ? Forwarder() : nullptr);
  });
}

void TAlbumList::SeparateAlbumPathLines(const std::string& text, std::vector<std::string>& out) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == '\\') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != '\\') ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
}

TAlbum* TAlbumList::GetAlbumFromPath(const std::string& path) const {
  std::vector<std::string> parts;
  SeparateAlbumPathLines(path, parts);
  if (parts.empty()) return nullptr;
  TAlbum* album = nullptr;
  for (const auto& root : roots_) {
    if (FoldCase(root->GetName()) == FoldCase(parts[0])) {
      album = root.get();
      break;
    }
  }
  for (size_t i = 1; album && i < parts.size(); ++i) album = FindChildAlbumFromName(album, parts[i]);
  return album;
}

TAlbum* TAlbumList::GetAlbumFromPathEx(int type, const std::string& path, bool create) {
  return Guarded("GetAlbumFromPathEx", [&] {
    std::vector<std::string> parts;
    SeparateAlbumPathLines(path, parts);
    TAlbum* album = Root(type);
    for (size_t i = 0; album && i < parts.size(); ++i) album = album->FindOrAddChild(parts[i], create);
    return album;
  });
}

TAlbum* TAlbumList::FindChildAlbumFromName(const TAlbum* album, const std::string& name) {
  return album ? album->FindChild(name) : nullptr;
}

TAlbum* TAlbumList::CreateAlbum(TAlbum* parent, int type, const std::string& sourceText, const std::string& name) {
  return Guarded("CreateAlbum", [&] {
    if (!parent) throw EAlbumListError("親アルバムが指定されていません。");
    return parent->AddChild(std::make_unique<TAlbum>(static_cast<uint8_t>(type), name, sourceText, Forwarder()));
  });
}

TAlbum* TAlbumList::CopyAlbum(TAlbum* target, TAlbum* source, bool recursive) {
  try {
    if (!source) return nullptr;
    TAlbum* copy = CreateAlbum(target, source->AlbumType(), source->SourceText(), source->GetName());
    std::vector<TAlbumItem*> entries;
    source->GetEntries(kCatalogKinds, entries);
    for (TAlbumItem* entry : entries) {
      TCatalogItem* item;
      int32_t group;
      {
        std::lock_guard guard(source->Lock());
        item = entry->Item;
        group = entry->GroupNumber;
      }
      copy->AppendItem(item, group);
    }
    copy->SortItems(false);
    if (recursive) {
      for (TAlbum* child : source->Children()) {
        if (!CopyAlbum(copy, child, true)) return nullptr;
      }
    }
    return copy;
  } catch (const std::exception& e) {
    LogException("TAlbumList.CopyAlbum", e);
    return nullptr;
  }
}

bool TAlbumList::CleanUpChilds(TAlbum* album) {
  return Guarded("CleanUpChilds", [&] {
    if (!album || IsRoot(album) || album->HasChildren()) return false;
    album->Delete();
    return true;
  });
}

int TAlbumList::DeleteAlbumEx(TAlbum* album, int type) {
  return Guarded("DeleteAlbumEx", [&] {
    if (!album) return 0;
    int deleted = 0;
    for (TAlbum* child : album->Children()) deleted += DeleteAlbumEx(child, type);
    if ((type == atUnknown || type == album->AlbumType()) && CleanUpChilds(album)) ++deleted;
    return deleted;
  });
}

void TAlbumList::SaveToStream(RecordWriter& out) {
  Guarded("SaveToStream", [&] {
    out.U32(kAlbumBlockVersion);
    out.U32(0);
    out.DateTime(Now());
    for (const auto& root : roots_) root->SaveToStream(out);
  });
}

void TAlbumList::LoadFromStream(RecordReader& in) {
  const uint32_t version = Guarded("LoadFromStream", [&] { return in.U32(); });
  if (version >= kAlbumBlockVersion) {
    Guarded("LoadFromStream", [&] {
      in.U32();
      in.DateTime();
      for (int type = 0; type < kAlbumTypeCount; ++type) {
        Root(type)->LoadFromStream(in, 0, type);
      }
    });
    return;
  }
  // The earliest layout: a count of flat albums, each placed under the root of its type; the
  // first record that fails to read ends the block with what was read.
  uint32_t count = 0;
  try {
    count = in.U32();
    in.DateTime();
  } catch (const std::exception&) {
    return;
  }
  for (uint32_t i = 0; i < count && !in.AtEnd(); ++i) {
    std::unique_ptr<TAlbum> album;
    try {
      album = LoadOldAlbumRecord(in, Forwarder());
    } catch (const std::exception&) {
      break;
    }
    Root(album->AlbumType())->AddChild(std::move(album));
  }
}

void TAlbumList::SetupFromIDList(const std::vector<TCatalogItem*>& index) {
  Guarded("SetupFromIDList", [&] {
    std::lock_guard guard(listLock_);
    for (const auto& root : roots_) root->ResolveEntries(index);
  });
}

TAlbum* CreateNewTrayAlbum(TAlbumList& list) {
  try {
    TAlbum* tray = list.CreateAlbum(list.Root(atTray), atTray, "作業用トレイ", "OstraTray");
    // The tray panel shows the caption.
    tray->SetCaption("作業用トレイ");
    return tray;
  } catch (const std::exception& e) {
    const std::string text = ErrorOccurredText("CreateNewTrayAlbum", e);
    WriteLog("EOstraEngineError\r\n" + Trimmed(text));
    throw EOstraEngineError(text);
  }
}

}  // namespace plb
