#pragma once
// The rules of the web home that need no browser: what a navigation of the page means, the
// version query of navigated addresses, the session id seen in top-level addresses, which
// addresses may leave for the desktop browser, and the names the page is told on a page change.
#include <optional>
#include <string>
#include <string_view>

namespace plb::shell {

// The service page's tab label; the service also gets it back as the page an upload started from.
inline constexpr const char* kServiceTabLabel = "プルモラ.net";

// What the web home does with a navigation the page starts.
enum class TNavigationKind {
  kWakeup,    // a wake-up address: cancelled, its command handed on
  kCommand,   // the command frame: cancelled, its query handed on as a command
  kTopLevel,  // the document itself: allowed; may carry a new session id
  kOther,     // a frame of the page: allowed
  kRefused,   // a scheme outside the web's (http, https, file, about, data, blob): cancelled
};

struct TNavigationDecision {
  TNavigationKind kind = TNavigationKind::kOther;
  bool accept = true;
  std::string command;  // the command CSV of kWakeup and kCommand; empty otherwise
};

// url as it is navigated to (wake-up addresses first, then schemes other than the web's are
// refused, so that no address reaches a desktop handler of its scheme); main_frame for the document itself; service_origin when the address
// belongs to the service (the home page's or the service's origin). The command frame cannot be
// told by its name here, so a frame navigation to the service whose query holds a command is
// taken as one; navigations of other origins never command the program.
TNavigationDecision ClassifyNavigation(std::string_view url, bool main_frame, bool service_origin);

// url with "version=<version>" added to its query, before any "#fragment"; "about:blank" for an
// empty url.
std::string WithVersionQuery(std::string_view url, std::string_view version);

// Whether url starts a script ("javascript:" in any case, and at least 12 characters long).
bool IsScriptAddress(std::string_view url);

// Only http and https addresses go to the desktop browser: another scheme handed to the desktop
// opener could start a local program or open a local file.
bool IsDesktopBrowserUrl(std::string_view url);

// The session id a top-level address reports: the "sessionid" item of its query, once per change.
class TSessionIdTracker {
 public:
  // The new id when url carries a non-empty one that differs from the last reported.
  std::optional<std::string> Report(std::string_view url);
  const std::string& LastSessionId() const { return last_; }

 private:
  std::string last_;
};

// The page names (0 "PlumoraDotNet", 1 and 2 "PhotoLibrary") and source names (0 "user",
// 1 "plb_command", 2 "plbprocess") of changedPlumoraBrowserTab; out-of-range values are clamped.
std::string_view PageModeName(int page);
std::string_view PageModeSource(int source);

}  // namespace plb::shell
