#include "engine/model/file_kinds.h"

#include <algorithm>

namespace plb {

namespace {

std::mutex& ListsLock() {
  static std::mutex lock;
  return lock;
}
std::string& MovieList() {
  static std::string list;
  return list;
}
std::string& SoundList() {
  static std::string list = ".MP3";
  return list;
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

// Orders extension texts as upper case.
int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(UpperAscii(a[i]));
    const auto cb = static_cast<unsigned char>(UpperAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string Trim(std::string s) {
  const auto blank = [](unsigned char c) { return c <= ' '; };
  while (!s.empty() && blank(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t i = 0;
  while (i < s.size() && blank(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

// Upper case, without "*", trimmed, with a leading dot; empty when nothing is left.
std::string NormaliseOffer(std::string_view raw) {
  std::string s;
  for (char c : raw) {
    if (c != '*') s.push_back(UpperAscii(c));
  }
  s = Trim(std::move(s));
  if (!s.empty() && s[0] != '.') s.insert(s.begin(), '.');
  return s;
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    parts.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

void SetMovieExtensions(std::string list) {
  std::lock_guard guard(ListsLock());
  MovieList() = std::move(list);
}
void SetSoundExtensions(std::string list) {
  std::lock_guard guard(ListsLock());
  SoundList() = std::move(list);
}
std::string MovieExtensions() {
  std::lock_guard guard(ListsLock());
  return MovieList();
}
std::string SoundExtensions() {
  std::lock_guard guard(ListsLock());
  return SoundList();
}

std::string_view ExtensionOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

uint32_t TExtItems::ExtensionKey(std::string_view extension) {
  uint32_t key = 0;
  for (size_t i = 1; i < extension.size(); ++i) {
    key = key * 27u +
          static_cast<uint32_t>(static_cast<int32_t>(static_cast<unsigned char>(UpperAscii(extension[i]))) - 64);
  }
  for (size_t n = extension.size(); n < 5; ++n) key *= 27u;
  return key;
}

bool TExtItems::IsExternalPlayerExtension(std::string_view extension) {
  static constexpr std::string_view kOwnPlayer[] = {".AIF", ".AU", ".AVI", ".CDA", ".MID", ".MPG", ".MPEG",
                                                    ".MP3", ".RM", ".MOV", ".WAV", ".ASF", ".WMA", ".WMV"};
  for (std::string_view own : kOwnPlayer) {
    if (EqualNoCase(own, extension)) return false;
  }
  return true;
}

void TExtItems::Build(TKindSet set, IconLookup icons) {
  Build(set, MovieExtensions(), SoundExtensions(), std::move(icons));
}

void TExtItems::Build(TKindSet set, const std::string& movies, const std::string& sounds, IconLookup icons) {
  std::lock_guard guard(lock_);
  entries_.clear();
  finished_ = false;
  set_ = set;
  static constexpr std::pair<const char*, uint8_t> kFixed[] = {
      {".BMP", fkBitmap},   {".JPG", fkJpeg},     {".JPE", fkJpeg}, {".JPEG", fkJpeg}, {".THM", fkCameraThumbnail},
      {".WMF", fkMetafile}, {".EMF", fkMetafile}, {".CR2", fkRaw},  {".CRW", fkRaw},   {".DNG", fkRaw},
      {".MRW", fkRaw},      {".NEF", fkRaw},      {".NSK", fkRaw},  {".ORF", fkRaw},   {".PEF", fkRaw},
      {".RAF", fkRaw}};
  std::vector<std::string> offered;
  for (const auto& [ext, kind] : kFixed) Offer(ext, kind, set, offered, icons);
  for (const auto& ext : SplitList(movies)) Offer(ext, fkMovie, set, offered, icons);
  for (const auto& ext : SplitList(sounds)) Offer(ext, fkSound, set, offered, icons);
  std::sort(entries_.begin(), entries_.end(), [](const TExtItem& a, const TExtItem& b) {
    return a.key != b.key ? a.key < b.key : CompareNoCase(a.extension, b.extension) < 0;
  });
  finished_ = true;
}

void TExtItems::Offer(std::string raw, uint8_t kind, TKindSet set, std::vector<std::string>& offered,
                      const IconLookup& icons) {
  std::string ext = NormaliseOffer(raw);
  if (ext.empty()) return;
  // The first offer of an extension wins, even when its kind is not wanted.
  if (std::find(offered.begin(), offered.end(), ext) != offered.end()) return;
  offered.push_back(ext);
  if (!KindInSet(kind, set) || entries_.size() >= kMaxEntries) return;
  TExtItem item;
  item.key = ExtensionKey(ext);
  item.kind = kind;
  item.externalPlayer = kind != fkSound && IsExternalPlayerExtension(ext);
  if (icons) {
    try {
      item.iconIndex = icons(ext);
    } catch (...) {
      item.iconIndex = -1;  // an icon is decoration; its failure never stops the table
    }
  }
  item.extension = std::move(ext);
  entries_.push_back(std::move(item));
}

const TExtItem* TExtItems::Find(std::string_view extension) const {
  if (extension.empty()) return nullptr;
  const uint32_t key = ExtensionKey(extension);
  std::lock_guard guard(lock_);
  // Keys of different extensions can be equal (digits count negative, long extensions wrap):
  // the text decides among them, so ".MP4" never finds ".MOO".
  auto it = std::lower_bound(entries_.begin(), entries_.end(), std::pair(key, extension),
                             [](const TExtItem& e, const std::pair<uint32_t, std::string_view>& k) {
                               return e.key != k.first ? e.key < k.first : CompareNoCase(e.extension, k.second) < 0;
                             });
  if (it == entries_.end() || it->key != key || !EqualNoCase(it->extension, extension)) return nullptr;
  return &*it;
}

int32_t TExtItems::IconIndex(std::string_view extension) const {
  const TExtItem* e = Find(extension);
  return e ? e->iconIndex : 0;
}

TKindSet TExtItems::KindsPresent() const {
  std::lock_guard guard(lock_);
  TKindSet kinds = 0;
  for (const auto& e : entries_) kinds |= KindBit(e.kind);
  return kinds;
}

TKindSet TExtItems::KindSet() const {
  std::lock_guard guard(lock_);
  return set_;
}

size_t TExtItems::Count() const {
  std::lock_guard guard(lock_);
  return entries_.size();
}

bool TExtItems::Finished() const {
  std::lock_guard guard(lock_);
  return finished_;
}

void TExtItems::Clear() {
  std::lock_guard guard(lock_);
  entries_.clear();
  finished_ = false;
  set_ = 0;
}

}  // namespace plb
