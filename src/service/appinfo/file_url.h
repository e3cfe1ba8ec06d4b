#pragma once
// "file://" values of the application-information document name pages in the folder "docroot"
// beside the program.
#include <optional>
#include <string>
#include <string_view>

namespace plb {

// The page folder: "docroot" beside the program, or share/plumora-browser/docroot of an
// installed program when nothing is beside it.
std::string AppDocRoot();

// Where a "file://" value comes from: the service's documents may only name files inside the page
// folder; the local user's own command line and stored default may name any absolute path.
enum class FileUrlSource { kDocument, kLocalUser };

// The file a "file://" value names (any case of the prefix); nullopt when the value is not a
// "file://" value or, from a document, when it would leave the page folder.
std::optional<std::string> MapFileUrlToPath(std::string_view value, FileUrlSource source);

// A value used as a page address: a "file://" value becomes "file://" + the mapped absolute path;
// any other value stays. A document value leaving the page folder becomes empty (and is logged).
std::string MapFileUrl(const std::string& value, FileUrlSource source = FileUrlSource::kDocument);

}  // namespace plb
