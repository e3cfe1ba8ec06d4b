#pragma once
// The library page's run with the engine: the thumbnail maker over the engine's cache, the tree
// panels and the grid on the engine's model, the first start's folders, and the background
// updater that brings changes on disk into the catalog. Ended before the engine stops.
#include <QObject>
#include <memory>

namespace plb {
class TCacheImageMaker;
class TCustomFolder;
class TExifDateLoaderEx;
class TOstraEngine;
}  // namespace plb

namespace plb::shell {

class TLibraryPage;
class TPlumoraMain2;

class TLibrarySession : public QObject {
  Q_OBJECT
 public:
  // Shows the engine's model on the window's library page and takes the window's 更新.
  TLibrarySession(TOstraEngine& engine, TPlumoraMain2& window);
  ~TLibrarySession() override;

  // The first idle turn's work: first-start steps, the start folder, the updater.
  void Start();
  // "更新": the grid and the panels list the catalog again and the updater makes a pass.
  void Update();
  // Back (-1) or forward (1) through the folders shown.
  void GoHistory(int step);
  // Stops the updater and the thumbnail maker and detaches the page; runs once.
  void Stop();

  TCacheImageMaker* Maker() const { return maker_.get(); }
  // The updater reported changes: the next turn refreshes the grid and the panels.
  bool CatalogDirty() const { return catalogDirty_; }

 private:
  void UpdaterNotified(uint8_t kind, uint32_t changes);
  void RefreshCatalog();
  TCustomFolder* StartFolder() const;

  TOstraEngine& engine_;
  TLibraryPage& page_;
  std::unique_ptr<TCacheImageMaker> maker_;
  std::unique_ptr<TExifDateLoaderEx> dateLoader_;
  bool updaterStarted_ = false;
  bool progressWatcher_ = false;
  bool stopped_ = false;
  bool catalogDirty_ = false;
  bool historyEnabled_ = false;
  bool walkingHistory_ = false;
};

}  // namespace plb::shell
