#include "output/save/save_images_thread.h"

#include <filesystem>
#include <system_error>

#include "host/log_file.h"
#include "images/scale/resize.h"
#include "output/save/save_names.h"
#include "platform/ui_dispatcher.h"

namespace plb {

namespace {
constexpr const char* kClassName = "TSaveImagesThread";
}  // namespace

TSaveImagesThread::~TSaveImagesThread() { Stop(); }

void TSaveImagesThread::Start() {
  const std::string fault = CommonNameFault(commonName_, digits_, items_.size());
  if (!fault.empty()) throw EInvalidArgument{fault};
  terminated_ = false;
  thread_.Start(kClassName, platform::ThreadPriority::kNormal, [this] {
    Execute();
    if (ended_) {
      platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
      if (ui) ui->Post(ended_);
      else ended_();
    }
  });
}

void TSaveImagesThread::Stop() {
  thread_.Stop([this] { terminated_ = true; });
}

void TSaveImagesThread::WaitFor() { thread_.Join(); }

void TSaveImagesThread::Execute() {
  completed_ = false;
  try {
    std::error_code ec;
    if (items_.empty()) {
      completed_ = true;
      return;
    }
    if (!std::filesystem::is_directory(destination_, ec)) {
      // Nothing can be saved: not a success, whatever the count of photos.
      WriteLog(std::string(kClassName) + ".Execute: " + destination_ + " is not Exists.");
      return;
    }
    std::string folder = destination_;
    if (!folder.ends_with('/')) folder += '/';
    for (size_t i = 0; i < items_.size() && !terminated_; ++i)
      DoSaveItem(items_[i], folder + SaveImageFileName(commonName_, digits_, i));
    completed_ = !terminated_ && failed_ == 0;
  } catch (const std::exception& e) {
    LogFailure(std::string(kClassName) + ".Execute", e);
  }
}

void TSaveImagesThread::DoSaveItem(TCatalogItem* item, const std::string& path) {
  if (!item || terminated_) return;
  try {
    if (SavePhoto(*item, path, options_, kClassName)) ++saved_;
    Report(item, path);
  } catch (const std::exception& e) {
    ++failed_;
    LogException(std::string(kClassName) + "DoSaveItem", e);
  }
}

void TSaveImagesThread::Report(TCatalogItem* item, const std::string& path) {
  if (terminated_ || !itemSaved_) return;
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (ui && !ui->IsUiThread()) ui->RunAndWait([&] { itemSaved_(item, path); });
  else itemSaved_(item, path);
}

}  // namespace plb
