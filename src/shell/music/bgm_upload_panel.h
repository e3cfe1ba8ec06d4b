#pragma once
// The sound files a user can give a photo book as its music, and the sending of the chosen one:
// the body of the music page and of the music dialog. The files are those of the user's music
// folder and any the user adds; the sending runs on a thread of its own with its progress shown.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace plb {
class TBgmUploader;
}

namespace plb::shell {

class TBgmUploadPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TBgmUploadPanel(QWidget* parent = nullptr);
  ~TBgmUploadPanel() override;

  // The book the music goes to; empty: none chosen (the send button stays off).
  void SetBook(const std::string& plumora_id);
  const std::string& Book() const { return book_; }
  // Lists the music folder again (the files added by hand stay).
  void Rescan();
  // Adds a file to the list and selects it.
  void AddFile(const QString& path);
  // Sends the selected file; nothing while a sending runs.
  void StartUpload();
  void CancelUpload();
  bool Busy() const { return worker_.joinable(); }

  QListWidget* Files() const { return files_; }
  QPushButton* SendButton() const { return send_; }
  QLabel* Status() const { return status_; }
  // How a failure is told to the user (replaceable for tests).
  void SetMessageBox(std::function<void(const QString&)> show) { show_message_ = std::move(show); }

 signals:
  // The service took the music: the command to carry out next (may be empty).
  void uploaded(const QString& next_command);
  void busyChanged(bool busy);

 private:
  void ChooseFile();
  void Finished(bool success, const QString& command, const QString& message);
  void UpdateState();

  std::string book_;
  QLabel* target_ = nullptr;
  QListWidget* files_ = nullptr;
  QPushButton* choose_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  std::unique_ptr<TBgmUploader> uploader_;
  std::thread worker_;
  std::function<void(const QString&)> show_message_;
};

}  // namespace plb::shell
