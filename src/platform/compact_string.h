#pragma once
// An immutable-in-place text of sixteen bytes for objects kept by the million (the names of
// catalog items): up to fifteen bytes are held inline, longer texts in one exact heap block. A
// std::string takes thirty-two bytes for the same fifteen.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace plb::platform {

class CompactString {
 public:
  CompactString() { Clear(); }
  explicit CompactString(std::string_view text) { Set(text); }
  CompactString(const CompactString& other) { Set(other.View()); }
  CompactString(CompactString&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.Clear();
  }
  CompactString& operator=(const CompactString& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  CompactString& operator=(CompactString&& other) noexcept {
    if (this != &other) {
      Release();
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
      other.Clear();
    }
    return *this;
  }
  CompactString& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  ~CompactString() { Release(); }

  void Assign(std::string_view text) {
    if (text == View()) return;
    // The text may lie inside our own block: the new one is made before the old one goes.
    CompactString fresh(text);
    *this = std::move(fresh);
  }

  std::string_view View() const {
    if (OnHeap()) {
      const char* data;
      uint32_t size;
      std::memcpy(&data, bytes_, sizeof data);
      std::memcpy(&size, bytes_ + sizeof data, sizeof size);
      return {data, size};
    }
    return {bytes_, static_cast<size_t>(static_cast<uint8_t>(bytes_[kTag]))};
  }
  operator std::string_view() const { return View(); }  // NOLINT: a view is what callers want
  std::string Str() const { return std::string(View()); }
  size_t size() const { return View().size(); }
  bool empty() const { return View().empty(); }

  friend bool operator==(const CompactString& a, const CompactString& b) { return a.View() == b.View(); }
  friend bool operator==(const CompactString& a, std::string_view b) { return a.View() == b; }

 private:
  static constexpr size_t kTag = 15;  // inline: the length (0 to 15); kOnHeap: in a heap block
  static constexpr uint8_t kOnHeap = 0xFF;
  static constexpr size_t kInlineCapacity = 15;

  bool OnHeap() const { return static_cast<uint8_t>(bytes_[kTag]) == kOnHeap; }
  void Clear() { std::memset(bytes_, 0, sizeof bytes_); }
  void Release() {
    if (OnHeap()) {
      char* data;
      std::memcpy(&data, bytes_, sizeof data);
      delete[] data;
    }
  }
  // Only on a cleared or released object.
  void Set(std::string_view text);

  char bytes_[16];
};

static_assert(sizeof(CompactString) == 16);

}  // namespace plb::platform
