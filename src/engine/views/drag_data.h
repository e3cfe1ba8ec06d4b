#pragma once
// The payload of a drag that starts in the program's own views: the platform's file list, so that
// any other program can take the files, and a private part that only this process understands.
// The private part names the drag by a random token and the process id; the folder, the extra
// value and the items themselves stay in this process, registered under the token while the
// payload lives, so a payload from another process or a forged one finds nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace plb {

class TCatalogItem;
class TCustomFolder;

PLB_DECLARE_ERROR(ECatalogDNDException, Error);

// The names of the private formats.
inline constexpr char kItemsFormatName[] = "MVCV_DATAOBJECT_ITEMS";
inline constexpr char kFolderFormatName[] = "MVCV_DATAOBJECT_FOLDER";

class TItemDataObject {
 public:
  // items empty: a folder is dragged.
  TItemDataObject(TCustomFolder* source, int32_t extraValue, std::vector<TCatalogItem*> items);
  ~TItemDataObject();
  TItemDataObject(const TItemDataObject&) = delete;
  TItemDataObject& operator=(const TItemDataObject&) = delete;

  // The full paths the file list carries: the items' files; without items the dragged folder's
  // path (a folder on disk) or, for an album of the imported-backup group, its source text.
  std::vector<std::string> FilePaths() const;
  // The platform's file-list bytes: a 20-byte header (list offset 20, drop point 0, 0, the
  // non-client flag set, the wide-character flag clear), each path with a zero byte, one more
  // zero byte.
  std::string FileListBytes() const;
  // kItemsFormatName with items, kFolderFormatName without.
  const char* PrivateFormatName() const;
  // Little-endian: process id (32 bits), token (64), extra value (32), item count (32).
  std::string PrivateBytes() const;

 private:
  uint64_t token_;
  TCustomFolder* source_;
  int32_t extraValue_;
  std::vector<TCatalogItem*> items_;
};

// The items of a private payload of this process; answers their number. A payload of another
// process, an unknown token or damaged bytes give 0. items null raises ECatalogDNDException.
int DataObjectToItems(std::string_view privateBytes, TCustomFolder** sourceFolder, std::vector<TCatalogItem*>* items);
// The source folder and the extra value of a private payload (either format) of this process;
// false when there is none.
bool DataObjectSourceFolder(std::string_view privateBytes, TCustomFolder*& folder);
bool DataObjectExtraValue(std::string_view privateBytes, int32_t& value);

}  // namespace plb
