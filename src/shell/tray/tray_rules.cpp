#include "shell/tray/tray_rules.h"

#include "host/format.h"

namespace plb::shell {

std::string TrayStartRefusal(const TTrayStartCheck& c) {
  const bool single = c.tray_mode >= tmJacket && c.tray_mode <= tmBodyIcon;
  const int lower = single ? 0 : c.photo_count;
  const int upper = single ? 1 : c.rest_count;
  if (c.new_book && c.tray_mode == tmContents && c.count < kTrayNewBookMinimum) {
    switch (c.create_mode) {
      case tcmAlbum:
        return "アルバムを作成するには、写真が5枚以上必要です。";
      case tcmSlideshow:
        return "スライドショーを作成するには、写真が5枚以上必要です。";
      default:
        return "新しいプルモラを作成するためには\r\n5枚以上の写真をアップロードする必要があります。";
    }
  }
  // A book of no photos and no room is one the service sets no limit for.
  if (c.count > upper && (upper != 0 || lower != 0)) {
    if (single) {
      static const char* const kWhat[] = {"ジャケット", "レーベル", "アイコン"};
      return Format("%sに指定できるのは1枚だけです。\r\n\r\nトレイから写真を%d枚、出してください。",
                    {kWhat[c.tray_mode - 1], c.count - upper});
    }
    return Format("プルモラに%sできる枚数を越えてます。\r\n\r\nトレイから写真を%d枚、出してください。",
                  {c.new_book ? "登録" : "追加", c.count - upper});
  }
  if (c.count == 0) return "アップロードする写真がありません。";
  return {};
}

int TrayEditMode(int tray_mode) { return tray_mode >= 0 && tray_mode <= 3 ? tray_mode : 4; }

int TraySourceType(int type) { return type >= 1 && type <= 4 ? type : 0; }

int TraySourceTypeOfLabel(int label_kind) { return TraySourceType(label_kind); }

std::string TrayButtonCaption(int tray_mode, bool has_book) {
  switch (tray_mode) {
    case tmJacket:
      return "ジャケットを変更";
    case tmLabel:
      return "レーベルを変更";
    case tmBodyIcon:
      return "アイコンを変更";
    default:
      return has_book ? "プルモラに追加" : "プルモラの作成";
  }
}

std::string TrayEmptyHint(int tray_mode) {
  switch (tray_mode) {
    case tmJacket:
      return "ジャケットにする写真をここへドラッグ＆ドロップしてください。";
    case tmLabel:
      return "レーベルにする写真をここへドラッグ＆ドロップしてください。";
    case tmBodyIcon:
      return "アイコンにする写真をここへドラッグ＆ドロップしてください。";
    default:
      return "写真をここへドラッグ＆ドロップしてください。";
  }
}

std::string TrayCountText(int count) { return Format("トレイの写真 %d枚", {count}); }

std::string TrayRestText(int rest_count) { return Format("追加可能： %d枚", {rest_count}); }

std::string TrayLoginMessage(bool has_book) {
  return Format("%sするためにはプルモラ.netにログインしている必要があります。",
                {has_book ? "プルモラに写真を追加" : "プルモラを作成"});
}

double TrayGaugeShare(int photo_count, int rest_count) {
  const int64_t photo = std::max(0, photo_count);
  const int64_t total = photo + std::max(0, rest_count);
  return total > 0 ? static_cast<double>(photo) / static_cast<double>(total) : 0.0;
}

std::string TrayGaugeText(int photo_count, int rest_count) {
  const int64_t photo = std::max(0, photo_count);
  return Format("%d/%d", {photo, photo + std::max(0, rest_count)});
}

}  // namespace plb::shell
