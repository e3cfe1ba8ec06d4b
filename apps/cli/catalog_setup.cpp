#include "catalog_setup.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/events/calendar_date_queue.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "platform/error.h"
#include "platform/mime_apps.h"
#include "platform/named_event.h"

namespace plb::cli {

void SetUpFileKinds() {
  try {
    TPlumoraConfigItem config;
    config.LoadFromRegistry();
    const MovieKinds movies =
        AssembleMovieKinds(config, [](const std::string& name) { return platform::IsProgramRegisteredFor(name); });
    SetMovieExtensions(movies.extensions);
  } catch (const std::exception& e) {
    // Photos can be catalogued without the settings; only movies need them.
    std::fprintf(stderr, "plb: movie types not read (%s: %s)\n", ClassNameOf(e).c_str(), MessageOf(e).c_str());
  }
  SetSoundExtensions(".MP3");
}

TFolder* CatalogFolderOf(TFolderTreeList& trees, const std::string& path) {
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return nullptr;
  struct stat st {};
  if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
  return trees.FolderOf(resolved);
}

void LearnShootingDates(const std::vector<TCatalogItem*>& items, int threads,
                        const std::function<void(size_t done)>& progress) {
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::mutex lock;
  std::condition_variable finished;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < items.size();) {
        TCatalogItem* item = items[i];
        item->ReadDimensions();
        if (!(item->ShootingDate() > 0)) item->SetShootingDate(item->FileDate());
        item->SetDateKnown(true);
        if (++done == items.size()) {
          std::lock_guard guard(lock);
          finished.notify_all();
        }
      }
    });
  }
  if (progress) {
    std::unique_lock guard(lock);
    while (!finished.wait_for(guard, std::chrono::milliseconds(100), [&] { return done == items.size(); })) {
      progress(done);
    }
  }
  for (auto& w : workers) w.join();
}

void WaitUntilPlaced() {
  std::shared_ptr<platform::NamedEvent> changing = platform::OpenNamedEvent(kExifDateChangingEventName);
  while (changing->IsSet()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace plb::cli
