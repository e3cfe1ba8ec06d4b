#include "engine/model/album.h"

#include <algorithm>
#include <functional>

#include "engine/views/name_order.h"
#include "host/format.h"

namespace plb {

namespace {

constexpr size_t kFlushThreshold = 204800;
constexpr uint16_t kAdjustmentSize = sizeof(TColorAdjustment);

bool SameName(std::string_view a, std::string_view b) {
  return FoldCase(a) == FoldCase(b);
}

bool EntryBefore(const std::unique_ptr<TAlbumItem>& a, const std::unique_ptr<TAlbumItem>& b) {
  return std::less<const TCatalogItem*>()(a->Item, b->Item);
}

// The place of item among entries sorted by item: (index, found).
std::pair<size_t, bool> Search(const std::vector<std::unique_ptr<TAlbumItem>>& entries, const TCatalogItem* item) {
  auto it = std::lower_bound(entries.begin(), entries.end(), item, [](const auto& e, const TCatalogItem* i) {
    return std::less<const TCatalogItem*>()(e->Item, i);
  });
  return {static_cast<size_t>(it - entries.begin()), it != entries.end() && (*it)->Item == item};
}

}  // namespace

std::string AlbumTypeName(int type) {
  static const char* const kNames[kAlbumTypeCount] = {
      "アルバム",     "類似画像検索", "File情報検索", "同位置検索", "インデックス検索",
      "Exif情報検索", "トレイ",       "ゼンモア",     "タグ",       "ゼンモアbackup",
      "WORK4",        "WORK5",        "WORK6",        "不明"};
  return type >= 0 && type < kAlbumTypeCount ? kNames[type] : "Error";
}

std::string AlbumRootSourceText(int type) {
  return AlbumTypeName(type) + "を格納します。";
}

TAlbum::TAlbum(uint8_t type, std::string name, std::string sourceText, const TFolderUpdateHandler& handler)
    : type_(type), name_(std::move(name)), sourceText_(std::move(sourceText)) {
  StoreHandler(handler);
}

TAlbum::~TAlbum() = default;

uint8_t TAlbum::Kind() const {
  const uint8_t type = AlbumType();
  return (type == atSimilarSearch || type == atSamePositionSearch) ? 4 : 3;
}

std::string TAlbum::GetName() const {
  std::lock_guard guard(lock_);
  return name_;
}

std::string TAlbum::GetFullName() const {
  TAlbum* parent = Parent();
  return parent ? parent->GetFullName() + "\\" + GetName() : GetName();
}

bool TAlbum::HasChildren() const {
  std::lock_guard guard(lock_);
  return !children_.empty();
}

TCustomFolder* TAlbum::GetParent() const {
  return Parent();
}

TAlbum* TAlbum::Parent() const {
  std::lock_guard guard(lock_);
  return parent_;
}

uint8_t TAlbum::AlbumType() const {
  std::lock_guard guard(lock_);
  return type_;
}

int32_t TAlbum::ItemCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int32_t>(entries_.size());
}

int32_t TAlbum::ItemCountOf(TKindSet kinds) const {
  std::lock_guard guard(lock_);
  int32_t count = 0;
  for (const auto& e : entries_) {
    if (e->Item && KindInSet(e->Item->Kind(), kinds)) ++count;
  }
  return count;
}

int32_t TAlbum::MarkedCount() const {
  std::lock_guard guard(lock_);
  int32_t count = 0;
  for (const auto& e : entries_) {
    if (e->Item && e->Item->Mark()) ++count;
  }
  return count;
}

bool TAlbum::IsDescendantOf(const TCustomFolder* node) const {
  if (!node) return false;
  for (TAlbum* p = Parent(); p; p = p->Parent()) {
    if (p == node) return true;
  }
  return false;
}

void TAlbum::GetChildFolders(std::vector<TCustomFolder*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& child : children_) {
    if (child->AlbumType() < kAlbumTypeCount) out.push_back(child.get());
  }
}

void TAlbum::GetOtherChildren(std::vector<TCustomFolder*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& child : removedChildren_) out.push_back(child.get());
}

void TAlbum::GetItems(std::vector<TCatalogItem*>& out) const {
  GetItemsOf(0xFFFFFFFF, out);
}

