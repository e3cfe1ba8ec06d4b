#pragma once
// Names and figures of the calendar export: the folders made for the calendar's nodes, the file
// names of the copies, the count and size texts, and the free-space rule.
#include <cstdint>
#include <string>

#include "host/date_time.h"

namespace plb {

class TCustomFolder;

// The node's name; the calendar root's followed by " (yyyymmdd)" of the export date.
std::string ExportNodeName(const TCustomFolder& node, TDateTime exportDate);

// The first of parent/name, parent/name(01), ... (parent/name-01) when name ends with ")") that
// nothing on disk takes yet, made as a directory. Raises EExportFolderThreadError with the
// system's reason when it cannot be made.
std::string CreateExportFolder(const std::string& parent, const std::string& name);

// folder/name, or folder/stem(1).ext, (2), ... while a file of that path exists.
std::string UniqueExportFileName(const std::string& folder, const std::string& name);

// " #,##0 枚".
std::string FormatExportCount(int64_t count);
// " #,##0 Bytes" up to 1024, then " #,##0.0 KB", " #,##0.0 MB" above 1 MiB, " #,##0.0 GB" above 1 GiB.
std::string FormatExportSize(int64_t bytes);

// The bytes kept free on the volume: 500 MiB on the system's volume, 10 MiB elsewhere.
int64_t ExportFreeSpaceMargin(bool systemDrive);
// True when total bytes fit into free less the margin.
bool ExportFits(int64_t total, int64_t freeBytes, bool systemDrive);
// The warning shown when they do not.
std::string NotEnoughSpaceText(const std::string& rootName, int64_t total);

}  // namespace plb
