#pragma once
// The updater's values taken from the application information applied last.
#include "service/updater/application_updater.h"

namespace plb {

// The update-check and installer URLs, the announcement, and the machine ids now in force.
TUpdaterValues UpdaterValuesFromAppInfo();

// Hands them to the updater (after every load of the application information).
void ApplyAppInfoToUpdater();

}  // namespace plb
