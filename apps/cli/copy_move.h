#pragma once
// plb cp and plb mv: sources (files and folders) into an existing folder, the catalog data
// carried along. Existing files are kept unless --overwrite is given (read-only ones always are).
#include "subcommand.h"

namespace plb::cli {

// command: "cp" or "mv", for messages.
Runner DefineCopyOrMove(CLI::App& app, const char* command, bool copy);

}  // namespace plb::cli
