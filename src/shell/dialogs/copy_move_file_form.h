#pragma once
// The copy dialog: copies or moves photos into a folder on the engine's copy and move thread,
// shows which file is under way and asks, per file, whether an existing or read-only file may be
// replaced. It starts the thread when it is first shown and closes when the thread ends; its
// result is Accepted when at least one file was copied or moved.
#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "engine/operations/copy_move_thread.h"

class QLabel;
class QProgressBar;

namespace plb {
class TCatalogItem;
class TFolder;
class TFolderTreeList;
}  // namespace plb

namespace plb::shell {

// One per-file question: the overwrite question (the file there and the one to replace it with)
// or the read-only question.
class TCopyMoveQuestionBox : public QDialog {
  Q_OBJECT
 public:
  TCopyMoveQuestionBox(bool overwrite, TCatalogItem* existing, TCatalogItem* source, QWidget* parent = nullptr);
  // The button pressed; cancel when the box was closed otherwise.
  TCopyMoveAnswer Answer() const { return answer_; }
  // Presses the button of that answer.
  void Choose(TCopyMoveAnswer answer);
  // Every text the box shows, one per line.
  QString Texts() const;

 private:
  TCopyMoveAnswer answer_ = cmaCancel;
};

class TCopyMoveFileFrm : public QDialog, public ICopyMoveView {
  Q_OBJECT
 public:
  // destinationFolder may be null: the folder of destinationPath is used.
  TCopyMoveFileFrm(TFolderTreeList& folders, std::vector<TCatalogItem*> items, const std::string& destinationPath,
                   TFolder* destinationFolder, bool copy, QWidget* parent = nullptr);
  ~TCopyMoveFileFrm() override;

  TCopyMoveThread& Thread() { return *thread_; }
  QString SourceText() const;
  QString DestinationText() const;
  QString CurrentText() const;

  // ICopyMoveView, called on the UI thread.
  void Progress(TCatalogItem* item, int percent) override;
  TCopyMoveAnswer AskOverwrite(TCatalogItem* existing, TCatalogItem* source) override;
  TCopyMoveAnswer AskReadOnly(TCatalogItem* existing) override;
  void Finished(int done) override;

 protected:
  void showEvent(QShowEvent* event) override;
  // Closing asks the thread to stop after the current file; the dialog closes when it has.
  void reject() override;
  // Shows a question with the question beep and answers it; tests answer without showing.
  virtual TCopyMoveAnswer AskQuestion(TCopyMoveQuestionBox& box);

 private:
  std::unique_ptr<TCopyMoveThread> thread_;
  QLabel* source_ = nullptr;
  QLabel* destination_ = nullptr;
  QLabel* current_ = nullptr;
  QProgressBar* bar_ = nullptr;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace plb::shell
