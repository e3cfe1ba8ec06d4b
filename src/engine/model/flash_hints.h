#pragma once
// The animated hints the engine keeps between runs. The engine only stores them: what the four
// values, the flag and the second and third texts mean belongs to the hint display.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/record_stream.h"

namespace plb {

PLB_DECLARE_ERROR(EFlashHintItemsError, Error);

inline constexpr uint32_t kHintListVersion = 0xE001;
inline constexpr uint32_t kHintRecordVersion0 = 0xA000;
inline constexpr uint32_t kHintRecordVersion1 = 0xA001;  // adds first and last shown
inline constexpr uint32_t kHintRecordVersion = 0xA002;   // adds the colour
inline constexpr int32_t kHintDefaultColor = 0x33FF00;

struct TFlashHintValues {
  int32_t Id = 0;
  int32_t Values[4] = {0, 0, 0, 0};
  uint8_t Flag = 0;
  uint8_t Current = 0;  // 1 for the newest hint of its name
  std::string Name;
  std::string Text;
  std::string ThirdText;
  double FirstShown = 0;  // 0: never shown
  double LastShown = 0;
  int32_t Color = kHintDefaultColor;

  bool operator==(const TFlashHintValues&) const = default;
};

class TFlashHintItem {
 public:
  explicit TFlashHintItem(TFlashHintValues values = {}) : values_(std::move(values)) {}
  TFlashHintValues Values() const;
  void SetValues(const TFlashHintValues& values);
  int32_t Id() const;

  void SaveToStream(RecordWriter& out) const;
  // Raises "Unknown Data (Version=%d)" for a record version it does not know.
  void LoadFromStream(RecordReader& in);

 private:
  mutable std::mutex lock_;
  TFlashHintValues values_;
};

class TFlashHintItems {
 public:
  int Count() const;
  // The hint at a position of the list, sorted by identifier after every load.
  TFlashHintItem* At(int index) const;
  TFlashHintItem* Find(int32_t id) const;
  TFlashHintItem* Add(const TFlashHintValues& values);
  void Clear();

  // Errors come out as "%s : %s Raised. (%s)" with the operation, the cause's class and message.
  void SaveToStream(RecordWriter& out) const;
  void LoadFromStream(RecordReader& in);
  // The file replaces the old one whole.
  void SaveToFile(const std::string& path) const;
  // "File not exists. (%s)" when path is missing.
  void LoadFromFile(const std::string& path);

 private:
  void SortLocked();

  mutable std::recursive_mutex lock_;
  std::vector<std::unique_ptr<TFlashHintItem>> items_;
};

}  // namespace plb
