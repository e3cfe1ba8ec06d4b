#include "engine/model/flash_hints.h"

#include <algorithm>
#include <filesystem>

#include "host/format.h"
#include "platform/atomic_file.h"

namespace plb {
namespace {

// The smallest record of the oldest version: header, four values, flag, current, three lengths.
constexpr uint64_t kMinHintRecordBytes = 4 + 4 + 16 + 2 + 12;

[[noreturn]] void RaiseFrom(const char* operation, const std::exception& e) {
  throw EFlashHintItemsError(Format("%s : %s Raised. (%s)", operation, ClassNameOf(e), MessageOf(e)));
}

}  // namespace

TFlashHintValues TFlashHintItem::Values() const {
  std::lock_guard guard(lock_);
  return values_;
}

void TFlashHintItem::SetValues(const TFlashHintValues& values) {
  std::lock_guard guard(lock_);
  values_ = values;
}

int32_t TFlashHintItem::Id() const {
  std::lock_guard guard(lock_);
  return values_.Id;
}

void TFlashHintItem::SaveToStream(RecordWriter& out) const {
  std::lock_guard guard(lock_);
  out.U32(kHintRecordVersion);
  out.I32(values_.Id);
  for (int32_t v : values_.Values) out.I32(v);
  out.U8(values_.Flag);
  out.U8(values_.Current);
  out.Text(values_.Name);
  out.Text(values_.Text);
  out.Text(values_.ThirdText);
  out.DateTime(values_.FirstShown);
  out.DateTime(values_.LastShown);
  out.I32(values_.Color);
}

void TFlashHintItem::LoadFromStream(RecordReader& in) {
  const uint32_t version = in.U32();
  if (version != kHintRecordVersion0 && version != kHintRecordVersion1 && version != kHintRecordVersion) {
    throw EFlashHintItemsError(Format("Unknown Data (Version=%d)", static_cast<int>(version)));
  }
  TFlashHintValues v;
  v.Id = in.I32();
  for (int32_t& value : v.Values) value = in.I32();
  v.Flag = in.U8();
  v.Current = in.U8();
  v.Name = in.Text();
  v.Text = in.Text();
  v.ThirdText = in.Text();
  if (version >= kHintRecordVersion1) {
    v.FirstShown = in.DateTime();
    v.LastShown = in.DateTime();
  }
  if (version >= kHintRecordVersion) v.Color = in.I32();
  SetValues(v);
}

int TFlashHintItems::Count() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

TFlashHintItem* TFlashHintItems::At(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

TFlashHintItem* TFlashHintItems::Find(int32_t id) const {
  std::lock_guard guard(lock_);
  for (const auto& item : items_) {
    if (item->Id() == id) return item.get();
  }
  return nullptr;
}

TFlashHintItem* TFlashHintItems::Add(const TFlashHintValues& values) {
  std::lock_guard guard(lock_);
  items_.push_back(std::make_unique<TFlashHintItem>(values));
  TFlashHintItem* added = items_.back().get();
  SortLocked();
  return added;
}

void TFlashHintItems::Clear() {
  std::lock_guard guard(lock_);
  items_.clear();
}

void TFlashHintItems::SortLocked() {
  std::stable_sort(items_.begin(), items_.end(), [](const auto& a, const auto& b) { return a->Id() < b->Id(); });
}

void TFlashHintItems::SaveToStream(RecordWriter& out) const {
  try {
    std::lock_guard guard(lock_);
    out.U32(kHintListVersion);
    out.U32(static_cast<uint32_t>(items_.size()));
    for (const auto& item : items_) item->SaveToStream(out);
  } catch (const std::exception& e) {
    RaiseFrom("SaveToStream", e);
  }
}

void TFlashHintItems::LoadFromStream(RecordReader& in) {
  std::lock_guard guard(lock_);
  try {
    items_.clear();
    const uint32_t version = in.U32();
    if (version != kHintListVersion) {
      throw EFlashHintItemsError(Format("Unknown Data. (Version=%d)", static_cast<int>(version)));
    }
    const uint32_t count = in.Count(kMinHintRecordBytes);
    for (uint32_t i = 0; i < count; ++i) {
      // A record that fails is not kept.
      auto item = std::make_unique<TFlashHintItem>();
      item->LoadFromStream(in);
      items_.push_back(std::move(item));
    }
    SortLocked();
  } catch (const std::exception& e) {
    SortLocked();
    RaiseFrom("LoadFromStream", e);
  }
}

void TFlashHintItems::SaveToFile(const std::string& path) const {
  std::string bytes;
  RecordWriter out(bytes);
  SaveToStream(out);
  out.Flush();
  WriteFileAtomically(path, bytes);
}

void TFlashHintItems::LoadFromFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw EFlashHintItemsError(Format("File not exists. (%s)", path));
  }
  RecordReader in = RecordReader::OpenFile(path);
  LoadFromStream(in);
}

}  // namespace plb
