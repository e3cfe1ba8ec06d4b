#include "engine/views/drag_data.h"

#include <unistd.h>

#include <map>
#include <mutex>
#include <random>
#include <span>

#include "engine/model/album.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/folder.h"
#include "platform/byte_reader.h"

namespace plb {
namespace {

constexpr size_t kPrivateSize = 4 + 8 + 4 + 4;

struct Registered {
  TCustomFolder* source;
  int32_t extraValue;
  std::vector<TCatalogItem*> items;
};

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::map<uint64_t, Registered>& Registry() {
  static std::map<uint64_t, Registered> registry;
  return registry;
}

uint64_t NewToken() {
  static std::mt19937_64 generator{std::random_device{}()};
  std::lock_guard guard(RegistryLock());
  uint64_t token;
  do {
    token = generator();
  } while (token == 0 || Registry().count(token));
  return token;
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutU64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The registered drag a payload of this process names; false otherwise.
bool Lookup(std::string_view bytes, Registered& out) {
  if (bytes.size() != kPrivateSize) return false;
  try {
    ByteReader in(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (in.U32() != static_cast<uint32_t>(::getpid())) return false;
    const uint64_t token = in.U64();
    std::lock_guard guard(RegistryLock());
    auto it = Registry().find(token);
    if (it == Registry().end()) return false;
    out = it->second;
    return true;
  } catch (const EReadError&) {
    return false;
  }
}

}  // namespace

TItemDataObject::TItemDataObject(TCustomFolder* source, int32_t extraValue, std::vector<TCatalogItem*> items)
    : token_(NewToken()), source_(source), extraValue_(extraValue), items_(std::move(items)) {
  std::erase(items_, nullptr);
  std::lock_guard guard(RegistryLock());
  Registry()[token_] = {source_, extraValue_, items_};
}

TItemDataObject::~TItemDataObject() {
  std::lock_guard guard(RegistryLock());
  Registry().erase(token_);
}

std::vector<std::string> TItemDataObject::FilePaths() const {
  std::vector<std::string> paths;
  for (TCatalogItem* item : items_) paths.push_back(item->FullPath());
  if (!items_.empty() || !source_) return paths;
  if (source_->Kind() == kKindFolder) {
    paths.push_back(source_->GetFullName());
  } else if (source_->AlbumType() == atZenmoaBackup) {
    paths.push_back(static_cast<TAlbum*>(source_)->SourceText());
  }
  return paths;
}

std::string TItemDataObject::FileListBytes() const {
  std::string out;
  PutU32(out, 20);  // offset of the list
  PutU32(out, 0);   // drop point
  PutU32(out, 0);
  PutU32(out, 1);  // non-client
  PutU32(out, 0);  // narrow characters
  for (const std::string& path : FilePaths()) {
    out += path;
    out.push_back('\0');
  }
  out.push_back('\0');
  return out;
}

const char* TItemDataObject::PrivateFormatName() const {
  return items_.empty() ? kFolderFormatName : kItemsFormatName;
}

std::string TItemDataObject::PrivateBytes() const {
  std::string out;
  PutU32(out, static_cast<uint32_t>(::getpid()));
  PutU64(out, token_);
  PutU32(out, static_cast<uint32_t>(extraValue_));
  PutU32(out, static_cast<uint32_t>(items_.size()));
  return out;
}

int DataObjectToItems(std::string_view privateBytes, TCustomFolder** sourceFolder, std::vector<TCatalogItem*>* items) {
  if (!items) throw ECatalogDNDException("DataObjectToItems に渡されたRetItems は無効です。");
  items->clear();
  if (sourceFolder) *sourceFolder = nullptr;
  Registered drag;
  if (!Lookup(privateBytes, drag)) return 0;
  if (sourceFolder) *sourceFolder = drag.source;
  *items = drag.items;
  return static_cast<int>(items->size());
}

bool DataObjectSourceFolder(std::string_view privateBytes, TCustomFolder*& folder) {
  Registered drag;
  if (!Lookup(privateBytes, drag)) return false;
  folder = drag.source;
  return true;
}

bool DataObjectExtraValue(std::string_view privateBytes, int32_t& value) {
  Registered drag;
  if (!Lookup(privateBytes, drag)) return false;
  value = drag.extraValue;
  return true;
}

}  // namespace plb
