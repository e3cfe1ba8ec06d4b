#include "images/exif/exif_property.h"

namespace plb {
namespace {

using K = ExifValueKind;
using namespace exif_format;

// Pick-lists, shared by every row that names them.
constexpr PickEntry kFileSourceCodes[] = {
    {0, "その他"}, {1, "透過型スキャナー"}, {2, "反射型スキャナー"}, {3, "Digital Still Camera"}};
constexpr PickList kFileSources{kFileSourceCodes, "予約"};
constexpr PickEntry kSceneTypeCodes[] = {{1, "直接撮影された画像"}};
constexpr PickList kSceneTypes{kSceneTypeCodes, "予約"};
constexpr PickEntry kColorSpaceCodes[] = {{1, "sRGB"}, {0xFFFF, "Uncalibrated"}};
constexpr PickList kColorSpaces{kColorSpaceCodes, "予約"};
constexpr PickEntry kResolutionUnitCodes[] = {{3, "dot/cm"}};
constexpr PickList kResolutionUnits{kResolutionUnitCodes, "dot/inch"};
constexpr PickEntry kSensingMethodCodes[] = {{1, "未定義"},
                                             {2, "単板カラーセンサ"},
                                             {3, "２板カラーセンサ"},
                                             {4, "３板カラーセンサ"},
                                             {5, "色順序カラーセンサ"},
                                             {7, "３線リニアセンサ"},
                                             {8, "色順序リニアセンサ"}};
constexpr PickList kSensingMethods{kSensingMethodCodes, "予約"};
constexpr PickEntry kMeteringModeCodes[] = {{0, "不明"},           {1, "平均"},     {2, "中央重点"}, {3, "スポット"},
                                            {4, "マルチスポット"}, {5, "分割測光"}, {6, "部分測光"}, {255, "その他"}};
constexpr PickList kMeteringModes{kMeteringModeCodes, "予約"};
constexpr PickEntry kLightSourceCodes[] = {
    {0, "Auto/Custom"}, {1, "昼光"},         {2, "蛍光灯"},    {3, "タングステン"}, {4, "フラッシュ"},
    {9, "晴天"},        {10, "曇天"},        {11, "日陰"},     {12, "D5700-7100"},  {13, "N4600-5400"},
    {14, "W3900-4500"}, {15, "WW3200-3700"}, {17, "標準光Ａ"}, {18, "標準光Ｂ"},    {19, "標準光Ｃ"},
    {20, "Ｄ５５"},     {21, "Ｄ６５"},      {22, "Ｄ７５"},   {23, "Ｄ５０"},      {24, "ISO Studio Tungsten"},
    {255, "その他"}};
constexpr PickList kLightSources{kLightSourceCodes, "予約"};
constexpr PickEntry kExposureProgramCodes[] = {
    {0, "未定義"},         {1, "マニュアル"},         {2, "ノーマルプログラム"},
    {3, "絞り優先AE"},     {4, "シャッター優先AE"},   {5, "Creative Program"},
    {6, "Action Program"}, {7, "ポートレイトモード"}, {8, "ランドスケープモード"}};
constexpr PickList kExposurePrograms{kExposureProgramCodes, "予約"};
constexpr PickEntry kRenderingCodes[] = {{0, "通常処理（Normal Process）"}, {1, "特殊処理（Custom Process）"}};
constexpr PickList kRenderings{kRenderingCodes, "不明"};
constexpr PickEntry kExposureModeCodes[] = {
    {0, "自動（Auto Exposure）"}, {1, "マニュアル（Manual Exposure）"}, {2, "オートブラケット（Auto Bracket）"}};
constexpr PickList kExposureModes{kExposureModeCodes, "不明"};
constexpr PickEntry kWhiteBalanceCodes[] = {{0, "自動（Auto White Balance）"},
                                            {1, "マニュアル（Manual White Balance）"}};
constexpr PickList kWhiteBalances{kWhiteBalanceCodes, "不明"};
constexpr PickEntry kSceneCaptureCodes[] = {
    {0, "標準（Standard）"}, {1, "風景（Landscape）"}, {2, "人物（Portrait）"}, {3, "夜景（Night Scene）"}};
constexpr PickList kSceneCaptureTypes{kSceneCaptureCodes, "不明"};
constexpr PickEntry kGainControlCodes[] = {{0, "無し（None）"},
                                           {1, "弱い増感（Low Gain Up）"},
                                           {2, "強い増感（High Gain Up）"},
                                           {3, "弱い減感（Low Gain Down）"},
                                           {4, "強い減感（High Gain Down）"}};
constexpr PickList kGainControls{kGainControlCodes, "不明"};
constexpr PickEntry kContrastCodes[] = {{0, "標準（Normal）"}, {1, "軟調（Soft）"}, {2, "硬調（Hard）"}};
constexpr PickList kContrasts{kContrastCodes, "不明"};
constexpr PickEntry kSaturationCodes[] = {
    {0, "標準（Normal）"}, {1, "低彩度（Low Saturation）"}, {2, "高彩度（High Saturation）"}};
constexpr PickList kSaturations{kSaturationCodes, "不明"};
constexpr PickEntry kSharpnessCodes[] = {{0, "標準（Normal）"}, {1, "弱い（Soft）"}, {2, "強い（Hard）"}};
constexpr PickList kSharpnesses{kSharpnessCodes, "不明"};
constexpr PickEntry kSubjectDistanceRangeCodes[] = {
    {0, "不明"}, {1, "マクロ（Macro）"}, {2, "近景（Close View）"}, {3, "遠景（Distance View）"}};
constexpr PickList kSubjectDistanceRanges{kSubjectDistanceRangeCodes, "予約"};
constexpr PickEntry kCompassLetterCodes[] = {{'N', "北緯"}, {'S', "南緯"}, {'E', "東経"}, {'W', "西経"}};
constexpr PickList kCompassLetters{kCompassLetterCodes, "不明"};
constexpr PickEntry kAltitudeReferenceCodes[] = {{0, "海抜"}, {1, "海面下"}};
constexpr PickList kAltitudeReferences{kAltitudeReferenceCodes, "不明"};
constexpr PickEntry kReceiverStateCodes[] = {{'A', "測位"}, {'a', "測位"}, {'V', "未測定"}, {'v', "未測定"}};
constexpr PickList kReceiverStates{kReceiverStateCodes, "不明"};
constexpr PickEntry kMeasureModeCodes[] = {{'2', "2-dimensional"}, {'3', "3-dimensional"}};
constexpr PickList kMeasureModes{kMeasureModeCodes, "不明"};
constexpr PickEntry kSpeedUnitCodes[] = {{'K', "km/h"},   {'k', "km/h"}, {'M', "mile/h"},
                                         {'m', "mile/h"}, {'N', "knot"}, {'n', "knot"}};
constexpr PickList kSpeedUnits{kSpeedUnitCodes, "不明"};
constexpr PickEntry kBearingReferenceCodes[] = {{'T', "真方位"}, {'t', "真方位"}, {'M', "磁方位"}, {'m', "磁方位"}};
constexpr PickList kBearingReferences{kBearingReferenceCodes, "不明"};
constexpr PickEntry kDistanceUnitCodes[] = {{'K', "km"},   {'k', "km"},   {'M', "mile"},
                                            {'m', "mile"}, {'N', "海里"}, {'n', "海里"}};
constexpr PickList kDistanceUnits{kDistanceUnitCodes, "不明"};
constexpr PickEntry kDifferentialCodes[] = {{0, "単独測位"}, {1, "Differtial補正測位"}};
constexpr PickList kDifferentials{kDifferentialCodes, "不明"};

// One row per property, in index order: label, tag, kind, formatter, pick-list, companion.
constexpr ExifProperty kProperties[kExifPropertyCount] = {
    {"Exif Version", 0x9000, K::kVersion, VersionNumber},                           // 0
    {"FlashPix Version", 0xA000, K::kVersion, VersionNumber},                       // 1
    {"画像タイトル", 0x010E, K::kText, TextAsIs},                                   // 2
    {"メーカー名", 0x010F, K::kText, TextAsIs},                                     // 3
    {"モデル名", 0x0110, K::kText, TextAsIs},                                       // 4
    {"ソフトウェア", 0x0131, K::kText, TextAsIs},                                   // 5
    {"メーカーノート", 0x927C, K::kMakerNote, MakerNotePlace},                      // 6
    {"作者名", 0x013B, K::kText, TextAsIs},                                         // 7
    {"撮影著作権者", 0x8298, K::kCopyright, TextAsIs},                              // 8
    {"編集著作権者", 0x8298, K::kCopyright, TextAsIs},                              // 9
    {"ユーザーコメント", 0x9286, K::kCodedText, CodedText, {}, 5},                  // 10
    {"撮影日時", 0x9003, K::kDate, DateWithSubSeconds, {}, 12},                     // 11
    {"撮影日時サブ", 0x9291, K::kSubSecond, Milliseconds},                          // 12
    {"作成日時", 0x9004, K::kDate, DateWithSubSeconds, {}, 14},                     // 13
    {"作成日時サブ", 0x9292, K::kSubSecond, Milliseconds},                          // 14
    {"変更日時", 0x0132, K::kDate, DateWithSubSeconds, {}, 16},                     // 15
    {"変更日時サブ", 0x9290, K::kSubSecond, Milliseconds},                          // 16
    {"ファイルソース", 0xA300, K::kInteger, PickedCode, kFileSources},              // 17
    {"シーンタイプ", 0xA301, K::kInteger, PickedCode, kSceneTypes},                 // 18
    {"色空間情報", 0xA001, K::kInteger, PickedCode, kColorSpaces},                  // 19
    {"画像圧縮モード", 0x9102, K::kRational, BitsPerPixel},                         // 20
    {"実効画像幅", 0xA002, K::kInteger, Pixels},                                    // 21
    {"実効画像高", 0xA003, K::kInteger, Pixels},                                    // 22
    {"解像度(X)", 0x011A, K::kRational, Resolution, kResolutionUnits, 25},          // 23
    {"解像度(Y)", 0x011B, K::kRational, Resolution, kResolutionUnits, 25},          // 24
    {"解像度単位", 0x0128, K::kInteger, PickedCode, kResolutionUnits},              // 25
    {"レンズ焦点距離", 0x920A, K::kRational, Millimetres},                          // 26
    {"焦点面解像度(X)", 0xA20E, K::kRational, Resolution, kResolutionUnits, 29},    // 27
    {"焦点面解像度(Y)", 0xA20F, K::kRational, Resolution, kResolutionUnits, 29},    // 28
    {"焦点面解像度単位", 0xA210, K::kInteger, PickedCode, kResolutionUnits},        // 29
    {"センサー方式", 0xA217, K::kInteger, PickedCode, kSensingMethods},             // 30
    {"測光方式", 0x9207, K::kInteger, PickedCode, kMeteringModes},                  // 31
    {"スペクトル感度", 0x8824, K::kText, TextAsIs},                                 // 32
    {"ISOｽﾋﾟｰﾄﾞﾚｰﾄ", 0x8827, K::kShorts, NumberList},                               // 33
    {"ｼｬｯﾀｰｽﾋﾟｰﾄﾞ", 0x9201, K::kRational, ShutterSpeed},                            // 34
    {"露出時間", 0x829A, K::kRational, ExposureTime},                               // 35
    {"絞り値", 0x9202, K::kRational, Aperture},                                     // 36
    {"Ｆナンバー", 0x829D, K::kRational, FNumber},                                  // 37
    {"レンズ最小Ｆ値", 0x9205, K::kRational, Aperture},                             // 38
    {"輝度値", 0x9203, K::kRational, ExposureValue},                                // 39
    {"露光補正値", 0x9204, K::kRational, ExposureValue},                            // 40
    {"光源", 0x9208, K::kInteger, PickedCode, kLightSources},                       // 41
    {"フラッシュ", 0x9209, K::kInteger, FlashState},                                // 42
    {"フラッシュ強度", 0xA20B, K::kRational, FlashEnergy},                          // 43
    {"露出プログラム", 0x8822, K::kInteger, PickedCode, kExposurePrograms},         // 44
    {"露出インデックス", 0xA215, K::kRational, UpToTwoDecimals},                    // 45
    {"被写体距離", 0x9206, K::kRational, SubjectDistance},                          // 46
    {"被写体位置", 0xA214, K::kShortPair, SubjectLocation},                         // 47
    {"関連音声ファイル", 0xA004, K::kSoundFile, TextAsIs},                          // 48
    {"再生ガンマ", 0xA500, K::kRational, UpToTwoDecimals},                          // 49
    {"被写体領域", 0x9214, K::kSubjectArea, SubjectArea},                           // 50
    {"個別画像処理", 0xA401, K::kInteger, PickedCode, kRenderings},                 // 51
    {"露出モード", 0xA402, K::kInteger, PickedCode, kExposureModes},                // 52
    {"ホワイトバランス", 0xA403, K::kInteger, PickedCode, kWhiteBalances},          // 53
    {"デジタルズーム", 0xA404, K::kRational, DigitalZoom},                          // 54
    {"35mm換算焦点距離", 0xA405, K::kInteger, WholeMillimetres},                    // 55
    {"撮影シーンタイプ", 0xA406, K::kInteger, PickedCode, kSceneCaptureTypes},      // 56
    {"ｹﾞｲﾝ制御", 0xA407, K::kInteger, PickedCode, kGainControls},                   // 57
    {"撮影コントラスト", 0xA408, K::kInteger, PickedCode, kContrasts},              // 58
    {"撮影彩度", 0xA409, K::kInteger, PickedCode, kSaturations},                    // 59
    {"撮影シャープネス", 0xA40A, K::kInteger, PickedCode, kSharpnesses},            // 60
    {"撮影条件記述事項", 0xA40B, K::kNone, NotSupported},                           // 61
    {"被写体距離レンジ", 0xA40C, K::kInteger, PickedCode, kSubjectDistanceRanges},  // 62
    {"画像ユニークＩＤ", 0xA420, K::kText, TextAsIs},                               // 63
    {"GPS Version", 0x0000, K::kGpsVersion, GpsVersion},                            // 64
    {"北緯/南緯", 0x0001, K::kText, PickedLetter, kCompassLetters},                 // 65
    {"緯度", 0x0002, K::kTriple, Coordinate, {}, 65},                               // 66
    {"東経/西経", 0x0003, K::kText, PickedLetter, kCompassLetters},                 // 67
    {"経度", 0x0004, K::kTriple, Coordinate, {}, 67},                               // 68
    {"高度基準", 0x0005, K::kInteger, PickedCode, kAltitudeReferences},             // 69
    {"高度", 0x0006, K::kRational, Metres},                                         // 70
    {"GPS日付", 0x001D, K::kGpsDate, GpsDate},                                      // 71
    {"GPS時間", 0x0007, K::kTriple, GpsTime},                                       // 72
    {"衛星信号", 0x0008, K::kText, TextAsIs},                                       // 73
    {"受信状態", 0x0009, K::kText, PickedLetter, kReceiverStates},                  // 74
    {"測位方法", 0x000A, K::kText, PickedLetter, kMeasureModes},                    // 75
    {"測位の信頼性", 0x000B, K::kRational, TwoDecimals},                            // 76
    {"移動速度単位", 0x000C, K::kText, PickedLetter, kSpeedUnits},                  // 77
    {"移動速度", 0x000D, K::kRational, InCompanionUnit, kSpeedUnits, 77},           // 78
    {"進行方向基準", 0x000E, K::kText, PickedLetter, kBearingReferences},           // 79
    {"進行方向", 0x000F, K::kRational, Degrees},                                    // 80
    {"撮影方向基準", 0x0010, K::kText, PickedLetter, kBearingReferences},           // 81
    {"撮影方向", 0x0011, K::kRational, Degrees},                                    // 82
    {"測地系", 0x0012, K::kText, TextAsIs},                                         // 83
    {"目的地の北緯/南緯", 0x0013, K::kText, PickedLetter, kCompassLetters},         // 84
    {"目的地の緯度", 0x0014, K::kTriple, Coordinate, {}, 84},                       // 85
    {"目的地の東経/西経", 0x0015, K::kText, PickedLetter, kCompassLetters},         // 86
    {"目的地の経度", 0x0016, K::kTriple, Coordinate, {}, 86},                       // 87
    {"目的地の方向基準", 0x0017, K::kText, PickedLetter, kBearingReferences},       // 88
    {"目的地の方向", 0x0018, K::kRational, Degrees},                                // 89
    {"目的地の距離単位", 0x0019, K::kText, PickedLetter, kDistanceUnits},           // 90
    {"目的地の距離", 0x001A, K::kRational, InCompanionUnit, kDistanceUnits, 90},    // 91
    {"測位方式の名称", 0x001B, K::kCodedText, CodedText, {}, 5},                    // 92
    {"測位地点の名称", 0x001C, K::kCodedText, CodedText, {}, 5},                    // 93
    {"GPS補正測位", 0x001E, K::kInteger, PickedCode, kDifferentials},               // 94
};

}  // namespace

const ExifProperty& PropertyAt(int index) {
  return kProperties[index];
}

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