void TAlbum::GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const {
  const_cast<TAlbum*>(this)->Purge();
  std::lock_guard guard(lock_);
  for (const auto& e : entries_) {
    if (!KindInSet(e->Item->Kind(), kinds)) continue;
    e->Item->SetGroupNumber(e->GroupNumber);
    e->Item->SetSequence(static_cast<uint16_t>(e->OrderNumber));
    out.push_back(e->Item);
  }
}

std::string TAlbum::Caption() const {
  std::lock_guard guard(lock_);
  return caption_;
}

std::string TAlbum::SourceText() const {
  std::lock_guard guard(lock_);
  return sourceText_;
}

std::string TAlbum::HostName() const {
  std::lock_guard guard(lock_);
  return hostName_;
}

TFolder* TAlbum::LinkedFolder() const {
  std::lock_guard guard(lock_);
  return linkedFolder_;
}

void TAlbum::SetLinkedFolder(TFolder* folder) {
  std::lock_guard guard(lock_);
  linkedFolder_ = folder;
}

bool TAlbum::InWork() const {
  std::lock_guard guard(lock_);
  return inWork_;
}

void TAlbum::SetInWork(bool on) {
  std::lock_guard guard(lock_);
  inWork_ = on;
}

std::string TAlbum::UniqueName(const std::string& wanted) const {
  std::string base = wanted;
  std::replace(base.begin(), base.end(), '\\', '-');
  TAlbum* parent = Parent();
  if (!parent) return base;
  const std::vector<TAlbum*> siblings = parent->Children();
  auto taken = [&](const std::string& name) {
    return std::any_of(siblings.begin(), siblings.end(),
                       [&](TAlbum* s) { return s != this && SameName(s->GetName(), name); });
  };
  std::string name = base;
  for (int n = 1; taken(name); ++n) name = Format("%s(%d)", base, n);
  return name;
}

void TAlbum::Rename(const std::string& name) {
  const std::string unique = UniqueName(name);
  {
    std::lock_guard guard(lock_);
    if (SameName(unique, name_)) return;
    name_ = unique;
  }
  Notify(futRenamed, 0);
}

void TAlbum::SetParent(TAlbum* parent) {
  TAlbum* previous = Parent();
  if (parent == previous) return;
  if (!previous || !parent) throw EAlbumListError(Format("アルバム \"%s\" は移動できません。", GetName()));
  if (parent == this || parent->IsDescendantOf(this)) {
    throw EAlbumListError(Format("アルバム \"%s\" をその下位のアルバムへ移動することはできません。", GetName()));
  }
  std::unique_ptr<TAlbum> self = previous->TakeChild(this);
  {
    std::lock_guard guard(lock_);
    parent_ = parent;
  }
  if (self) {
    std::lock_guard guard(parent->lock_);
    parent->children_.push_back(std::move(self));
  }
  Notify(futParentChanged, reinterpret_cast<TFolderEventParam>(static_cast<TCustomFolder*>(previous)));
  const std::string unique = UniqueName(GetName());
  if (unique != GetName()) {
    {
      std::lock_guard guard(lock_);
      name_ = unique;
    }
    Notify(futRenamed, 0);
  }
}

std::unique_ptr<TAlbum> TAlbum::TakeChild(TAlbum* child) {
  std::lock_guard guard(lock_);
  auto it = std::find_if(children_.begin(), children_.end(), [child](const auto& c) { return c.get() == child; });
  if (it == children_.end()) return nullptr;
  std::unique_ptr<TAlbum> taken = std::move(*it);
  children_.erase(it);
  return taken;
}

void TAlbum::SetCaption(const std::string& text) {
  {
    std::lock_guard guard(lock_);
    if (caption_ == text) return;
    caption_ = text;
  }
  Notify(futCaptionChanged, 0);
}

void TAlbum::SetSourceText(const std::string& text) {
  {
    std::lock_guard guard(lock_);
    if (sourceText_ == text) return;
    sourceText_ = text;
  }
  Notify(futSourceChanged, 0);
}

void TAlbum::SetHostName(const std::string& text) {
  std::lock_guard guard(lock_);
  hostName_ = text;
}

