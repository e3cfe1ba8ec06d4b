#pragma once
// The catalog as the commands that change it see it: the engine opened on the user's data folder
// exactly as the application's start opens it (components, data load, watchers), and saved and
// freed as its stop does when the session ends, on every path out of the command.
//
// SIGINT and SIGTERM are held back from the moment the session opens: a command that checks
// Interrupted() can stop early, and in every case the catalog is saved first; the signal then ends
// the process as usual. A signal can therefore never cut a save short.
#include <memory>
#include <string>

#include "engine/ostra_engine.h"
#include "platform/ui_dispatcher.h"

namespace plb {
class TFolder;
class TFolderTreeListEyeFi;
}  // namespace plb

namespace plb::cli {

class EngineSession {
 public:
  // command: the subcommand's name, for messages. Opens the log in the log folder, starts the
  // engine and loads its data; starts the watchers when watchers is set. Raises the engine's start
  // error (the catalog in use by another process, say), and CatalogNotRead when the data could not
  // be read whole: no command works on part of a catalog, and nothing is saved over its files.
  explicit EngineSession(std::string command, bool watchers = true);
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;
  // Closes the session when Close() was not called (a failure is reported on stderr).
  ~EngineSession();

  TOstraEngine& Engine() { return engine_; }
  TFolderTreeListEyeFi& Folders() { return *engine_.Folders(); }

  // Runs work that the engine's threads queued for the UI thread (this one), waiting up to
  // timeout_ms for some to arrive.
  void Pump(int timeout_ms = 20);
  platform::PumpedUiDispatcher& Dispatcher() { return dispatcher_; }

  // True once SIGINT or SIGTERM arrived.
  bool Interrupted() const;

  // Stops the watchers, saves the catalog and frees the engine; raises the save error. Then a
  // held-back signal ends the process.
  void Close();
  // For commands that only read: the session ends without saving, so the data files and their
  // ".bak" copies stay as they are.
  void SetReadOnly() { readOnly_ = true; }

 private:
  std::string command_;
  platform::PumpedUiDispatcher dispatcher_;
  std::unique_ptr<platform::ScopedUiDispatcher> installed_;
  TOstraEngine engine_;
  bool closed_ = false;
  bool readOnly_ = false;
};

// The catalog folder of an existing directory (symbolic links resolved), made with its tree.
// Raises plb::Error naming the path when it is no directory or lies on no volume.
TFolder* RequireCatalogFolder(EngineSession& session, const std::string& path);

}  // namespace plb::cli
