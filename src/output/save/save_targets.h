#pragma once
// What the saving dialog checks before several photos are written into a folder: whether a name
// is taken (the overwrite question, asked once for the first one), and whether a name is the
// file of one of the photos being saved, which would be replaced before it was read.
#include <cstddef>
#include <string>
#include <vector>

namespace plb {

class TCatalogItem;

// The first of the names (positions 0, 1, ...) that exists in folder as a file; empty when none.
std::string FirstExistingSaveName(const std::string& folder, const std::string& commonName, int digits,
                                  size_t count);

// The full path of the first source file that one of the target names would replace; empty
// when none. Identity is the file's (device and inode), so a link or another spelling counts.
std::string SourceReplacedBySave(const std::string& folder, const std::string& commonName, int digits,
                                 const std::vector<TCatalogItem*>& items);

// Refused when the user confirmed overwriting: the text shown in that case.
constexpr const char* kOverwriteQuestion =
    "保存先として指定されたフォルダには、既に同じ名前の写真が存在します。\r\n\r\n"
    "このまま処理を続行すると、既存の写真は上書きされて失われます。\r\n\r\nよろしいですか?";
constexpr const char* kSourceWouldBeReplaced =
    "保存する名前が、保存する写真のファイル自身と同じになります。\r\n\r\n"
    "別のフォルダか別の共通名を指定してください。";

}  // namespace plb
