#include "output/collage/collage_sizes.h"

#include <array>
#include <cmath>
#include <mutex>

namespace plb {

namespace {

struct Entry {
  std::string name;
  bool separator = false;
  TCollageGeometry landscape, portrait;
  bool screen = false;  // sized by the screen
};

struct Table {
  std::array<Entry, kCollageSizeKinds> entries;
  std::array<int, kCollageSizeKinds> menu{};
  int defaultKind = 0;
  bool open = true;
  int32_t screenWidth = 1920, screenHeight = 1080;
};

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

int32_t Trunc(double v) { return static_cast<int32_t>(std::trunc(v)); }

TCollageGeometry MakeGeometry(bool exact, int32_t bottom, int32_t right, int32_t top, int32_t left, int32_t h,
                              int32_t w, bool& ok) {
  TCollageGeometry g;
  const int32_t W = w + left + right, H = h + top + bottom;
  ok = W > 0 && H > 0;
  if (!ok) return g;
  if (exact) {
    g.width = W, g.height = H;
  } else if (W < H) {
    g.width = Trunc(W * 2048.0 / H + 0.5), g.height = 2048;
  } else {
    g.width = 2048, g.height = Trunc(H * 2048.0 / W + 0.5);
  }
  g.left = float(left) / W, g.top = float(top) / H, g.right = float(right) / W, g.bottom = float(bottom) / H;
  return g;
}

int32_t Mm(double mm) { return Trunc(mm * 11.8110236220472440945 + 0.5); }

void BuiltIn(Table& t) {
  static const char* const kNames[kCollageSizeKinds] = {
      "フリーサイズ",       "画面サイズ：ムービー用", "ブック スクエア",   "ブック パノラマ",
      "ブック ベーシックA", "ブック ベーシックB",     "ブック ベーシックC", "ブック レース",
      "Ｌ版　    ：印刷用", "はがき    ：印刷用",     "Ａ４版    ：印刷用"};
  static const int32_t kBook[6][4] = {{450, 450, 450, 450}, {900, 450, 450, 900}, {450, 350, 350, 450},
                                      {360, 270, 270, 360}, {630, 420, 420, 630}, {645, 474, 407, 474}};
  static const double kPrint[3][2] = {{127, 89}, {148, 100}, {297, 210}};
  const bool wasOpen = t.open;
  t = Table{};
  t.open = wasOpen;
  bool ok = false;
  for (int k = 0; k < kCollageSizeKinds; ++k) {
    t.entries[k].name = kNames[k];
    t.menu[k] = k;
  }
  t.entries[8].separator = true;
  t.entries[0].screen = t.entries[1].screen = true;
  for (int k = 2; k <= 7; ++k) {
    t.entries[k].landscape = MakeGeometry(false, 0, 0, 0, 0, kBook[k - 2][1], kBook[k - 2][0], ok);
    t.entries[k].portrait = MakeGeometry(false, 0, 0, 0, 0, kBook[k - 2][3], kBook[k - 2][2], ok);
  }
  for (int k = 8; k <= 10; ++k) {
    const int32_t w = Mm(kPrint[k - 8][0]), h = Mm(kPrint[k - 8][1]);
    t.entries[k].landscape = MakeGeometry(true, 0, 0, 0, 0, h, w, ok);
    t.entries[k].portrait = MakeGeometry(true, 0, 0, 0, 0, w, h, ok);
  }
}

Table& TheTable() {
  static Table table = [] {
    Table t;
    BuiltIn(t);
    return t;
  }();
  return table;
}

bool ValidKind(int kind) { return kind >= 0 && kind < kCollageSizeKinds; }

}  // namespace

void SetCollageScreenSize(int32_t width, int32_t height) {
  std::lock_guard lock(Lock());
  if (width > 0 && height > 0) TheTable().screenWidth = width, TheTable().screenHeight = height;
}

std::string CollageSizeName(int kind) {
  std::lock_guard lock(Lock());
  return ValidKind(kind) ? TheTable().entries[kind].name : std::string();
}

bool CollageSizeSeparator(int kind) {
  std::lock_guard lock(Lock());
  return ValidKind(kind) && TheTable().entries[kind].separator;
}

int CollageMenuKind(int position) {
  std::lock_guard lock(Lock());
  return ValidKind(position) ? TheTable().menu[position] : 0;
}

int CollageDefaultKind() {
  std::lock_guard lock(Lock());
  return TheTable().defaultKind;
}

TCollageGeometry CollageGeometry(int kind, bool portrait) {
  std::lock_guard lock(Lock());
  const Table& t = TheTable();
  if (!ValidKind(kind)) return {};
  const Entry& e = t.entries[kind];
  if (e.screen) {
    TCollageGeometry g;
    g.width = portrait ? t.screenHeight : t.screenWidth;
    g.height = portrait ? t.screenWidth : t.screenHeight;
    return g;
  }
  return portrait ? e.portrait : e.landscape;
}

void SetCollageSizeEntry(int kind, const std::string& name, int position, bool separator) {
  std::lock_guard lock(Lock());
  Table& t = TheTable();
  if (!t.open || !ValidKind(kind) || !ValidKind(position)) return;
  t.entries[kind].name = name;
  t.entries[kind].separator = separator;
  int old = 0;
  for (int p = 0; p < kCollageSizeKinds; ++p)
    if (t.menu[p] == kind) old = p;
  std::swap(t.menu[old], t.menu[position]);
}

void SetCollageSizeGeometry(int kind, bool portrait, bool exact, int32_t bottom, int32_t right, int32_t top,
                            int32_t left, int32_t photoHeight, int32_t photoWidth) {
  std::lock_guard lock(Lock());
  Table& t = TheTable();
  if (!t.open || !ValidKind(kind)) return;
  bool ok = false;
  const TCollageGeometry g = MakeGeometry(exact, bottom, right, top, left, photoHeight, photoWidth, ok);
  if (!ok) return;
  (portrait ? t.entries[kind].portrait : t.entries[kind].landscape) = g;
  t.entries[kind].screen = false;
}

void SetCollageDefaultKind(int kind) {
  std::lock_guard lock(Lock());
  if (TheTable().open && ValidKind(kind)) TheTable().defaultKind = kind;
}

void CloseCollageSizeTable() {
  std::lock_guard lock(Lock());
  TheTable().open = false;
}

void ResetCollageSizeTable() {
  std::lock_guard lock(Lock());
  TheTable().open = true;
  BuiltIn(TheTable());
}

}  // namespace plb
