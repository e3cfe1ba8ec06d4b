#include "engine/model/custom_folder.h"

#include "host/format.h"

namespace plb {

uint8_t FolderClassOfKind(uint8_t kind) {
  if (kind <= 2) return 1;
  if (kind <= 5) return 2;
  if (kind <= 9) return 3;
  return 0;
}

int32_t TCustomFolder::TotalItemCount() const {
  std::vector<TCustomFolder*> children;
  GetChildFolders(children);
  int32_t total = ItemCount();
  for (TCustomFolder* child : children) total += child->TotalItemCount();
  return total;
}

int32_t TCustomFolder::TotalItemCountOf(TKindSet kinds) const {
  if (kinds == 0) return 0;
  std::vector<TCustomFolder*> children;
  GetChildFolders(children);
  int32_t total = ItemCountOf(kinds);
  for (TCustomFolder* child : children) total += child->TotalItemCountOf(kinds);
  return total;
}

int32_t TCustomFolder::TotalMarkedCount() const {
  std::vector<TCustomFolder*> children;
  GetChildFolders(children);
  int32_t total = MarkedCount();
  for (TCustomFolder* child : children) total += child->TotalMarkedCount();
  return total;
}

int TCustomFolder::GetCalendarMode() const {
  std::lock_guard guard(lock_);
  if (options_ & foCalendarRegistered) return 1;
  if (options_ & foCalendarRemoved) return 2;
  return 0;
}

void TCustomFolder::SetCalendarMode(int mode) {
  std::lock_guard guard(lock_);
  options_ &= static_cast<uint8_t>(~(foCalendarRegistered | foCalendarRemoved));
  if (mode == 1) options_ |= foCalendarRegistered;
  if (mode == 2) options_ |= foCalendarRemoved;
}

void TCustomFolder::SetUpdateHandler(const TFolderUpdateHandler& handler) {
  StoreHandler(handler);
  std::vector<TCustomFolder*> nodes;
  GetChildFolders(nodes);
  GetOtherChildren(nodes);
  for (TCustomFolder* node : nodes) node->SetUpdateHandler(handler);
}

void TCustomFolder::StoreHandler(const TFolderUpdateHandler& handler) {
  std::lock_guard guard(lock_);
  handler_ = handler;
}

TFolderUpdateHandler TCustomFolder::UpdateHandler() const {
  std::lock_guard guard(lock_);
  return handler_;
}

void TCustomFolder::Notify(TFolderUpdatedType kind, TFolderEventParam param) {
  TFolderUpdateHandler handler = UpdateHandler();
  if (handler) handler(this, kind, param);
}

void TCustomFolder::LoadOptionsFromStream(RecordReader& in) {
  const uint8_t flags = in.U8();
  std::lock_guard guard(lock_);
  options_ = flags;
}

void TCustomFolder::SaveOptionsToStream(RecordWriter& out) {
  out.U8(Options());
}

void TCustomFolder::SearchFilesEx(std::vector<TCatalogItem*>*) {
  throw ECustomFolderError(Format("%s では SearchFilesEx はサポートされていません。", ClassName()));
}

void TCustomFolder::SearchFilesEx(TKindSet, std::vector<TCatalogItem*>*) {
  throw ECustomFolderError(Format("%s では SearchFilesEx はサポートされていません。", ClassName()));
}

uint8_t TCustomFolder::Options() const {
  std::lock_guard guard(lock_);
  return options_;
}

bool TCustomFolder::Option(uint8_t bit) const {
  return (Options() & bit) != 0;
}

void TCustomFolder::SetOption(uint8_t bit, bool on) {
  std::lock_guard guard(lock_);
  options_ = on ? static_cast<uint8_t>(options_ | bit) : static_cast<uint8_t>(options_ & ~bit);
}

int32_t TCustomFolder::AlbumValue() const {
  std::lock_guard guard(lock_);
  return albumValue_;
}

void TCustomFolder::SetAlbumValue(int32_t v) {
  std::lock_guard guard(lock_);
  albumValue_ = v;
}

int32_t TCustomFolder::CachedItemCount() const {
  std::lock_guard guard(lock_);
  return itemCount_;
}
int32_t TCustomFolder::CachedMarkedCount() const {
  std::lock_guard guard(lock_);
  return markedCount_;
}
int32_t TCustomFolder::CachedTotalItemCount() const {
  std::lock_guard guard(lock_);
  return totalItemCount_;
}
int32_t TCustomFolder::CachedTotalMarkedCount() const {
  std::lock_guard guard(lock_);
  return totalMarkedCount_;
}

bool TCustomFolder::IsCalendarTotalKind() const {
  const uint8_t kind = Kind();
  return kind >= kKindCalendarMonth && kind <= kKindCalendarRoot;
}

bool TCustomFolder::RefreshCounts(bool notify) {
  const bool totals = IsCalendarTotalKind();
  const int32_t items = totals ? TotalItemCount() : ItemCount();
  const int32_t marked = totals ? TotalMarkedCount() : MarkedCount();
  {
    std::lock_guard guard(lock_);
    if (items == itemCount_ && marked == markedCount_) return false;
    itemCount_ = items;
    markedCount_ = marked;
  }
  if (notify) Notify(futCountsChanged, 0);
  return true;
}

bool TCustomFolder::RefreshTotalCounts(bool notify) {
  int32_t items = 0, marked = 0;
  if (!IsCalendarTotalKind()) {
    RefreshCounts(false);
    items = CachedItemCount();
    marked = CachedMarkedCount();
  }
  if (Kind() != kKindCalendarDay) {
    std::vector<TCustomFolder*> children;
    GetChildFolders(children);
    for (TCustomFolder* child : children) {
      child->RefreshTotalCounts(notify);
      items += child->CachedTotalItemCount();
      marked += child->CachedTotalMarkedCount();
    }
  }
  {
    std::lock_guard guard(lock_);
    if (items == totalItemCount_ && marked == totalMarkedCount_) return false;
    totalItemCount_ = items;
    totalMarkedCount_ = marked;
  }
  if (notify) Notify(futCountsChanged, 0);
  return true;
}

}  // namespace plb
