#include "service/commands/local_param_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "platform/private_temp.h"
#include "service/commands/command_csv.h"
#include "service/api/service_errors.h"

namespace plb {
namespace {

constexpr const char* kReaderClass = "TLocalParamFile";

[[noreturn]] void Raise(const std::string& step, const std::exception& e) {
  throw ELocalParamFileError(ClassNameOf(e) + " raised in " + kReaderClass + "." + step + ". (" + MessageOf(e) + ")");
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

pugi::xml_node ChildNoCase(const pugi::xml_node& node, std::string_view name) {
  for (const pugi::xml_node& child : node.children())
    if (child.type() == pugi::node_element && AsciiEqualsNoCase(child.name(), name)) return child;
  return pugi::xml_node();
}

std::mutex& HeldLock() {
  static std::mutex lock;
  return lock;
}

std::string& HeldContent() {
  static std::string content;
  return content;
}

}  // namespace

int TLocalParamItem::Orientation() const {
  if (rotation == "90") return 6;
  if (rotation == "180") return 3;
  if (rotation == "270") return 8;
  return 1;
}

void TLocalParamFile::Load(const std::string& path) {
  const std::string step = "LoadFromStream(" + path + ")";
  try {
    if (path.empty()) throw ELocalParamFileError("SourceFileName is Empty.");
    if (!IsRegularFile(path)) throw ELocalParamFileError("\"" + path + "\" is not Exists.");
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    bytes.resize(kMaxLocalParamFileSize + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxLocalParamFileSize) throw ELocalParamFileError("\"" + path + "\" is too large.");
    LoadFromBytes(bytes, path);
  } catch (const ELocalParamFileError& e) {
    if (e.Message().find(" raised in ") != std::string::npos) throw;
    Raise(step, e);
  } catch (const std::exception& e) {
    Raise(step, e);
  }
}

void TLocalParamFile::LoadFromBytes(const std::string& bytes, const std::string& source_name) {
  std::lock_guard guard(lock_);
  loaded_ = false;
  source_name_ = source_name;
  bytes_ = bytes;
  const pugi::xml_parse_result parsed = document_.load_buffer(bytes_.data(), bytes_.size());
  if (!parsed) Raise("LoadFromStream(" + source_name + ")", ELocalParamFileError(parsed.description()));
  loaded_ = true;
}

bool TLocalParamFile::IsHandOverDocument() const {
  std::lock_guard guard(lock_);
  return loaded_ && AsciiEqualsNoCase(document_.document_element().name(), "plumoraBrowserWakeup");
}

void TLocalParamFile::CheckDocument(const char* step) const {
  try {
    if (!loaded_) throw ELocalParamFileError("XMLDocument is not assigned.");
    if (!document_.document_element()) throw ELocalParamFileError("XMLDocument is empty.");
    if (!AsciiEqualsNoCase(document_.document_element().name(), "plumoraBrowserWakeup"))
      throw ELocalParamFileError("Unknown XMLData");
  } catch (const std::exception& e) {
    Raise(step, e);
  }
}

std::string TLocalParamFile::GetTargetDirectory() const {
  std::lock_guard guard(lock_);
  CheckDocument("GetTargetDirectory");
  return ChildNoCase(ChildNoCase(document_.document_element(), "photoView"), "directory").attribute("pathName").value();
}

std::string TLocalParamFile::GetBGMFilePath() const {
  std::lock_guard guard(lock_);
  CheckDocument("GetBGMFilePath");
  return ChildNoCase(ChildNoCase(document_.document_element(), "plumoraTray"), "bgm").attribute("fileName").value();
}

std::vector<TLocalParamItem> TLocalParamFile::ListupLocalParamItems() const {
  std::lock_guard guard(lock_);
  CheckDocument("ListupLocalParamItems");
  std::vector<TLocalParamItem> items;
  try {
    const pugi::xml_node photos = ChildNoCase(ChildNoCase(document_.document_element(), "plumoraTray"), "photos");
    if (!photos) throw ELocalParamFileError("\"photos\" node is not found.");
    if (!photos.first_child()) throw ELocalParamFileError("\"photos\" node is empty.");
    for (const pugi::xml_node& photo : photos.children()) {
      if (photo.type() != pugi::node_element || !AsciiEqualsNoCase(photo.name(), "photo")) continue;
      if (!photo.attribute("fileName")) continue;
      TLocalParamItem item;
      item.file_name = photo.attribute("fileName").value();
      if (photo.attribute("photoIndex")) {
        const std::string text = photo.attribute("photoIndex").value();
        int value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size())
          throw ELocalParamFileError("'" + text + "' is not a valid integer value");
        item.photo_index = value;
      }
      if (photo.attribute("rotation")) item.rotation = photo.attribute("rotation").value();
      items.push_back(std::move(item));
    }
  } catch (const std::exception& e) {
    Raise("ListupLocalParamItems", e);
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const TLocalParamItem& a, const TLocalParamItem& b) { return a.photo_index < b.photo_index; });
  return items;
}

int TLocalParamFile::ListupSourceItems(
    const std::function<bool(const std::string& path, int orientation)>& add_item) const {
  int found = 0;
  for (const TLocalParamItem& item : ListupLocalParamItems()) {
    try {
      if (!IsRegularFile(item.file_name)) throw ELocalParamFileError("file not found.");
      if (!add_item(item.file_name, item.Orientation())) throw ELocalParamFileError("GetFolderEx is failed.");
      ++found;
    } catch (const std::exception& e) {
      LogException("SearchItemFromFileName( " + item.file_name + " )", e);
    }
  }
  return found;
}

bool DeleteHandOverDocument(const std::string& path) {
  TLocalParamFile file;
  try {
    file.Load(path);
  } catch (const std::exception&) {
    return false;
  }
  return file.IsHandOverDocument() && ::unlink(path.c_str()) == 0;
}

void HoldLocalParamContent(const std::string& bytes) {
  std::lock_guard guard(HeldLock());
  HeldContent() = bytes;
}

std::string HeldLocalParamContent() {
  std::lock_guard guard(HeldLock());
  return HeldContent();
}

void HoldLocalParamFile(const std::string& path) {
  if (path.empty()) {
    HoldLocalParamContent(std::string());
    return;
  }
  TLocalParamFile file;
  try {
    file.Load(path);
  } catch (const std::exception&) {
    HoldLocalParamContent(std::string());
    return;
  }
  HoldLocalParamContent(file.IsHandOverDocument() ? file.Bytes() : std::string());
}

std::string WriteRebootCopy() {
  std::string content;
  {
    std::lock_guard guard(HeldLock());
    content = HeldContent();
  }
  if (content.empty()) return std::string();
  const std::string path = platform::PrivateTempFolder() + "/RebootPLBParam.xml";
  platform::WriteExchangeFile(path, content, true);
  return path;
}

}  // namespace plb
