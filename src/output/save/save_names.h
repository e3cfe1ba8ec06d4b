#pragma once
// The names under which several photos are saved: a common name followed by a serial number of a
// chosen digit count, and the texts the saving dialog shows about them.
#include <cstddef>
#include <string>

namespace plb {

// The name of the photo at position index (from 0): common name, index + 1 with at least digits
// digits, ".jpg". With the defaults: Img001.jpg, Img002.jpg, ...
std::string SaveImageFileName(const std::string& commonName, int digits, size_t index);

// The fewest digits that number count photos without running over: 4 for 1500.
int MinimumDigitCount(size_t count);

// The first three names joined as "Img001.jpg , Img002.jpg , Img003.jpg ...".
std::string SampleSaveNames(const std::string& commonName, int digits);

// Empty when the common name keeps every saved photo inside the chosen folder as one plain file
// name; otherwise the reason it is refused (a path separator, a NUL, a name too long for the
// file system). "../x" is refused: the photos would land outside the folder.
std::string CommonNameFault(const std::string& commonName, int digits, size_t count);

// "写真のサイズは変更しない", "W x H (縦横比を保持する。)" or "W x H".
std::string SaveSizeText(bool resize, int width, int height, bool keepAspect);

// The text the done page shows when nothing (or not everything) could be saved.
constexpr const char* kSaveCompletedTitle = "写真を保存を終了しました。";
constexpr const char* kSaveAbortedTitle = "写真を保存は中止されました。";

}  // namespace plb
