#pragma once
// The file kinds table: decides from a file's extension whether a file is catalogued and as which
// kind. Kinds are numbers 0 to 7; sets of kinds are bit sets (bit n for kind n).
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plb {

enum TFileKind : uint8_t {
  fkBitmap = 0,
  fkJpeg = 1,
  fkNone = 2,
  fkMetafile = 3,
  fkCameraThumbnail = 4,
  fkRaw = 5,
  fkMovie = 6,
  fkSound = 7,
};

using TKindSet = uint32_t;
constexpr TKindSet KindBit(int kind) {
  return kind >= 0 && kind <= 7 ? TKindSet{1} << kind : 0;
}
constexpr bool KindInSet(int kind, TKindSet set) {
  return (KindBit(kind) & set) != 0;
}
// Every folder scan of the catalog.
constexpr TKindSet kCatalogKinds = 227;
// The background-music scan.
constexpr TKindSet kMusicKinds = 128;

struct TExtItem {
  uint32_t key = 0;
  uint8_t kind = 0;
  int32_t iconIndex = -1;
  bool externalPlayer = false;
  std::string extension;  // upper case, with its leading dot
};

// The movie and sound extension lists (";"-separated), handed over by the configuration at
// engine start. The sound list is ".MP3" unless set otherwise.
void SetMovieExtensions(std::string list);
void SetSoundExtensions(std::string list);
std::string MovieExtensions();
std::string SoundExtensions();

class TExtItems {
 public:
  static constexpr size_t kMaxEntries = 256;
  // Answers the platform's small icon index for an extension, or -1.
  using IconLookup = std::function<int32_t(const std::string& extension)>;

  // The key of an extension such as ".JPG" (letter case ignored).
  static uint32_t ExtensionKey(std::string_view extension);
  // True unless the extension is one the platform's own player handles.
  static bool IsExternalPlayerExtension(std::string_view extension);

  // Clears the table and fills it for the kinds in set, with the movie and sound lists given
  // (by default the process-wide ones).
  void Build(TKindSet set, IconLookup icons = nullptr);
  void Build(TKindSet set, const std::string& movies, const std::string& sounds, IconLookup icons = nullptr);

  // The entry of an extension (with its dot, any letter case), or null.
  const TExtItem* Find(std::string_view extension) const;
  // The icon index of an extension, 0 when it is not in the table.
  int32_t IconIndex(std::string_view extension) const;
  // The kinds that have at least one entry.
  TKindSet KindsPresent() const;
  // The set the table was built for.
  TKindSet KindSet() const;
  size_t Count() const;
  bool Finished() const;
  void Clear();

 private:
  void Offer(std::string extension, uint8_t kind, TKindSet set, std::vector<std::string>& offered,
             const IconLookup& icons);

  mutable std::mutex lock_;
  std::vector<TExtItem> entries_;  // sorted by key, then extension
  TKindSet set_ = 0;
  bool finished_ = false;
};

// The extension of a file name: from the last "." on, the dot included; empty without a dot.
std::string_view ExtensionOf(std::string_view name);

}  // namespace plb
