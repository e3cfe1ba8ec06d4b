#include "engine/operations/copy_move_thread.h"

#include <cmath>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

#include "engine/model/catalog_item.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/worker_control.h"
#include "host/log_file.h"
#include "platform/file_transfer.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

// Runs work on the UI thread when there is one, otherwise here.
void OnUi(const std::function<void()>& work) {
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (ui) {
    ui->RunAndWait(work);
  } else {
    work();
  }
}

bool IsYes(TCopyMoveAnswer a) {
  return a == cmaYes || a == cmaYesToAll;
}

}  // namespace

TCopyMoveThread::TCopyMoveThread(TFolderTreeList& folders, std::vector<TCatalogItem*> items,
                                 std::string destinationPath, TFolder* destinationFolder, bool copy,
                                 ICopyMoveView* view)
    : folders_(folders),
      sources_(std::move(items)),
      destinationPath_(std::move(destinationPath)),
      copy_(copy),
      view_(view),
      destination_(destinationFolder) {
  std::erase(sources_, nullptr);
}

TCopyMoveThread::~TCopyMoveThread() {
  thread_.Stop([this] { terminated_ = true; });
}

bool TCopyMoveThread::Start() {
  return thread_.Start("CopyMoveThread", platform::ThreadPriority::kNormal, [this] { Execute(); });
}

void TCopyMoveThread::WaitFor() {
  thread_.Join();
}

TFolder* TCopyMoveThread::DestinationFolder() const {
  std::lock_guard guard(lock_);
  return destination_;
}

std::vector<TCatalogItem*> TCopyMoveThread::DoneItems() const {
  std::lock_guard guard(lock_);
  return done_;
}

int TCopyMoveThread::DoneCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(done_.size());
}

void TCopyMoveThread::MakeItems() {
  items_.clear();
  for (size_t i = 0; i < sources_.size(); ++i) {
    items_.push_back({sources_[i], static_cast<int>(i), sources_[i]->FileName()});
  }
}

void TCopyMoveThread::FindDestination() {
  TFolder* folder = DestinationFolder();
  if (!folder) folder = folders_.FolderOf(destinationPath_);
  if (folder) {
    TExtItems table;  // made for each scan: the movie kinds come with the configuration
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
  }
  std::lock_guard guard(lock_);
  destination_ = folder;
}

bool TCopyMoveThread::Prepared() {
  MakeItems();
  if (items_.empty() || terminated_) return false;
  OnUi([this] { FindDestination(); });
  TFolder* destination = DestinationFolder();
  if (!destination) return false;
  std::erase_if(items_, [destination](const TCopyMoveItem& e) { return e.Item->Owner() == destination; });
  return true;
}

void TCopyMoveThread::Execute() {
  try {
    if (Prepared()) {
      TFolder* destination = DestinationFolder();
      const size_t count = items_.size();
      for (size_t i = 0; i < count && !terminated_; ++i) {
        const TCopyMoveItem& entry = items_[i];
        const int percent = static_cast<int>(std::lround(static_cast<double>(i) * 100.0 / static_cast<double>(count)));
        if (view_) OnUi([&] { view_->Progress(entry.Item, percent); });
        TCatalogItem* existing = destination->FindItem(entry.TargetName);
        bool replace = false;
        // An item whose file is gone is no file to replace: the copy takes its name without asking.
        if (existing && existing->State() != cisMissing) {
          const TCopyMoveAnswer answer = Ask(false, existing, entry.Item);
          if (answer == cmaCancel) break;
          if (!IsYes(answer)) continue;
          replace = true;
        }
        // The workers wait while the file changes place, not while the user is asked.
        TWorkerPause pause;
        Perform(entry, existing, replace);
      }
      if (DoneCount() > 0) OnUi([destination] { destination->NotifyContentsChanged(); });
    }
  } catch (const std::exception& e) {
    LogException("TCopyMoveThread.Execute", e);
  }
  const int done = DoneCount();
  if (view_) OnUi([&] { view_->Finished(done); });
}

TCopyMoveAnswer TCopyMoveThread::Ask(bool readOnly, TCatalogItem* existing, TCatalogItem* source) {
  int& kept = readOnly ? readOnlyAnswer_ : overwriteAnswer_;
  if (kept >= 0) return static_cast<TCopyMoveAnswer>(kept);
  // Without anyone to ask, nothing is replaced.
  TCopyMoveAnswer answer = cmaNo;
  if (view_) {
    OnUi([&] { answer = readOnly ? view_->AskReadOnly(existing) : view_->AskOverwrite(existing, source); });
  }
  if (answer > cmaCancel) answer = cmaNo;
  if (answer == cmaNoToAll || answer == cmaYesToAll) kept = answer;
  if (answer == cmaCancel) terminated_ = true;
  return answer;
}

bool TCopyMoveThread::Perform(const TCopyMoveItem& entry, TCatalogItem* existing, bool replace) {
  TFolder* destination = DestinationFolder();
  const std::string target = JoinPath(destination->GetFullName(), entry.TargetName);
  if (replace && platform::IsReadOnlyFile(target)) {
    if (!IsYes(Ask(true, existing, entry.Item))) return false;
    if (!platform::ClearReadOnly(target)) {
      Skip(entry.Item, target + ": the read-only file could not be made writable");
      return false;
    }
  }
  try {
    if (copy_) {
      platform::CopyFileTo(entry.Item->FullPath(), target, replace);
    } else {
      platform::MovePath(entry.Item->FullPath(), target, replace);
    }
  } catch (const std::exception& e) {
    LogException("TCopyMoveThread.Execute", e);
    Skip(entry.Item, e.what());
    return false;
  }
  TCatalogItem* result = copy_ ? CopyDone(entry, existing) : MoveDone(entry, existing);
  {
    std::lock_guard guard(lock_);
    done_.push_back(result);
  }
  RaiseCatalogUpdateEvent(result, cukCopiedOrMoved);
  return true;
}

TCatalogItem* TCopyMoveThread::CopyDone(const TCopyMoveItem& entry, TCatalogItem* existing) {
  TFolder* destination = DestinationFolder();
  TCatalogItem* copy = existing ? existing : destination->FindOrCreateItem(entry.TargetName);
  copy->CopyAttributes(*entry.Item);
  copy->SetState(cisPresent);
  return copy;
}

TCatalogItem* TCopyMoveThread::MoveDone(const TCopyMoveItem& entry, TCatalogItem* existing) {
  TFolder* destination = DestinationFolder();
  TCatalogItem* item = entry.Item;
  if (existing) {
    destination->TakeItemOut(existing);
    existing->SetState(cisDeleted);
  }
  TFolder* owner = item->Owner();
  std::unique_ptr<TCatalogItem> owned = owner ? owner->DropItem(item) : nullptr;
  if (owned) {
    item->SetFileName(entry.TargetName);
    if (destination->AddItem(owned) >= 0) owner->AddItem(owned);  // the name was taken meanwhile
    owner->NotifyContentsChanged();
  }
  item->SetState(cisPresent);
  return item;
}

void TCopyMoveThread::Skip(TCatalogItem* item, const std::string& reason) {
  if (view_) OnUi([&] { view_->Skipped(item, reason); });
}

}  // namespace plb
