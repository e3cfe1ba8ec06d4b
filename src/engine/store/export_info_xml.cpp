#include "engine/store/export_info_xml.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <pugixml.hpp>
#include <sstream>

#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/folder.h"
#include "engine/views/name_order.h"
#include "host/format.h"

namespace plb {

namespace {

std::string BoolText(bool v) {
  return v ? "true" : "false";
}

bool ParseBool(const char* text) {
  std::string t = FoldCase(text ? text : "");
  while (!t.empty() && static_cast<unsigned char>(t.back()) <= ' ') t.pop_back();
  size_t i = 0;
  while (i < t.size() && static_cast<unsigned char>(t[i]) <= ' ') ++i;
  t = t.substr(i);
  return t == "true" || t == "1" || t == "-1";
}

// An integer attribute within [lo, hi], or fallback when it is absent or out of range. Answered by
// value: the targets are fields of packed records, which cannot be bound to references.
long long IntOr(const pugi::xml_node& node, const char* name, long long fallback, long long lo, long long hi) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) return fallback;
  const long long v = a.as_llong(LLONG_MIN);
  return (v >= lo && v <= hi) ? v : fallback;
}

template <class F>
auto Wrapped(const char* function, F&& body) {
  try {
    return body();
  } catch (const EInfoDataXmlError&) {
    throw;
  } catch (const std::exception& e) {
    throw EInfoDataXmlError(Format("%s Raised in %s (%s)", ClassNameOf(e), function, MessageOf(e)));
  }
}

// The document of a folder's side-car file, or false when there is none or it is not one.
bool LoadDocument(const std::string& folderPath, pugi::xml_document& doc, pugi::xml_node& files) {
  const std::string path = JoinPath(folderPath, kExportInfoFileName);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (!doc.load_file(path.c_str())) return false;
  pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "OstraExportInfo" || !root.first_child()) return false;
  files = root.child("files");
  return static_cast<bool>(files);
}

void AddIntAttribute(pugi::xml_node& node, const char* name, long long v) {
  node.append_attribute(name) = v;
}

}  // namespace

void SetNodeDataToCatalogItem(pugi::xml_node* file, TCatalogItem* item) {
  if (!file) throw EInfoDataXmlError("Node is nil.");
  if (!item) throw EInfoDataXmlError("Item is nil.");
  Wrapped("SetNodeDataToCatalogItem", [&] {
    const pugi::xml_node& node = *file;
    if (pugi::xml_attribute mark = node.attribute("mark")) item->SetMark(ParseBool(mark.value()));
    if (pugi::xml_attribute o = node.attribute("orietation")) {
      const long long v = o.as_llong(0);
      if (v >= 1 && v <= 8) item->SetOrientation(static_cast<uint16_t>(v));
    }
    if (pugi::xml_node comment = node.child("comment")) item->SetComment(comment.text().get());
    if (pugi::xml_node effect = node.child("effect")) {
      TColorAdjustment color;
      color.enabled = ParseBool(effect.text().get()) ? 1 : 0;
      if (color.enabled) {
        color.meido = static_cast<int32_t>(IntOr(effect, "meido", color.meido, INT32_MIN, INT32_MAX));
        color.cont = static_cast<int32_t>(IntOr(effect, "cont", color.cont, INT32_MIN, INT32_MAX));
        color.gamma = static_cast<int32_t>(IntOr(effect, "gamma", color.gamma, INT32_MIN, INT32_MAX));
        color.red = static_cast<int32_t>(IntOr(effect, "red", color.red, INT32_MIN, INT32_MAX));
        color.green = static_cast<int32_t>(IntOr(effect, "green", color.green, INT32_MIN, INT32_MAX));
        color.blue = static_cast<int32_t>(IntOr(effect, "blue", color.blue, INT32_MIN, INT32_MAX));
        color.filter1 = static_cast<uint8_t>(IntOr(effect, "filter1", color.filter1, 0, 255));
        color.filter2 = static_cast<uint8_t>(IntOr(effect, "filter2", color.filter2, 0, 255));
        color.filter3 = static_cast<uint8_t>(IntOr(effect, "filter3", color.filter3, 0, 255));
      }
      item->SetColor(color);
    }
    if (pugi::xml_node trim = node.child("triming")) {
      const bool on = ParseBool(trim.text().get());
      TTrimRect rect;
      uint16_t ax = 0, ay = 0;
      ax = static_cast<uint16_t>(IntOr(trim, "ax", ax, 0, 65535));
      ay = static_cast<uint16_t>(IntOr(trim, "ay", ay, 0, 65535));
      rect.left = static_cast<int32_t>(IntOr(trim, "left", rect.left, 0, INT32_MAX));
      rect.top = static_cast<int32_t>(IntOr(trim, "top", rect.top, 0, INT32_MAX));
      rect.right = static_cast<int32_t>(IntOr(trim, "right", rect.right, 0, INT32_MAX));
      rect.bottom = static_cast<int32_t>(IntOr(trim, "bottom", rect.bottom, 0, INT32_MAX));
      item->SetTrimming(on, rect, ax, ay);
    }
  });
}

