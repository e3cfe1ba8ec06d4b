#include "output/export/export_names.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/model/custom_folder.h"
#include "output/export/export_folder_thread.h"

namespace plb {

namespace {

bool Taken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

// Digits with thousands separators.
std::string Grouped(int64_t value) {
  const bool negative = value < 0;
  std::string digits = std::to_string(negative ? -static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  if (negative) out.insert(out.begin(), '-');
  return out;
}

// One decimal place, rounded half up, with separators.
std::string GroupedOneDecimal(double value) {
  const int64_t tenths = static_cast<int64_t>(value * 10 + 0.5);
  return Grouped(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string ExportNodeName(const TCustomFolder& node, TDateTime exportDate) {
  std::string name = node.GetName();
  if (node.Kind() == kKindCalendarRoot) name += " (" + FormatDateTime("yyyymmdd", exportDate) + ")";
  return name;
}

std::string CreateExportFolder(const std::string& parent, const std::string& name) {
  const std::string first = (parent.ends_with('/') ? parent : parent + "/") + name;
  std::string candidate = first;
  // A plain file of the name counts as taken too: making the folder over it would fail.
  for (int n = 1; Taken(candidate); ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "%.2d", n);
    candidate = first.ends_with(')') ? first.substr(0, first.size() - 1) + "-" + number + ")"
                                     : first + "(" + number + ")";
  }
  std::error_code ec;
  if (!std::filesystem::create_directory(candidate, ec) || ec)
    throw EExportFolderThreadError{ec ? ec.message() : candidate + ": could not be created"};
  return candidate;
}

std::string UniqueExportFileName(const std::string& folder, const std::string& name) {
  const std::string base = folder.ends_with('/') ? folder : folder + "/";
  const size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  std::string candidate = base + name;
  for (int n = 1; Taken(candidate); ++n) candidate = base + stem + "(" + std::to_string(n) + ")" + ext;
  return candidate;
}

// Texts that start with a blank, as the dialog's columns line them up.
static std::string Spaced(const std::string& number, const char* unit) {
  std::string text(1, ' ');
  text.append(number).append(unit);
  return text;
}

std::string FormatExportCount(int64_t count) { return Spaced(Grouped(count), " 枚"); }

std::string FormatExportSize(int64_t b) {
  if (b > 1073741824) return Spaced(GroupedOneDecimal(b / 1073741824.0), " GB");
  if (b > 1048576) return Spaced(GroupedOneDecimal(b / 1048576.0), " MB");
  if (b <= 1024) return Spaced(Grouped(b), " Bytes");
  return Spaced(GroupedOneDecimal(b / 1024.0), " KB");
}

int64_t ExportFreeSpaceMargin(bool systemDrive) { return systemDrive ? 524288000 : 10485760; }

bool ExportFits(int64_t total, int64_t freeBytes, bool systemDrive) {
  return total < freeBytes - ExportFreeSpaceMargin(systemDrive);
}

std::string NotEnoughSpaceText(const std::string& rootName, int64_t total) {
  return "ディスクの空き容量が不足しています。\r\n\r\n「" + rootName + "」を出力するためには " + FormatExportSize(total) +
         " 以上の空き容量が必要です。";
}

}  // namespace plb
