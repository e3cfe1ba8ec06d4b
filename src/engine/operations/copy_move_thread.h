#pragma once
// Copying or moving single photos into a folder on a worker thread. The copy dialog (or any other
// view) sees the progress and answers the per-file questions through ICopyMoveView, always on the
// UI thread. A file that exists at the destination is replaced only after the user said yes, a
// read-only one only after a second yes; a moved photo keeps its catalog item (tags, albums,
// shooting date, thumbnail), a copied one gets a new item with the same catalog data.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/thread_stop.h"

namespace plb {

class TCatalogItem;
class TFolder;
class TFolderTreeList;

// Answers of the per-file questions. "To all" answers are kept for the rest of the run.
enum TCopyMoveAnswer : uint8_t { cmaNo = 0, cmaNoToAll = 1, cmaYes = 2, cmaYesToAll = 3, cmaCancel = 4 };

// One file of a copy or move.
struct TCopyMoveItem {
  TCatalogItem* Item = nullptr;
  int Index = 0;           // the position in the caller's list
  std::string TargetName;  // the file name at the destination
};

// What the thread asks of its dialog. Every call comes on the UI thread, or on the worker itself
// where no UI dispatcher is installed (command-line tools).
class ICopyMoveView {
 public:
  virtual ~ICopyMoveView() = default;
  // Before each file; percent = position × 100 ÷ count, rounded.
  virtual void Progress(TCatalogItem* item, int percent) = 0;
  // The destination holds a file of the same name: replace it with source?
  virtual TCopyMoveAnswer AskOverwrite(TCatalogItem* existing, TCatalogItem* source) = 0;
  // The file to replace is read-only: replace it all the same?
  virtual TCopyMoveAnswer AskReadOnly(TCatalogItem* existing) = 0;
  // A file was left out because its copy or move failed (not for files the user said no to).
  virtual void Skipped(TCatalogItem* /*item*/, const std::string& /*reason*/) {}
  // The end of the run; done is the number of files copied or moved.
  virtual void Finished(int done) = 0;
};

class TCopyMoveThread {
 public:
  // destinationFolder may be null: the folder of destinationPath is then found (and scanned) on
  // the UI thread when the run starts. Null entries of items are dropped.
  TCopyMoveThread(TFolderTreeList& folders, std::vector<TCatalogItem*> items, std::string destinationPath,
                  TFolder* destinationFolder, bool copy, ICopyMoveView* view);
  // Stops a run that is still going and waits for it.
  ~TCopyMoveThread();
  TCopyMoveThread(const TCopyMoveThread&) = delete;
  TCopyMoveThread& operator=(const TCopyMoveThread&) = delete;

  // Starts the run on its own thread; false when it was started before.
  bool Start();
  // Asks the run to end after the current file.
  void Terminate() { terminated_ = true; }
  // Waits for the end of the run (on the UI thread, running UI work meanwhile).
  void WaitFor();
  bool Running() const { return thread_.Running(); }
  // The run itself, on the calling thread.
  void Execute();

  bool Copy() const { return copy_; }
  TFolder* DestinationFolder() const;
  const std::string& DestinationPath() const { return destinationPath_; }
  // The catalog items now in the destination.
  std::vector<TCatalogItem*> DoneItems() const;
  int DoneCount() const;

 private:
  void MakeItems();
  void FindDestination();
  bool Prepared();
  // Asks (unless a "to all" answer is kept) and keeps "to all" answers.
  TCopyMoveAnswer Ask(bool readOnly, TCatalogItem* existing, TCatalogItem* source);
  // The copy or move of one file; false when it was left out.
  bool Perform(const TCopyMoveItem& entry, TCatalogItem* existing, bool replace);
  TCatalogItem* CopyDone(const TCopyMoveItem& entry, TCatalogItem* existing);
  TCatalogItem* MoveDone(const TCopyMoveItem& entry, TCatalogItem* existing);
  void Skip(TCatalogItem* item, const std::string& reason);

  TFolderTreeList& folders_;
  std::vector<TCatalogItem*> sources_;
  std::vector<TCopyMoveItem> items_;
  const std::string destinationPath_;
  const bool copy_;
  ICopyMoveView* const view_;
  mutable std::mutex lock_;
  TFolder* destination_ = nullptr;
  std::vector<TCatalogItem*> done_;
  int overwriteAnswer_ = -1;  // a kept "to all" answer, or -1
  int readOnlyAnswer_ = -1;
  std::atomic<bool> terminated_{false};
  platform::WorkerThread thread_;
};

}  // namespace plb
