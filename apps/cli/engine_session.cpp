#include "engine_session.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/folder_tree_list.h"
#include "host/log_file.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "images/codec/image_load.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// Held back in this thread and in every thread started after it (the engine's).
void HoldStopSignals() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// A signal that arrived meanwhile is delivered now and ends the process.
void ReleaseStopSignals() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void OpenLogIn(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  try {
    // One file for every command run, so the application's own logs are not pushed out.
    OpenLog(folder, "plb.log");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plb: no log (%s: %s)\n", ClassNameOf(e).c_str(), MessageOf(e).c_str());
  }
}

// What failed, where the user's data is now, and the way out.
std::string NotReadMessage(const TOstraEngine& engine) {
  std::string text = "the catalog could not be read whole; nothing was done, and its files were left as they are.\n";
  for (const char c : engine.LoadError()) {
    if (c != '\r') text += c;
  }
  const std::vector<std::string> copies = engine.KeptAside();
  if (!copies.empty()) {
    text += "\nCopies kept aside:";
    for (const std::string& copy : copies) text += "\n  " + copy;
  }
  text += "\n'plb recover' puts back the newest copy of the catalog that reads whole.";
  return text;
}

}  // namespace

EngineSession::EngineSession(std::string command, bool watchers) : command_(std::move(command)) {
  HoldStopSignals();
  installed_ = std::make_unique<platform::ScopedUiDispatcher>(dispatcher_);
  InstallEngineImageCache();
  InstallCatalogImageReader();
  try {
    {
      TPlumoraConfigItem config;
      config.LoadFromRegistry();
      OpenLogIn(config.LogFolder());
    }
    engine_.Start();
    if (!engine_.LoadError().empty()) throw CatalogNotRead{NotReadMessage(engine_)};
    if (watchers) {
      try {
        engine_.StartWatchers();
      } catch (const std::exception&) {
        // Logged where it was raised; the session goes on with what exists.
      }
    }
  } catch (...) {
    closed_ = true;
    CloseLog();
    installed_.reset();
    ReleaseStopSignals();
    throw;
  }
}

EngineSession::~EngineSession() {
  if (closed_) return;
  try {
    Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plb %s: the catalog was not saved: %s: %s\n", command_.c_str(), ClassNameOf(e).c_str(),
                 MessageOf(e).c_str());
  }
}

void EngineSession::Pump(int timeout_ms) {
  dispatcher_.PumpFor(timeout_ms);
}

bool EngineSession::Interrupted() const {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}

void EngineSession::Close() {
  if (closed_) return;
  closed_ = true;
  std::exception_ptr failure;
  try {
    engine_.Stop(!readOnly_);
  } catch (...) {
    failure = std::current_exception();
  }
  CloseLog();
  installed_.reset();
  ReleaseStopSignals();
  if (failure) std::rethrow_exception(failure);
}

TFolder* RequireCatalogFolder(EngineSession& session, const std::string& path) {
  // The next scan removes such a folder with all it holds once its maker is gone.
  if (PathHasTemporaryName(path)) throw Error(path + ": inside the temporary folder of an unfinished copy");
  TFolder* folder = CatalogFolderOf(session.Folders(), path);
  if (!folder) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw Error(path + ": no such folder");
    if (!std::filesystem::is_directory(path, ec)) throw Error(path + ": not a folder");
    throw Error(path + ": not on a volume the catalog knows");
  }
  return folder;
}

}  // namespace plb::cli
