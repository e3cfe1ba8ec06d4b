#pragma once
// The side-car file "OstraExportInfo.xml": the edits (mark, orientation, comment, colour
// adjustment, trimming) and tags of the items whose files were exported into a folder, so that
// another catalog, or this one after the folder is added, takes them over.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"

namespace pugi {
class xml_node;
}

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(EInfoDataXmlError, Error);

constexpr const char* kExportInfoFileName = "OstraExportInfo.xml";

// One tag read back from the file.
struct TRelatedFolderRecord {
  std::string fileName;
  uint8_t folderClass = 0;
  uint8_t folderKind = 0;
  uint8_t albumType = 0;
  std::string text;  // the album's display name
  std::string path;  // the album's full path
};

// Applies the edits the folder's file holds to the items of the same names.
void LoadInfoDataXml(const std::vector<TCatalogItem*>& items, const std::string& folderPath);

// Writes one item's edits (and its tags of the album types in the set, bit n for type n) into a
// "file" element.
void GetNodeDataFromCatalogItem(pugi::xml_node* file, TCatalogItem* item, uint32_t albumTypes);
// Applies a "file" element's edits to an item.
void SetNodeDataToCatalogItem(pugi::xml_node* file, TCatalogItem* item);

// Appends the tags of the folder's file whose album type is in the set.
void LoadRelatedFolderRecords(const std::string& folderPath, std::vector<TRelatedFolderRecord>* list,
                              uint32_t albumTypes);

// The whole document for the given items, as the export writes it.
std::string MakeInfoDataXml(const std::vector<TCatalogItem*>& items, uint32_t albumTypes);

}  // namespace plb
