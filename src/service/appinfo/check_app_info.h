#pragma once
// Loading the application-information document and pushing its values to the parts that use them.
#include <string>

#include "service/appinfo/app_info_item.h"

namespace plb {

// The whole step: load through the chain (the service skipped when offline), evaluate the home
// view's start, and apply. When nothing loads, the error page of the last failure becomes the page
// to show (start mode "disppage"). False only when an unexpected error escaped.
bool PLApi_CheckAppInfoEx(bool offline);

// Pushes a loaded reader's values into the parameter store and the settings.
void ApplyAppInfo(const TMVGetAppInfoItem& reader);

// The values of the document applied last (the updater, the logs, the collage maker and the hint
// list read theirs here); defaults before any load.
TAppInfoValues AppliedAppInfo();

}  // namespace plb
