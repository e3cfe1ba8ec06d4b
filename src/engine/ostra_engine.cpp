#include "engine/ostra_engine.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <system_error>

#include "engine/ext_items.h"
#include "host/engine_error.h"
#include "host/log_file.h"
#include "host/product_values.h"
#include "platform/mime_apps.h"

namespace plb {
namespace {

// Runs one start step; its failure becomes an engine start error carrying the step's label.
void StartStep(const char* label, const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    RaiseEngineInitializeError(e, label);
  }
}

}  // namespace

std::recursive_mutex& TOstraEngine::EngineLock() {
  static std::recursive_mutex lock;
  return lock;
}

TOstraEngine::~TOstraEngine() {
  try {
    Free();
  } catch (...) {
  }
}

void TOstraEngine::Start() {
  std::lock_guard guard(EngineLock());
  try {
    StartStep("OstraConfigItem", [this] { CreateConfiguration(); });
    StartStep("InitSupportExt", [this] { InitSupportExt(); });
    StartStep("OstraDataFolder", [this] { CreateDataFolder(); });
  } catch (const std::exception& e) {
    RaiseEngineInitializeError(e, "OstraEngine");
  }
}

void TOstraEngine::CreateConfiguration() {
  auto config = std::make_unique<TPlumoraConfigItem>();
  config->LoadFromRegistry();
  config_ = std::move(config);
}

void TOstraEngine::InitSupportExt() {
  const MovieKinds movies =
      AssembleMovieKinds(*config_, [](const std::string& name) { return platform::IsProgramRegisteredFor(name); });
  SetMovieExtensions(movies.extensions);
  SetSoundExtensions(".MP3");
}

void TOstraEngine::CreateDataFolder() {
  const std::string& folder = config_->DataFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder)) {
    throw EOstraEngineError("データフォルダの作成に失敗しました。\r\n( " + folder + " )");
  }
}

void TOstraEngine::Stop() {
  std::exception_ptr first_failure;
  auto run = [&first_failure](const std::function<void()>& part) {
    try {
      part();
    } catch (...) {
      if (!first_failure) first_failure = std::current_exception();
    }
  };
  run([this] {
    std::lock_guard guard(EngineLock());
    SaveData();
  });
  run([this] {
    std::lock_guard guard(EngineLock());
    Free();
  });
  if (first_failure) std::rethrow_exception(first_failure);
}

void TOstraEngine::SaveData() {
  if (!config_) return;
  try {
    config_->SaveToRegistry();
  } catch (const std::exception& e) {
    RaiseEngineSaveDataError(e, "OstraEngine");
  }
}

void TOstraEngine::Free() {
  config_.reset();
}

}  // namespace plb
