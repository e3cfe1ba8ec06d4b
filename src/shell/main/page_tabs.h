#pragma once
// The tabs of the window's title area: the service's page and the photo library. Which of them
// show follows the tab flags of the service's commands (value 2 the service's tab, value 4 the
// library's); a click asks the window for the page, which may refuse (during an upload), so the
// tabs always show the page the window really shows.
#include <QTabBar>

#include "shell/web/web_home_rules.h"

namespace plb::shell {

class TPageTabs : public QTabBar {
  Q_OBJECT
 public:
  explicit TPageTabs(QWidget* parent = nullptr);

  void ApplyFlags(int tab_flags);
  // page 0 or 1 selects its tab; another page (music) leaves the tabs as they are.
  void FollowPage(int page);

 signals:
  void pageRequested(int page);
};

}  // namespace plb::shell
