#include "platform/compact_string.h"

#include <limits>
#include <stdexcept>

namespace plb::platform {

void CompactString::Set(std::string_view text) {
  Clear();
  if (text.size() <= kInlineCapacity) {
    std::memcpy(bytes_, text.data(), text.size());
    bytes_[kTag] = static_cast<char>(text.size());
    return;
  }
  if (text.size() > std::numeric_limits<uint32_t>::max()) throw std::length_error("CompactString: text too long");
  char* data = new char[text.size()];
  std::memcpy(data, text.data(), text.size());
  const auto size = static_cast<uint32_t>(text.size());
  std::memcpy(bytes_, &data, sizeof data);
  std::memcpy(bytes_ + sizeof data, &size, sizeof size);
  bytes_[kTag] = static_cast<char>(kOnHeap);
}

}  // namespace plb::platform
