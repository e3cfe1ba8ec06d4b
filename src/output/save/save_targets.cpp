#include "output/save/save_targets.h"

#include <sys/stat.h>

#include <set>
#include <utility>

#include "engine/model/catalog_item.h"
#include "output/save/save_names.h"

namespace plb {

namespace {
std::string WithSlash(const std::string& folder) { return folder.ends_with('/') ? folder : folder + "/"; }
}  // namespace

std::string FirstExistingSaveName(const std::string& folder, const std::string& commonName, int digits,
                                  size_t count) {
  const std::string base = WithSlash(folder);
  for (size_t i = 0; i < count; ++i) {
    const std::string name = SaveImageFileName(commonName, digits, i);
    struct stat st {};
    if (::stat((base + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return name;
  }
  return {};
}

std::string SourceReplacedBySave(const std::string& folder, const std::string& commonName, int digits,
                                 const std::vector<TCatalogItem*>& items) {
  std::set<std::pair<dev_t, ino_t>> targets;
  const std::string base = WithSlash(folder);
  for (size_t i = 0; i < items.size(); ++i) {
    struct stat st {};
    if (::stat((base + SaveImageFileName(commonName, digits, i)).c_str(), &st) == 0)
      targets.insert({st.st_dev, st.st_ino});
  }
  if (targets.empty()) return {};
  for (const TCatalogItem* item : items) {
    if (!item) continue;
    const std::string source = item->FullPath();
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0 && targets.count({st.st_dev, st.st_ino})) return source;
  }
  return {};
}

}  // namespace plb
