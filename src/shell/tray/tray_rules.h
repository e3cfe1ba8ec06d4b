#pragma once
// The tray's rules, free of widgets: whether an upload may start and what the user is told when
// it may not, the captions and hints of each tray mode, the order numbers after an addition, and
// what a group upload hands on. The tray frame applies them; tests check them as tables.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plb::shell {

// What an upload from the tray does: 0 the book's contents, 1 jacket, 2 label, 3 body icon.
enum TTrayMode : uint8_t { tmContents = 0, tmJacket = 1, tmLabel = 2, tmBodyIcon = 3 };

// Who started an upload: 0 the tray's button, 1 a group's album button, 2 its slideshow button,
// 3 the hidden creation command.
enum TTrayCreateMode : int { tcmTray = 0, tcmAlbum = 1, tcmSlideshow = 2, tcmHidden = 3 };

// A new book takes at least this many photos.
inline constexpr int kTrayNewBookMinimum = 5;

struct TTrayStartCheck {
  int tray_mode = tmContents;
  bool new_book = true;  // no photo-book id: the upload creates the book
  int create_mode = tcmTray;
  int count = 0;  // available photos that would go
  int photo_count = 0;
  int rest_count = 0;
};

// The refusal text of a start (UTF-8, line breaks as "\r\n"), or empty when the upload may go.
std::string TrayStartRefusal(const TTrayStartCheck& check);

// The upload's edit mode for a tray mode: the tray mode itself, 4 for any other value.
int TrayEditMode(int tray_mode);
// A group upload's source type: 1-4 as given, any other value 0.
int TraySourceType(int type);
// The source type a group upload takes from the kind of its band's label (1 a date, 2 a folder
// name, 3 an imported album's caption, 4 another album's or tag's name).
int TraySourceTypeOfLabel(int label_kind);

// Texts of the tray (UTF-8).
std::string TrayButtonCaption(int tray_mode, bool has_book);
std::string TrayEmptyHint(int tray_mode);
std::string TrayCountText(int count);
std::string TrayRestText(int rest_count);
std::string TrayLoginMessage(bool has_book);
// The gauge: the filled share of photo / (photo + rest), and its "%d/%d" text; counts below 0
// count as 0, and an empty book fills nothing.
double TrayGaugeShare(int photo_count, int rest_count);
std::string TrayGaugeText(int photo_count, int rest_count);

inline constexpr const char* kTrayMovieMessage =
    "現在、動画をプルモラに登録することは\r\nできません。今後の対応をお待ちください。";
inline constexpr const char* kTrayUploadingCaption = "キャンセル";
inline constexpr const char* kTrayTitle = "プルモラトレイ";
inline constexpr const char* kTrayBackupAlbumName = "PLB_Tray_Backup";
inline constexpr const char* kTrayUploadApiError = "Upload API version 2 is not implemented.";

// The tray's order after an addition of `added` dropped onto `target` (null: dropped on empty
// space): the shown items in their order, with the added ones placed before the target, or last
// when there is no target or the target is not shown. Added items that were shown already move.
template <class T>
std::vector<T*> TrayOrderAfterAdding(const std::vector<T*>& shown, const std::vector<T*>& added, T* target) {
  auto isAdded = [&](T* item) { return std::find(added.begin(), added.end(), item) != added.end(); };
  std::vector<T*> order;
  order.reserve(shown.size() + added.size());
  const bool targetShown = target && std::find(shown.begin(), shown.end(), target) != shown.end();
  bool placed = false;
  for (T* item : shown) {
    if (targetShown && item == target && !placed) {
      for (T* a : added)
        if (std::find(order.begin(), order.end(), a) == order.end()) order.push_back(a);
      placed = true;
    }
    if (!isAdded(item)) order.push_back(item);
  }
  if (!placed) {
    for (T* a : added)
      if (std::find(order.begin(), order.end(), a) == order.end()) order.push_back(a);
  }
  return order;
}

// A group upload takes at most rest_count photos, from the front of its list.
template <class T>
std::vector<T*> TrayGroupItems(std::vector<T*> items, int rest_count) {
  const size_t keep = static_cast<size_t>(std::max(0, rest_count));
  if (items.size() > keep) items.resize(keep);
  return items;
}

}  // namespace plb::shell
