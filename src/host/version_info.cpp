#include "host/version_info.h"

#include <array>

#include "version_info_values.h"  // generated from the build's version

namespace plb {

std::string VersionInfoValue(int index) {
  static constexpr std::array<const char*, 10> kValues = {
      PLB_VI_COMPANY_NAME,    PLB_VI_FILE_DESCRIPTION, PLB_VI_FILE_VERSION,      PLB_VI_INTERNAL_NAME,
      PLB_VI_LEGAL_COPYRIGHT, PLB_VI_LEGAL_TRADEMARKS, PLB_VI_ORIGINAL_FILENAME, PLB_VI_PRODUCT_NAME,
      PLB_VI_PRODUCT_VERSION, PLB_VI_COMMENTS};
  if (index < 0 || index >= static_cast<int>(kValues.size())) return {};
  return kValues[index];
}

std::string FileVersion() {
  return VersionInfoValue(kFileVersion);
}

}  // namespace plb