void GetNodeDataFromCatalogItem(pugi::xml_node* file, TCatalogItem* item, uint32_t albumTypes) {
  if (!file) throw EInfoDataXmlError("Node is nil.");
  if (!item) throw EInfoDataXmlError("Item is nil.");
  Wrapped("GetNodeDataFromCatalogItem", [&] {
    pugi::xml_node& node = *file;
    const TCatalogItemBlock block = item->Block();
    node.append_attribute("name") = item->FileName().c_str();
    node.append_attribute("mark") = BoolText(block.flags & cifMark).c_str();
    AddIntAttribute(node, "orietation", block.orientation);
    const std::string comment = item->Comment();
    if (!comment.empty()) node.append_child("comment").text() = comment.c_str();
    pugi::xml_node effect = node.append_child("effect");
    effect.text() = BoolText(block.color.enabled).c_str();
    if (block.color.enabled) {
      AddIntAttribute(effect, "meido", block.color.meido);
      AddIntAttribute(effect, "cont", block.color.cont);
      AddIntAttribute(effect, "gamma", block.color.gamma);
      AddIntAttribute(effect, "red", block.color.red);
      AddIntAttribute(effect, "green", block.color.green);
      AddIntAttribute(effect, "blue", block.color.blue);
      AddIntAttribute(effect, "filter1", block.color.filter1);
      AddIntAttribute(effect, "filter2", block.color.filter2);
      AddIntAttribute(effect, "filter3", block.color.filter3);
    }
    pugi::xml_node trim = node.append_child("triming");
    trim.text() = BoolText(block.trimmingOn).c_str();
    if (block.trimmingOn) {
      AddIntAttribute(trim, "ax", block.aspectX);
      AddIntAttribute(trim, "ay", block.aspectY);
      AddIntAttribute(trim, "left", block.trimLeft);
      AddIntAttribute(trim, "top", block.trimTop);
      AddIntAttribute(trim, "right", block.trimRight);
      AddIntAttribute(trim, "bottom", block.trimBottom);
    }
    if (albumTypes == 0) return;
    const std::vector<TCustomFolder*> albums = item->TagsOfAlbumTypes(albumTypes);
    if (albums.empty()) return;
    pugi::xml_node tags = node.append_child("tags");
    for (TCustomFolder* album : albums) {
      pugi::xml_node tag = tags.append_child("tag");
      tag.text() = album->GetName().c_str();
      AddIntAttribute(tag, "folderkind", FolderClassOfKind(album->Kind()));
      AddIntAttribute(tag, "foldertype", album->Kind());
      AddIntAttribute(tag, "albumtype", album->AlbumType());
      tag.append_attribute("path") = album->GetFullName().c_str();
    }
  });
}

std::string MakeInfoDataXml(const std::vector<TCatalogItem*>& items, uint32_t albumTypes) {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = doc.append_child("OstraExportInfo");
  root.append_attribute("ver") = 1;
  pugi::xml_node files = root.append_child("files");
  for (TCatalogItem* item : items) {
    pugi::xml_node file = files.append_child("file");
    GetNodeDataFromCatalogItem(&file, item, albumTypes);
  }
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

void LoadInfoDataXml(const std::vector<TCatalogItem*>& items, const std::string& folderPath) {
  if (items.empty()) return;
  Wrapped("LoadInfoDataXml", [&] {
    pugi::xml_document doc;
    pugi::xml_node files;
    if (!LoadDocument(folderPath, doc, files)) return;
    std::vector<std::pair<std::string, TCatalogItem*>> byName;
    byName.reserve(items.size());
    for (TCatalogItem* item : items) byName.emplace_back(item->FileName(), item);
    std::sort(byName.begin(), byName.end(), [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
    for (pugi::xml_node file = files.child("file"); file; file = file.next_sibling("file")) {
      pugi::xml_attribute name = file.attribute("name");
      if (!name) continue;
      const std::string_view wanted = name.value();
      auto it = std::lower_bound(byName.begin(), byName.end(), wanted,
                                 [](const auto& entry, std::string_view n) { return NameLess(entry.first, n); });
      if (it != byName.end() && it->first == wanted) SetNodeDataToCatalogItem(&file, it->second);
    }
  });
}

void LoadRelatedFolderRecords(const std::string& folderPath, std::vector<TRelatedFolderRecord>* list,
                              uint32_t albumTypes) {
  if (!list) throw EInfoDataXmlError("RetList is nil.");
  Wrapped("LoadRelatedFolderRecords", [&] {
    pugi::xml_document doc;
    pugi::xml_node files;
    if (!LoadDocument(folderPath, doc, files)) return;
    for (pugi::xml_node file = files.child("file"); file; file = file.next_sibling("file")) {
      pugi::xml_attribute name = file.attribute("name");
      if (!name) continue;
      for (pugi::xml_node tag = file.child("tags").child("tag"); tag; tag = tag.next_sibling("tag")) {
        const long long type = tag.attribute("albumtype").as_llong(-1);
        const long long folderClass = tag.attribute("folderkind").as_llong(-1);
        const long long kind = tag.attribute("foldertype").as_llong(-1);
        // A tag whose attributes cannot be read is skipped; types above 15 never match.
        if (type < 0 || type > 15 || folderClass < 0 || folderClass > 255 || kind < 0 || kind > 255) continue;
        if (!(albumTypes & (uint32_t{1} << type))) continue;
        TRelatedFolderRecord record;
        record.fileName = name.value();
        record.folderClass = static_cast<uint8_t>(folderClass);
        record.folderKind = static_cast<uint8_t>(kind);
        record.albumType = static_cast<uint8_t>(type);
        record.text = tag.text().get();
        record.path = tag.attribute("path").value();
        list->push_back(std::move(record));
      }
    }
  });
}

}  // namespace plb
