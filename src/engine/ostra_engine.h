#pragma once
// The catalog engine's life: start (each component under its own label), stop (watchers,
// saving, freeing) and the one engine lock that keeps start, load, watcher start and stop, save
// and free from overlapping. The engine owns the model; views only hold references.
#include <memory>
#include <mutex>

#include "host/plumora_config_item.h"

namespace plb {

class TOstraEngine {
 public:
  // The process-wide lock of engine start, load, watcher start, watcher stop, save and free.
  static std::recursive_mutex& EngineLock();

  TOstraEngine() = default;
  TOstraEngine(const TOstraEngine&) = delete;
  TOstraEngine& operator=(const TOstraEngine&) = delete;
  ~TOstraEngine();

  // Creates every component, each under its label; a failing component is logged and raised as
  // an engine start error with its label, wrapped once more with "OstraEngine".
  void Start();

  // Stops the watchers, saves the engine data and frees the model. Every part runs even when an
  // earlier one failed; the first failure is raised at the end.
  void Stop();

  bool Started() const { return config_ != nullptr; }
  TPlumoraConfigItem& Config() { return *config_; }

 private:
  void CreateConfiguration();
  void InitSupportExt();
  void CreateDataFolder();
  void SaveData();
  void Free();

  std::unique_ptr<TPlumoraConfigItem> config_;
};

}  // namespace plb
