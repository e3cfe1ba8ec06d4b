#include "shell/web/web_view_release.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace plb::shell {

void ReleaseWebView(QWebEngineView* view) {
  const QUrl blank(QStringLiteral("about:blank"));
  if (!view || view->url() == blank) return;
  view->stop();
  bool settled = false;
  const QMetaObject::Connection c =
      QObject::connect(view->page(), &QWebEnginePage::loadFinished, view, [&settled] { settled = true; });
  view->setUrl(blank);
  for (int i = 0; i < 10 && !settled; ++i) {
    QElapsedTimer slice;
    slice.start();
    while (!settled && slice.elapsed() < 50) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
  }
  QObject::disconnect(c);
}

}  // namespace plb::shell