TAlbum* TAlbum::FindChild(const std::string& name) const {
  std::lock_guard guard(lock_);
  for (const auto& child : children_) {
    if (SameName(child->GetName(), name)) return child.get();
  }
  return nullptr;
}

TAlbum* TAlbum::FindOrAddChild(const std::string& name, bool create) {
  if (TAlbum* child = FindChild(name)) return child;
  if (!create) return nullptr;
  return AddChild(std::make_unique<TAlbum>(AlbumType(), name, "", UpdateHandler()));
}

TAlbum* TAlbum::AddChild(std::unique_ptr<TAlbum> child) {
  TAlbum* raw = child.get();
  {
    std::lock_guard guard(raw->lock_);
    raw->parent_ = this;
  }
  {
    std::lock_guard guard(lock_);
    children_.push_back(std::move(child));
  }
  const std::string unique = raw->UniqueName(raw->GetName());
  {
    std::lock_guard guard(raw->lock_);
    raw->name_ = unique;
  }
  raw->Notify(futCreated, 0);
  return raw;
}

TAlbum* TAlbum::FirstChild() const {
  std::lock_guard guard(lock_);
  return children_.empty() ? nullptr : children_.front().get();
}

TAlbum* TAlbum::NextChild(const TAlbum* child) const {
  std::lock_guard guard(lock_);
  for (size_t i = 0; i + 1 < children_.size(); ++i) {
    if (children_[i].get() == child) return children_[i + 1].get();
  }
  return nullptr;
}

std::vector<TAlbum*> TAlbum::Children() const {
  std::lock_guard guard(lock_);
  std::vector<TAlbum*> out;
  for (const auto& child : children_) out.push_back(child.get());
  return out;
}

TAlbumItem* TAlbum::InsertEntryLocked(TCatalogItem* item, size_t place) {
  auto entry = std::make_unique<TAlbumItem>();
  entry->Item = item;
  TAlbumItem* raw = entry.get();
  entries_.insert(entries_.begin() + static_cast<long>(place), std::move(entry));
  return raw;
}

TAlbumItem* TAlbum::AddItem(TCatalogItem* item, int32_t group) {
  if (!item || item->State() == cisDeleted) return nullptr;
  TAlbumItem* entry;
  {
    std::lock_guard guard(lock_);
    auto [place, found] = Search(entries_, item);
    if (found) {
      entry = entries_[place].get();
    } else {
      entry = InsertEntryLocked(item, place);
      item->AddTag(this);
    }
    entry->RecordNumber = item->RecordNumber();
    entry->GroupNumber = group;
  }
  return entry;
}

TAlbumItem* TAlbum::AppendItem(TCatalogItem* item, int32_t group) {
  if (!item) return nullptr;
  TAlbumItem* entry;
  {
    std::lock_guard guard(lock_);
    entry = InsertEntryLocked(item, entries_.size());
    entry->RecordNumber = item->RecordNumber();
    entry->GroupNumber = group;
    item->AddTag(this);
  }
  return entry;
}

int TAlbum::RemoveItem(TCatalogItem* item) {
  if (!item) return -1;
  size_t place;
  {
    std::lock_guard guard(lock_);
    bool found;
    std::tie(place, found) = Search(entries_, item);
    if (!found) {
      // Entries appended for a bulk copy may not be sorted yet.
      auto it = std::find_if(entries_.begin(), entries_.end(), [item](const auto& e) { return e->Item == item; });
      if (it == entries_.end()) return -1;
      place = static_cast<size_t>(it - entries_.begin());
    }
    removedEntries_.push_back(std::move(entries_[place]));
    entries_.erase(entries_.begin() + static_cast<long>(place));
    item->RemoveTag(this);
  }
  return static_cast<int>(place);
}

void TAlbum::ClearItems() {
  std::lock_guard guard(lock_);
  for (auto& e : entries_) {
    if (e->Item) e->Item->RemoveTag(this);
    removedEntries_.push_back(std::move(e));
  }
  entries_.clear();
}

TAlbumItem* TAlbum::FindEntry(TCatalogItem* item) const {
  std::lock_guard guard(lock_);
  auto [place, found] = Search(entries_, item);
  return found ? entries_[place].get() : nullptr;
}

