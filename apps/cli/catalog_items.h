#pragma once
// Finding the catalog items of files named on the command line.
#include <string>

#include "engine_session.h"

namespace plb {
class TCatalogItem;
}

namespace plb::cli {

// The catalog item of an existing file (symbolic links resolved). Raises plb::Error naming the
// path when the file does not exist or is not in the catalog.
TCatalogItem* RequireCatalogItem(EngineSession& session, const std::string& path);

}  // namespace plb::cli
