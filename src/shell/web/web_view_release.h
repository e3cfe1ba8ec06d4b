#pragma once
// A browser view let go of its page: stopped, sent to "about:blank" (unless it is there), and
// given up to half a second, events running, for that blank page to settle, so that the page's
// scripts and connections end before the view goes.
class QWebEngineView;

namespace plb::shell {

void ReleaseWebView(QWebEngineView* view);

}  // namespace plb::shell
