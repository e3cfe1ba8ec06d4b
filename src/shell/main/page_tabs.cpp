#include "shell/main/page_tabs.h"

#include <QSignalBlocker>

namespace plb::shell {

namespace {
constexpr int kServiceTabBit = 2;
constexpr int kLibraryTabBit = 4;
}  // namespace

TPageTabs::TPageTabs(QWidget* parent) : QTabBar(parent) {
  setObjectName("PageTabs");
  setExpanding(false);
  setDocumentMode(true);
  addTab(QString::fromUtf8(kServiceTabLabel));
  addTab(QStringLiteral("フォトライブラリ"));
  setCurrentIndex(1);  // the library page comes first, before any signal is connected
  // The user's choice, after the bar has moved to it; FollowPage moves it back when refused.
  connect(this, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0) emit pageRequested(index);
  });
}

void TPageTabs::ApplyFlags(int tab_flags) {
  setTabVisible(0, (tab_flags & kServiceTabBit) != 0);
  setTabVisible(1, (tab_flags & kLibraryTabBit) != 0);
  setVisible((tab_flags & (kServiceTabBit | kLibraryTabBit)) != 0);
}

void TPageTabs::FollowPage(int page) {
  if (page != 0 && page != 1) return;
  const QSignalBlocker quiet(this);
  setCurrentIndex(page);
}

}  // namespace plb::shell
