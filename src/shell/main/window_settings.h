#pragma once
// The window's share of the configuration: placement, the folder panel's width, the catalog's
// sort, grouping and thumbnail size, the viewer's mouse mode and size. Restored when the window
// takes the configuration, written back into it when the window closes; the engine writes the
// configuration out at its stop, so there is one writer of the settings file.
#include <QRect>
#include <optional>
#include <string>

namespace plb {
class TPlumoraConfigItem;
}

namespace plb::shell {

class TPlumoraMain2;

// The 44-byte window placement record: length, flags, show state, minimised and maximised
// positions, the normal rectangle (left, top, right, bottom), little-endian.
struct TWindowPlacement {
  bool maximized = false;
  QRect normal;
};
std::string EncodeWindowPlacement(const TWindowPlacement& placement);
// Nothing for a record of another length or with an empty rectangle.
std::optional<TWindowPlacement> DecodeWindowPlacement(const std::string& record);

// A rectangle outside the work area is moved into it (and shrunk to it when larger).
QRect MoveIntoArea(const QRect& rect, const QRect& area);

inline constexpr int kMinFolderPanelWidth = 200;

void RestoreWindowSettings(TPlumoraMain2& window, const TPlumoraConfigItem& config);
void SaveWindowSettings(const TPlumoraMain2& window, TPlumoraConfigItem& config);

}  // namespace plb::shell
