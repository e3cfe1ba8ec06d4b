#include "images/exif/exif_property.h"

namespace plb {
namespace {

struct PropertyDef {
  const char* label;
  int tag;
};

constexpr PropertyDef kProperties[kExifPropertyCount] = {
    {"Exif Version", 0x9000},
    {"FlashPix Version", 0xA000},
    {"画像タイトル", 0x010E},
    {"メーカー名", 0x010F},
    {"モデル名", 0x0110},
    {"ソフトウェア", 0x0131},
    {"メーカーノート", 0x927C},
    {"作者名", 0x013B},
    {"撮影著作権者", 0x8298},
    {"編集著作権者", 0x8298},
    {"ユーザーコメント", 0x9286},
    {"撮影日時", 0x9003},
    {"撮影日時サブ", 0x9291},
    {"作成日時", 0x9004},
    {"作成日時サブ", 0x9292},
    {"変更日時", 0x0132},
    {"変更日時サブ", 0x9290},
    {"ファイルソース", 0xA300},
    {"シーンタイプ", 0xA301},
    {"色空間情報", 0xA001},
    {"画像圧縮モード", 0x9102},
    {"実効画像幅", 0xA002},
    {"実効画像高", 0xA003},
    {"解像度(X)", 0x011A},
    {"解像度(Y)", 0x011B},
    {"解像度単位", 0x0128},
    {"レンズ焦点距離", 0x920A},
    {"焦点面解像度(X)", 0xA20E},
    {"焦点面解像度(Y)", 0xA20F},
    {"焦点面解像度単位", 0xA210},
    {"センサー方式", 0xA217},
    {"測光方式", 0x9207},
    {"スペクトル感度", 0x8824},
    {"ISOｽﾋﾟｰﾄﾞﾚｰﾄ", 0x8827},
    {"ｼｬｯﾀｰｽﾋﾟｰﾄﾞ", 0x9201},
    {"露出時間", 0x829A},
    {"絞り値", 0x9202},
    {"Ｆナンバー", 0x829D},
    {"レンズ最小Ｆ値", 0x9205},
    {"輝度値", 0x9203},
    {"露光補正値", 0x9204},
    {"光源", 0x9208},
    {"フラッシュ", 0x9209},
    {"フラッシュ強度", 0xA20B},
    {"露出プログラム", 0x8822},
    {"露出インデックス", 0xA215},
    {"被写体距離", 0x9206},
    {"被写体位置", 0xA214},
    {"関連音声ファイル", 0xA004},
    {"再生ガンマ", 0xA500},
    {"被写体領域", 0x9214},
    {"個別画像処理", 0xA401},
    {"露出モード", 0xA402},
    {"ホワイトバランス", 0xA403},
    {"デジタルズーム", 0xA404},
    {"35mm換算焦点距離", 0xA405},
    {"撮影シーンタイプ", 0xA406},
    {"ｹﾞｲﾝ制御", 0xA407},
    {"撮影コントラスト", 0xA408},
    {"撮影彩度", 0xA409},
    {"撮影シャープネス", 0xA40A},
    {"撮影条件記述事項", 0xA40B},
    {"被写体距離レンジ", 0xA40C},
    {"画像ユニークＩＤ", 0xA420},
    {"GPS Version", 0x0000},
    {"北緯/南緯", 0x0001},
    {"緯度", 0x0002},
    {"東経/西経", 0x0003},
    {"経度", 0x0004},
    {"高度基準", 0x0005},
    {"高度", 0x0006},
    {"GPS日付", 0x001D},
    {"GPS時間", 0x0007},
    {"衛星信号", 0x0008},
    {"受信状態", 0x0009},
    {"測位方法", 0x000A},
    {"測位の信頼性", 0x000B},
    {"移動速度単位", 0x000C},
    {"移動速度", 0x000D},
    {"進行方向基準", 0x000E},
    {"進行方向", 0x000F},
    {"撮影方向基準", 0x0010},
    {"撮影方向", 0x0011},
    {"測地系", 0x0012},
    {"目的地の北緯/南緯", 0x0013},
    {"目的地の緯度", 0x0014},
    {"目的地の東経/西経", 0x0015},
    {"目的地の経度", 0x0016},
    {"目的地の方向基準", 0x0017},
    {"目的地の方向", 0x0018},
    {"目的地の距離単位", 0x0019},
    {"目的地の距離", 0x001A},
    {"測位方式の名称", 0x001B},
    {"測位地点の名称", 0x001C},
    {"GPS補正測位", 0x001E},
};

}  // namespace

std::string PropertyLabel(int index) {
  return index >= 0 && index < kExifPropertyCount ? kProperties[index].label : "";
}

int PropertyTag(int index) {
  return index >= 0 && index < kExifPropertyCount ? kProperties[index].tag : -1;
}

int TagProperty(int tag) {
  for (int i = 0; i < kExifPropertyCount; ++i) {
    if (kProperties[i].tag == tag) return i;
  }
  return kExifPropertyCount;
}

int TagPropertyIn(int tag, bool gps) {
  const int first = gps ? kFirstGpsProperty : 0;
  const int end = gps ? kExifPropertyCount : kFirstGpsProperty;
  for (int i = first; i < end; ++i) {
    if (kProperties[i].tag == tag) return i;
  }
  return kExifPropertyCount;
}

const std::array<int, kExifPropertyCount>& PropertyDisplayOrder() {
  static constexpr std::array<int, kExifPropertyCount> kOrder = {
      0,  1,  3,  4,  5,  6,  7,  2,  10, 8,  9,  11, 12, 13, 14, 15, 16, 17, 18, 19, 49, 20, 21, 22,
      23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 46, 62, 47,
      50, 44, 45, 52, 53, 57, 51, 54, 55, 56, 58, 59, 60, 61, 63, 48, 64, 65, 66, 67, 68, 69, 70, 71,
      72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94};
  return kOrder;
}

}  // namespace plb
