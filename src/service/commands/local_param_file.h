#pragma once
// The hand-over document through which another program gives the browser a folder to show and
// photos (and a music file) for the tray: "localparamfile=<path>" on the command line.
#include <functional>
#include <mutex>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace plb {

// A hand-over document is small; anything larger is not one.
inline constexpr size_t kMaxLocalParamFileSize = 1u << 20;
inline constexpr int kAbsentPhotoIndex = 16777215;

struct TLocalParamItem {
  int photo_index = kAbsentPhotoIndex;
  std::string file_name;
  std::string rotation = "0";

  // The EXIF orientation of the rotation: "90" 6, "180" 3, "270" 8, anything else 1.
  int Orientation() const;
};

class TLocalParamFile {
 public:
  // Reads and parses the file. Raises ELocalParamFileError: "SourceFileName is Empty.",
  // "\"%s\" is not Exists.", a file larger than a hand-over document, or XML that does not parse.
  void Load(const std::string& path);
  // The same from bytes already read.
  void LoadFromBytes(const std::string& bytes, const std::string& source_name);

  // True when a document is loaded and its root is "plumoraBrowserWakeup" (any case). Only such a
  // file may be copied to the service or deleted.
  bool IsHandOverDocument() const;
  const std::string& Bytes() const { return bytes_; }

  // "photoView"/"directory"@"pathName"; empty when absent.
  std::string GetTargetDirectory() const;
  // "plumoraTray"/"bgm"@"fileName"; empty when absent.
  std::string GetBGMFilePath() const;
  // The photos with a file name, sorted by photo index (absent ones last, order kept among equals).
  std::vector<TLocalParamItem> ListupLocalParamItems() const;

  // For each listed photo whose file exists, add_item puts the catalog item of that file (its
  // folder added to the tree when missing) with the orientation into the output list and returns
  // false when the folder cannot be had. A failing photo is logged and skipped. Returns the
  // number of photos added.
  int ListupSourceItems(const std::function<bool(const std::string& path, int orientation)>& add_item) const;

 private:
  void CheckDocument(const char* step) const;

  mutable std::mutex lock_;
  std::string source_name_;
  std::string bytes_;
  pugi::xml_document document_;
  bool loaded_ = false;
};

// Deletes the file at path only when it is a hand-over document (a wake-up URL from any web page
// can name any file); true when it was deleted.
bool DeleteHandOverDocument(const std::string& path);

// The content of the last hand-over document read stays in memory for a restart.
void HoldLocalParamContent(const std::string& bytes);
std::string HeldLocalParamContent();
// Reads the local parameter file the start parameters name and holds its bytes, so that a restart
// hands the same content on even when the file is gone by then. Only a hand-over document is held;
// any other file, or none, holds nothing.
void HoldLocalParamFile(const std::string& path);
// Writes the held content to "RebootPLBParam.xml" in the private temporary folder and returns its
// path; empty when nothing is held.
std::string WriteRebootCopy();

}  // namespace plb
