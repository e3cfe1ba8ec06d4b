#include "service/logs/usage_report.h"

#include <algorithm>

#include "host/date_time.h"

namespace plb {
namespace {

// Deeper tag trees are cut here: a damaged album tree must not exhaust the stack.
constexpr int kMaxTagDepth = 64;

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Attr(const char* name, const std::string& value) { return std::string(" ") + name + "=\"" + value + "\""; }
std::string Attr(const char* name, int64_t value) { return Attr(name, std::to_string(value)); }

class Lines {
 public:
  void Add(const std::string& line) { text_ += line + "\r\n"; }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

void AddTag(Lines& lines, const TPLBTagNode& node, int depth) {
  const std::string head = "<tag" + Attr("name", Escaped(node.name)) + Attr("photonum", node.photo_count);
  if (node.children.empty() || depth >= kMaxTagDepth) {
    lines.Add(head + "/>");
    return;
  }
  lines.Add(head + ">");
  for (const TPLBTagNode& child : node.children) AddTag(lines, child, depth + 1);
  lines.Add("</tag>");
}

void AddPosition(Lines& lines, const char* name, const TPLBFolderStatistics& stats) {
  lines.Add("<position" + Attr("name", name) + Attr("dirnum", stats.dir_count) + Attr("totalnum", stats.photo_count) +
            ">");
  for (size_t i = 0; i < kPhotoIndexSizes.size(); ++i)
    lines.Add("<photoindex" + Attr("size", kPhotoIndexSizes[i]) + Attr("totalnum", stats.bins[i]) + "/>");
  lines.Add("</position>");
}

void AddBrowseLog(Lines& lines, const char* mode, int number, int64_t seconds, bool close) {
  lines.Add("<browselog" + Attr("mode", mode) + Attr("number", number) + Attr("totalsecond", seconds) +
            (close ? "/>" : ">"));
}

}  // namespace

size_t PhotoIndexBin(int width, int height) {
  for (size_t i = 0; i < kPhotoIndexSizes.size(); ++i)
    if (width >= kPhotoIndexSizes[i] || height > kPhotoIndexSizes[i]) return i;
  return kPhotoIndexSizes.size() - 1;  // a negative size still lands in the last bin
}

void TPLBFolderStatistics::AddPhoto(int width, int height) {
  ++photo_count;
  ++bins[PhotoIndexBin(width, height)];
}

void TPLBFolderStatistics::Add(const TPLBFolderStatistics& other, int sign) {
  dir_count += sign * other.dir_count;
  photo_count += sign * other.photo_count;
  for (size_t i = 0; i < bins.size(); ++i) bins[i] += sign * other.bins[i];
}

std::string UsageReportTime(TDateTime time) {
  return FormatDateTime("yyyy\"-\"mm\"-\"dd\"T\"hh\":\"nn\":\"ss\"+09:00\"", time);
}

std::string BuildUsageReport(const TPLBLogItem& item, const TPLBLibraryDescription& library,
                             const std::string& version) {
  Lines lines;
  std::string dotted = version;
  std::replace(dotted.begin(), dotted.end(), ',', '.');
  lines.Add("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  lines.Add("<PlumoraBrowserLog" + Attr("applicationversion", Escaped(dotted)) +
            Attr("starttime", UsageReportTime(item.StartTime())) + ">");
  lines.Add("<browselogs>");
  const char* const modes[kPLBLogPageCount] = {"PlumoraDotNet", "PhotoLibrary", "BgmLibrary"};
  for (int page = 0; page < kPLBLogPageCount; ++page)
    AddBrowseLog(lines, modes[page], item.GetPageCount(page), item.GetPageSecond(page), true);
  const TUploadTimeRecord uploads = item.GetUploadTimeRecord();
  AddBrowseLog(lines, "PhotoLibraryUploader", uploads.count, uploads.total_seconds, false);
  for (int i = 0; i < uploads.count; ++i)
    lines.Add("<uploadlog" + Attr("photonum", uploads.photo_counts[static_cast<size_t>(i)]) +
              Attr("totalsecond", uploads.seconds[static_cast<size_t>(i)]) + "/>");
  lines.Add("</browselog>");
  lines.Add("</browselogs>");

  TPLBFolderStatistics total = library.default_position;
  total.Add(library.under_system_dir_position);
  total.Add(library.otherwise_position);
  lines.Add("<photoindexs" + Attr("dirnum", total.dir_count) + Attr("totalnum", total.photo_count) + ">");
  AddPosition(lines, "default", library.default_position);
  AddPosition(lines, "addUnderSystemDir", library.under_system_dir_position);
  AddPosition(lines, "addOtherwise", library.otherwise_position);
  lines.Add("</photoindexs>");
  lines.Add("<cache" + Attr("kbyes", static_cast<int64_t>(library.cache_bytes / 1024)) + "/>");

  lines.Add("<tags>");
  if (library.has_tag_group) AddTag(lines, library.tag_group, 0);
  lines.Add("</tags>");
  lines.Add("<hints>");
  for (const TPLBHintState& hint : library.hints) {
    std::string line = "<hint" + Attr("hintid", hint.hint_id) + Attr("status", hint.displayed ? "disp" : "nodisp");
    if (hint.first_shown != 0)
      line += Attr("first_ts", UsageReportTime(hint.first_shown)) + Attr("last_ts", UsageReportTime(hint.last_shown));
    lines.Add(line + "/>");
  }
  lines.Add("</hints>");
  lines.Add("</PlumoraBrowserLog>");
  return lines.Take();
}

}  // namespace plb
