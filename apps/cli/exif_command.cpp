// plb exif: what the program reads from photo files: shooting date, orientation, pixel size,
// camera, the EXIF thumbnail's place, and every EXIF property with its display text.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "images/exif/exif_display.h"
#include "images/exif/exif_property.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "images/codec/stream.h"
#include "json_output.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct FileReport {
  std::string path;
  std::string error;  // empty when the file was read
  TDateTime date = 0;
  int orientation = 1;
  int width = 0;
  int height = 0;
  int64_t thumbnail_offset = 0;
  int64_t thumbnail_length = 0;
  TExifItem item;
};

enum class Kind { kJpeg, kTiff, kOther };

Kind Sniff(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::kRead);
  uint8_t head[4] = {};
  file.Read(head, 4);
  if (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0) return Kind::kTiff;
  try {
    FindJpegStart(file);
    return Kind::kJpeg;
  } catch (const EAbort&) {
    return Kind::kOther;
  }
}

void ReadReport(FileReport& r) {
  const Kind kind = Sniff(r.path);  // raises when the file cannot be opened
  if (kind == Kind::kOther) {
    r.error = "not a JPEG or TIFF image";
    return;
  }
  if (kind == Kind::kTiff) {
    TTiffInfoRec info;
    ReadTiffInfoFromFile(r.path, info);
    r.date = info.shooting_date;
    r.orientation = info.orientation;
    r.width = info.width;
    r.height = info.height;
  } else {
    uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(r.path, flags, info);
    r.date = info.shooting_date;
    r.orientation = info.orientation;
    r.width = info.width;
    r.height = info.height;
    r.thumbnail_offset = info.thumb_offset;
    r.thumbnail_length = info.thumb_stream ? info.thumb_length : 0;
    if (info.width < 0) r.error = "damaged JPEG: no readable frame header";
  }
  r.item.LoadFromFile(r.path, kind == Kind::kJpeg);
}

std::string DateText(TDateTime date) {
  return date == 0 ? "" : FormatExifDateTime(date);
}

void PrintText(const FileReport& r) {
  std::printf("%s\n", r.path.c_str());
  if (!r.error.empty()) std::printf("  error: %s\n", r.error.c_str());
  std::printf("  date: %s\n  orientation: %d\n  width: %d\n  height: %d\n", r.date ? DateText(r.date).c_str() : "-",
              r.orientation, r.width, r.height);
  std::printf("  make: %s\n  model: %s\n", r.item.PropertyText(3, false, "-", "").c_str(),
              r.item.PropertyText(4, false, "-", "").c_str());
  std::printf("  thumbnail: offset %lld, length %lld\n", static_cast<long long>(r.thumbnail_offset),
              static_cast<long long>(r.thumbnail_length));
  for (const std::string& line : r.item.PropertyLines(false, "%-17s:%s", "---")) std::printf("  %s\n", line.c_str());
}

void PrintJson(const FileReport& r) {
  JsonObject row;
  PutText(row, "path", r.path);
  if (!r.error.empty()) PutText(row, "error", r.error);
  row["date"] = r.date ? JsonObject(DateText(r.date)) : JsonObject(nullptr);
  row["orientation"] = r.orientation;
  row["width"] = r.width;
  row["height"] = r.height;
  for (const auto& [name, index] : {std::pair{"make", 3}, std::pair{"model", 4}}) {
    if (r.item.HasProperty(index)) {
      PutText(row, name, r.item.PropertyText(index, false, "", ""));
    } else {
      row[name] = nullptr;
    }
  }
  row["thumbnail_offset"] = r.thumbnail_offset;
  row["thumbnail_length"] = r.thumbnail_length;
  JsonObject properties = JsonObject::array();
  for (int index : PropertyDisplayOrder()) {
    if (!r.item.HasProperty(index)) continue;
    JsonObject property;
    property["index"] = index;
    PutText(property, "label", PropertyLabel(index));
    PutText(property, "text", r.item.PropertyText(index, false, "", ""));
    properties.push_back(std::move(property));
  }
  row["properties"] = std::move(properties);
  PrintJsonLine(row);
}

struct Options {
  bool json = false;
  std::vector<std::string> files;
};

int RunExif(const Options& o) {
  if (o.files.empty()) throw UsageError{"no file given"};
  int status = 0;
  for (const std::string& path : o.files) {
    FileReport report;
    report.path = path;
    try {
      ReadReport(report);
    } catch (const std::exception& e) {
      report.error = MessageOf(e);
    }
    if (!report.error.empty()) status = 1;
    o.json ? PrintJson(report) : PrintText(report);
    std::fflush(stdout);
  }
  return status;
}

Runner DefineExif(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FILE", o->files, "JPEG or TIFF (RAW) files");
  app.add_flag("--json", o->json, "one JSON object per file");
  return [o] { return RunExif(*o); };
}

PLB_SUBCOMMAND("exif", "FILE... [--json]", "what the program reads from photo files", DefineExif);

}  // namespace
}  // namespace plb::cli
