// plb set-date: changes the shooting date of photo files the way the date-change worker does:
// the EXIF DateTimeOriginal field when it can be rewritten in place, else the modification time.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/date_time.h"
#include "host/file_functions.h"
#include "images/dates/exif_date_changer.h"
#include "images/exif/exif_text.h"
#include "images/codec/stream.h"
#include "json_output.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

bool StartsLikeJpeg(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::kRead);
  uint8_t head[2] = {};
  return file.Read(head, 2) == 2 && head[0] == 0xFF && head[1] == 0xD8;
}

// The shooting date the catalog would give the file: its own, else its modification time.
TDateTime CurrentShootingDate(const std::string& path, bool isJpeg) {
  const TDateTime date = ReadOwnShootingDate(path, isJpeg);
  return date > 0 ? date : GetFileUpdateDateTime(path);
}

// "yyyy:mm:dd" or "hh:nn:ss" as three numbers; false when the text has another form.
bool SplitThree(const std::string& text, int widthFirst, int& a, int& b, int& c) {
  char tail = 0;
  if (text.size() != static_cast<size_t>(widthFirst + 6)) return false;
  return std::sscanf(text.c_str(), "%d:%d:%d%c", &a, &b, &c, &tail) == 3;
}

TDateTime ParseDateOption(const std::string& text) {
  int y = 0, m = 0, d = 0;
  TDateTime date = 0;
  if (!SplitThree(text, 4, y, m, d) || !TryEncodeDate(y, m, d, date)) {
    throw UsageError{"--date must be yyyy:mm:dd, not \"" + text + "\""};
  }
  return date;
}

TDateTime ParseTimeOption(const std::string& text) {
  int h = 0, n = 0, s = 0;
  TDateTime time = 0;
  if (!SplitThree(text, 2, h, n, s) || !TryEncodeTime(h, n, s, 0, time)) {
    throw UsageError{"--time must be hh:nn:ss, not \"" + text + "\""};
  }
  return time;
}

// What happened to one file, for either output form.
struct Outcome {
  std::string path;
  std::string how;  // "exif", "mtime", "unchanged" or "failed"
  TDateTime oldDate = 0;
  TDateTime newDate = 0;
  std::string reason;
};

Outcome ChangeOne(const std::string& path, TDateTime target, uint8_t flags) {
  Outcome o{path, "failed", 0, 0, ""};
  try {
    const bool isJpeg = StartsLikeJpeg(path);
    o.oldDate = CurrentShootingDate(path, isJpeg);
    const TDateTime wanted = CombineShootingDate(o.oldDate, target, flags);
    const TFileDateChange change = ChangeFileShootingDate(path, isJpeg, o.oldDate, wanted);
    o.newDate = change.date;
    if (change.how == TFileDateChange::kUnchanged) o.how = "unchanged";
    if (change.how == TFileDateChange::kExifField) o.how = "exif";
    if (change.how == TFileDateChange::kModificationTime) {
      o.how = "mtime";
      o.reason = DatePatchResultText(change.patch);
    }
  } catch (const std::exception& e) {
    o.reason = MessageOf(e);
  }
  return o;
}

std::string DateText(TDateTime date) {
  return date == 0 ? "" : FormatExifDateTime(date);
}

void PrintText(const Outcome& o) {
  const char* path = o.path.c_str();
  if (o.how == "unchanged") {
    std::printf("%s: unchanged, already %s\n", path, DateText(o.oldDate).c_str());
  } else if (o.how == "exif") {
    std::printf("%s: EXIF DateTimeOriginal %s -> %s\n", path, DateText(o.oldDate).c_str(), DateText(o.newDate).c_str());
  } else if (o.how == "mtime") {
    std::printf("%s: modification time %s -> %s (%s)\n", path, DateText(o.oldDate).c_str(), DateText(o.newDate).c_str(),
                o.reason.c_str());
  } else {
    std::printf("%s: failed: %s\n", path, o.reason.c_str());
  }
}

void PrintJson(const Outcome& o) {
  JsonObject row;
  PutText(row, "file", o.path);
  row["changed"] = o.how;
  row["old"] = DateText(o.oldDate);
  row["new"] = DateText(o.newDate);
  PutText(row, "reason", o.reason);
  PrintJsonLine(row);
}

struct Options {
  std::vector<std::string> files;
  std::optional<std::string> date, time;
  bool json = false;
};

int RunSetDate(const Options& o) {
  if (!o.date && !o.time) throw UsageError{"give --date, --time or both"};
  if (o.files.empty()) throw UsageError{"no file given"};
  const TDateTime date = o.date ? ParseDateOption(*o.date) : 0;
  const TDateTime time = o.time ? ParseTimeOption(*o.time) : 0;
  const uint8_t flags = (o.date ? kChangeDate : 0) | (o.time ? kChangeTime : 0);
  ProgressLine progress("set-date");
  bool allDone = true;
  for (size_t i = 0; i < o.files.size(); ++i) {
    if (progress.Due()) progress.Show(CountText(i, o.files.size()) + "  " + o.files[i]);
    const Outcome outcome = ChangeOne(o.files[i], date + time, flags);
    progress.Clear();
    o.json ? PrintJson(outcome) : PrintText(outcome);
    allDone = allDone && outcome.how != "failed";
  }
  return allDone ? 0 : 1;
}

Runner DefineSetDate(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FILE", o->files, "photo files");
  app.add_option_function<std::string>("--date", [o](const std::string& text) { o->date = text; }, "the new day")
      ->type_name("yyyy:mm:dd");
  app.add_option_function<std::string>("--time", [o](const std::string& text) { o->time = text; }, "the new time")
      ->type_name("hh:nn:ss");
  app.add_flag("--json", o->json, "one JSON object per file");
  return [o] { return RunSetDate(*o); };
}

}  // namespace

PLB_SUBCOMMAND("set-date", "FILE... [--date yyyy:mm:dd] [--time hh:nn:ss] [--json]",
               "change the shooting date of photo files (in the EXIF data, else the modification time)",
               DefineSetDate);

}  // namespace plb::cli
