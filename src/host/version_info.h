#pragma once
// The program's version information: the ten standard version entries, fixed when the program is
// built. The service client sends "FileVersion" (four dotted numbers) with every request.
#include <string>

namespace plb {

// The standard version entries in their usual order.
enum VersionInfoKey {
  kCompanyName = 0,
  kFileDescription = 1,
  kFileVersion = 2,
  kInternalName = 3,
  kLegalCopyright = 4,
  kLegalTrademarks = 5,
  kOriginalFilename = 6,
  kProductName = 7,
  kProductVersion = 8,
  kComments = 9,
};

// The entry with that index; empty when the index is out of range or the entry is absent.
std::string VersionInfoValue(int index);

// VersionInfoValue(kFileVersion), such as "1.0.0.1".
std::string FileVersion();

}  // namespace plb
