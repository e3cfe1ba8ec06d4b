#include "engine/store/export_info_xml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "support/test_env.h"

namespace plb {
namespace {

class Album : public TCustomFolder {
 public:
  Album(std::string name, uint8_t type) : name_(std::move(name)), type_(type) {}
  const char* ClassName() const override { return "TAlbum"; }
  uint8_t Kind() const override { return 3; }
  uint8_t AlbumType() const override { return type_; }
  std::string GetName() const override { return name_; }
  std::string GetFullName() const override { return "\\" + name_; }
  bool HasChildren() const override { return false; }
  TCustomFolder* GetParent() const override { return nullptr; }
  int32_t ItemCount() const override { return 0; }
  int32_t ItemCountOf(TKindSet) const override { return 0; }
  int32_t MarkedCount() const override { return 0; }
  bool IsDescendantOf(const TCustomFolder*) const override { return false; }
  void GetChildFolders(std::vector<TCustomFolder*>&) const override {}
  void GetOtherChildren(std::vector<TCustomFolder*>&) const override {}
  void GetItems(std::vector<TCatalogItem*>&) const override {}
  void GetItemsOf(TKindSet, std::vector<TCatalogItem*>&) const override {}

 private:
  std::string name_;
  uint8_t type_;
};

std::string WriteSideCar(const std::string& folder, const std::string& text) {
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/OstraExportInfo.xml", std::ios::binary) << text;
  return folder;
}

TEST(ExportInfoXml, EditsAndTagsTravelThroughTheFile) {
  Album tag("旅行", 8), tray("トレイ", 6);
  TCatalogItem source;
  source.SetFileNameRaw("a.jpg");
  source.SetMark(true);
  source.SetOrientation(8);
  source.SetComment("海 & <空>");
  source.SetColor({1, 5, -3, 110, 1, 2, 3, 4, 0, 9});
  source.SetTrimming(true, {1, 2, 300, 200}, 3, 2);
  source.AddTag(&tag);
  source.AddTag(&tray);
  TCatalogItem plain;
  plain.SetFileNameRaw("b.jpg");
  const std::string text = MakeInfoDataXml({&source, &plain}, 1u << 8);

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(text.c_str()));
  pugi::xml_node files = doc.child("OstraExportInfo").child("files");
  EXPECT_EQ(std::string(doc.child("OstraExportInfo").attribute("ver").value()), "1");
  pugi::xml_node b = files.find_child_by_attribute("file", "name", "b.jpg");
  EXPECT_FALSE(b.child("comment")) << "no comment element for an empty comment";
  EXPECT_FALSE(b.child("effect").attribute("meido")) << "attributes only when switched on";
  EXPECT_FALSE(b.child("tags"));
  pugi::xml_node a = files.find_child_by_attribute("file", "name", "a.jpg");
  EXPECT_EQ(std::string(a.attribute("orietation").value()), "8");
  EXPECT_EQ(std::string(a.child("tags").child("tag").text().get()), "旅行");
  EXPECT_FALSE(a.child("tags").child("tag").next_sibling("tag")) << "only the album types asked for";

  const std::string folder = WriteSideCar(test::TestRoot() + "/exp", text);
  TCatalogItem copy;
  copy.SetFileNameRaw("a.jpg");
  TCatalogItem other;
  other.SetFileNameRaw("zzz.jpg");
  LoadInfoDataXml({&other, &copy}, folder);
  EXPECT_TRUE(copy.Mark());
  EXPECT_EQ(copy.Orientation(), 8);
  EXPECT_EQ(copy.Comment(), "海 & <空>");
  EXPECT_EQ(copy.Color(), source.Color());
  EXPECT_EQ(copy.TrimRect(), source.TrimRect());
  EXPECT_EQ(+copy.Block().aspectX, 3);
  EXPECT_FALSE(other.Mark());

  std::vector<TRelatedFolderRecord> records;
  LoadRelatedFolderRecords(folder, &records, 1u << 8);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fileName, "a.jpg");
  EXPECT_EQ(records[0].text, "旅行");
  EXPECT_EQ(records[0].path, "\\旅行");
  EXPECT_EQ(records[0].albumType, 8);
  EXPECT_EQ(records[0].folderClass, 2);
  EXPECT_EQ(records[0].folderKind, 3);
  records.clear();
  LoadRelatedFolderRecords(folder, &records, 1u << 6);
  EXPECT_TRUE(records.empty());
  EXPECT_THROW(LoadRelatedFolderRecords(folder, nullptr, 1), EInfoDataXmlError);
}

TEST(ExportInfoXml, DocumentsThatAreNotOursChangeNothing) {
  const char* documents[] = {
      "<Other ver=\"1\"><files><file name=\"a.jpg\" mark=\"true\"/></files></Other>",
      "<OstraExportInfo ver=\"1\"/>",
      "<OstraExportInfo ver=\"1\"><nofiles/></OstraExportInfo>",
      "<OstraExportInfo ver=\"1\"><files><file name=\"a.jpg\" mark=\"true\"",
      "<OstraExportInfo><files><file mark=\"true\"/><File name=\"a.jpg\" mark=\"true\"/></files></OstraExportInfo>",
  };
  int n = 0;
  for (const char* document : documents) {
    SCOPED_TRACE(document);
    const std::string folder = WriteSideCar(test::TestRoot() + "/d" + std::to_string(n++), document);
    TCatalogItem item;
    item.SetFileNameRaw("a.jpg");
    EXPECT_NO_THROW(LoadInfoDataXml({&item}, folder));
    EXPECT_FALSE(item.Mark());
  }
  TCatalogItem item;
  EXPECT_NO_THROW(LoadInfoDataXml({&item}, test::TestRoot() + "/no-such-folder"));
  EXPECT_THROW(SetNodeDataToCatalogItem(nullptr, &item), EInfoDataXmlError);
  pugi::xml_document doc;
  pugi::xml_node node = doc.append_child("file");
  try {
    GetNodeDataFromCatalogItem(&node, nullptr, 0);
    FAIL();
  } catch (const EInfoDataXmlError& e) {
    EXPECT_EQ(e.Message(), "Item is nil.");
  }
}

}  // namespace
}  // namespace plb
