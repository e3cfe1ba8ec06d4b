#include "output/save/save_names.h"

#include <cstdio>

namespace plb {

namespace {
// The longest file name the file systems we write to take, in bytes.
constexpr size_t kNameMax = 255;
}  // namespace

std::string SaveImageFileName(const std::string& commonName, int digits, size_t index) {
  char number[32];
  std::snprintf(number, sizeof number, "%.*zu", digits, index + 1);
  return commonName + number + ".jpg";
}

int MinimumDigitCount(size_t count) {
  int digits = 1;
  for (size_t n = count; n >= 10; n /= 10) ++digits;
  return digits;
}

std::string SampleSaveNames(const std::string& commonName, int digits) {
  return SaveImageFileName(commonName, digits, 0) + " , " + SaveImageFileName(commonName, digits, 1) + " , " +
         SaveImageFileName(commonName, digits, 2) + " ...";
}

std::string CommonNameFault(const std::string& commonName, int digits, size_t count) {
  if (commonName.find('/') != std::string::npos) return "共通名にフォルダの区切り「/」は使えません。";
  if (commonName.find('\0') != std::string::npos) return "共通名に使えない文字が含まれています。";
  // The last name is the longest one.
  const std::string longest = SaveImageFileName(commonName, digits, count == 0 ? 0 : count - 1);
  if (longest.size() > kNameMax) return "共通名が長すぎます。";
  return {};
}

std::string SaveSizeText(bool resize, int width, int height, bool keepAspect) {
  if (!resize) return "写真のサイズは変更しない";
  std::string text = std::to_string(width) + " x " + std::to_string(height);
  if (keepAspect) text += " (縦横比を保持する。)";
  return text;
}

}  // namespace plb