void TAlbum::GetEntries(TKindSet kinds, std::vector<TAlbumItem*>& out) {
  Purge();
  std::lock_guard guard(lock_);
  for (const auto& e : entries_) {
    if (KindInSet(e->Item->Kind(), kinds)) out.push_back(e.get());
  }
}

int TAlbum::EntryCount() const {
  return ItemCount();
}

int TAlbum::RemovedEntryCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(removedEntries_.size());
}

void TAlbum::SortEntriesLocked() {
  std::stable_sort(entries_.begin(), entries_.end(), EntryBefore);
}

void TAlbum::SortItems(bool recursive) {
  {
    std::lock_guard guard(lock_);
    SortEntriesLocked();
  }
  if (!recursive) return;
  for (TAlbum* child : Children()) child->SortItems(true);
}

void TAlbum::Purge() {
  std::lock_guard guard(lock_);
  for (size_t i = entries_.size(); i-- > 0;) {
    TCatalogItem* item = entries_[i]->Item;
    if (item && item->State() != cisDeleted) continue;
    // An item deleted while it was being added keeps no tag of an entry that is gone.
    if (item) item->RemoveTag(this);
    removedEntries_.push_back(std::move(entries_[i]));
    entries_.erase(entries_.begin() + static_cast<long>(i));
  }
}

void TAlbum::Delete() {
  for (TAlbum* child : Children()) child->Delete();
  ClearItems();
  TAlbum* parent = Parent();
  if (parent) {
    std::unique_ptr<TAlbum> self = parent->TakeChild(this);
    if (self) {
      std::lock_guard guard(parent->lock_);
      parent->removedChildren_.push_back(std::move(self));
    }
  }
  Notify(futDeleted, 0);
}

// Records.

void TAlbum::SaveToStream(RecordWriter& out) {
  Purge();
  {
    std::lock_guard guard(lock_);
    out.U32(kAlbumRecordVersion);
    out.U8(type_);
    out.Text(name_);
    out.Text(sourceText_);
    out.Text(caption_);
    out.Text(hostName_);
  }
  SaveOptionsToStream(out);
  out.I32(AlbumValue());
  {
    std::lock_guard guard(lock_);
    out.U32(static_cast<uint32_t>(entries_.size()));
    for (const auto& e : entries_) {
      e->RecordNumber = e->Item->RecordNumber();
      out.I32(e->RecordNumber);
      out.I32(e->GroupNumber);
      out.I16(e->OrderNumber);
      out.Text(e->ResourceUuid);
      out.I32(e->Orientation);
      out.U16(kAdjustmentSize);
      out.Bytes(&e->ColorAdjustment, kAdjustmentSize);
      out.Text(e->Comment);
    }
  }
  out.FlushIfAbove(kFlushThreshold);
  const std::vector<TAlbum*> children = Children();
  out.U32(static_cast<uint32_t>(children.size()));
  for (TAlbum* child : children) child->SaveToStream(out);
}

namespace {

// The smallest entry of each record form, for the count check.
uint64_t MinEntryBytes(uint32_t version) {
  if (version >= 0x900) return 24;
  if (version >= 0x800) return 18;
  return 10;
}

}  // namespace

void TAlbum::LoadEntries(RecordReader& in, uint32_t version) {
  const uint32_t count = in.Count(MinEntryBytes(version));
  for (uint32_t i = 0; i < count; ++i) {
    auto entry = std::make_unique<TAlbumItem>();
    entry->RecordNumber = in.I32();
    entry->GroupNumber = in.I32();
    entry->OrderNumber = in.I16();
    if (version >= 0x800) {
      entry->ResourceUuid = in.Text();
      entry->Orientation = in.I32();
    }
    if (version >= 0x900) {
      // Writers store 28 bytes; a longer block keeps its first 28.
      const uint16_t size = in.U16();
      const uint16_t kept = std::min(size, kAdjustmentSize);
      in.Read(&entry->ColorAdjustment, kept);
      in.Skip(size - kept);
      entry->Comment = in.Text();
    }
    AppendLoadedEntry(std::move(entry));
  }
}

