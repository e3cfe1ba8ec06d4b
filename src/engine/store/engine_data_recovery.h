#pragma once
// Puts the catalog back after a load failed, from the newest copy of its files that reads whole:
// the ".bak" copies of the last saves and the copies that failed loads kept aside
// ("<name>.damaged-…", "<name of the .bak>.kept-…"), the live files included. The tree file and
// the album file of one save (their headers carry the same save time) are only ever taken
// together, the history file of that save with them when one reads. Each live file that is
// replaced is first kept aside itself ("<name>.kept-…"), so a recovery loses nothing either.
#include <string>
#include <vector>

#include "host/date_time.h"

namespace plb {

struct TRecoveredCatalog {
  bool changed = false;  // false: the live files read whole; nothing was done
  TDateTime saved = 0;   // when the save that wrote the files put in place ran
  std::string tree, albums, history;  // the copies taken (history empty when none read)
  std::vector<std::string> keptAside;  // the live files' copies, made before they were replaced
};

// folder: the data folder. Takes its lock for the time of the recovery; raises EOstraEngineError
// when another process holds it, when no copy reads whole, or when a file cannot be put in place
// (the files then are the old set or the new one, as after an interrupted save).
TRecoveredCatalog RestoreNewestGoodCopy(const std::string& folder);

}  // namespace plb
