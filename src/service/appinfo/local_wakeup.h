#pragma once
// How the home view starts: the "localwakeup" part of the application-information document names
// a start page, a URL that answers with the start page, or a command mode with the first-command
// URL and the command run while an upload is in progress.
#include <functional>
#include <pugixml.hpp>
#include <string>

namespace plb {

struct TLocalWakeup {
  int set_mode_kind = 0;  // 0 start page, 1 start page fetched from a URL, 2 command mode
  std::string start_page;
  std::string first_command_url;
  std::string uploading_command;
};

// Asks the URL for the start page; false with the failure recorded when it cannot be had.
using StartPageFetcher = std::function<bool(const std::string& url, std::string& page)>;

// Evaluates every "online" element of the document in order; the last one wins.
TLocalWakeup EvaluateLocalWakeup(const pugi::xml_node& root, const StartPageFetcher& fetch);

// The fetcher of the program: PLApi_GetFirstDisplayUrl with the start-parameter file written just
// before and deleted after; on failure the error page for the failure becomes the start page.
bool FetchStartPage(const std::string& url, std::string& page);

}  // namespace plb