void TAlbum::LoadFromStream(RecordReader& in, int depth, int rootType) {
  if (depth > kMaxAlbumDepth) in.Fail("album records nested too deep");
  const uint32_t version = in.PeekU32();
  if (version < 12 && rootType >= 0) in.Fail("album root record of an old form");
  if (version < 12) {
    std::unique_ptr<TAlbum> old = LoadOldAlbumRecord(in, UpdateHandler());
    std::lock_guard guard(lock_);
    type_ = old->type_;
    name_ = old->name_;
    sourceText_ = old->sourceText_;
    for (auto& e : old->entries_) entries_.push_back(std::move(e));
    return;
  }
  in.U32();
  const uint8_t type = in.U8();
  if (rootType >= 0 && type != rootType) in.Fail("album root record of another type");
  std::string name = in.Text();
  std::string source = in.Text();
  std::string caption = version >= 0x700 ? in.Text() : std::string();
  std::string host = version >= 0x1000 ? in.Text() : std::string();
  {
    std::lock_guard guard(lock_);
    type_ = type;
    name_ = std::move(name);
    sourceText_ = std::move(source);
    caption_ = std::move(caption);
    hostName_ = std::move(host);
  }
  LoadOptionsFromStream(in);
  if (version >= 13) SetAlbumValue(in.I32());
  LoadEntries(in, version);
  const uint32_t children = in.Count(4);
  for (uint32_t i = 0; i < children; ++i) {
    auto child = std::make_unique<TAlbum>(atUnknown, "", "", UpdateHandler());
    TAlbum* raw = child.get();
    {
      std::lock_guard guard(raw->lock_);
      raw->parent_ = this;
    }
    {
      std::lock_guard guard(lock_);
      children_.push_back(std::move(child));
    }
    raw->LoadFromStream(in, depth + 1);
  }
}

std::unique_ptr<TAlbum> LoadOldAlbumRecord(RecordReader& in, const TFolderUpdateHandler& handler) {
  const uint32_t version = in.U32();
  if (version < 10 || version > 12) in.Fail(Format("unknown album record version %d", static_cast<int64_t>(version)));
  uint8_t type = in.U8();
  // A type no root has would place the album nowhere.
  if (type >= kAlbumTypeCount) type = atUnknown;
  const uint32_t count = in.Count(version == 10 ? 8 : 10);
  std::string name = in.Text();
  std::string source = in.Text();
  auto album = std::make_unique<TAlbum>(type, std::move(name), std::move(source), handler);
  for (uint32_t i = 0; i < count; ++i) {
    auto entry = std::make_unique<TAlbumItem>();
    entry->RecordNumber = in.I32();
    entry->GroupNumber = in.I32();
    if (version != 10) entry->OrderNumber = in.I16();
    album->AppendLoadedEntry(std::move(entry));
  }
  return album;
}

void TAlbum::AppendLoadedEntry(std::unique_ptr<TAlbumItem> entry) {
  std::lock_guard guard(lock_);
  entries_.push_back(std::move(entry));
}

void TAlbum::ResolveEntries(const std::vector<TCatalogItem*>& index) {
  {
    std::lock_guard guard(lock_);
    for (auto& e : entries_) {
      const int32_t n = e->RecordNumber;
      if (n >= 0 && static_cast<size_t>(n) < index.size()) e->Item = index[static_cast<size_t>(n)];
    }
    for (size_t i = entries_.size(); i-- > 0;) {
      if (entries_[i]->Item) continue;
      removedEntries_.push_back(std::move(entries_[i]));
      entries_.erase(entries_.begin() + static_cast<long>(i));
    }
    SortEntriesLocked();
    // Two records naming one item would leave an entry behind when the item is taken out.
    for (size_t i = entries_.size(); i-- > 1;) {
      if (entries_[i]->Item != entries_[i - 1]->Item) continue;
      removedEntries_.push_back(std::move(entries_[i]));
      entries_.erase(entries_.begin() + static_cast<long>(i));
    }
    for (const auto& e : entries_) e->Item->AddTag(this);
  }
  for (TAlbum* child : Children()) child->ResolveEntries(index);
}

}  // namespace plb
