#pragma once
// The window's music page: the sound files a user can add to the photo book the service's page
// named, with a way back to the photo library.
#include <QWidget>
#include <string>

class QPushButton;

namespace plb::shell {

class TBgmUploadPanel;

class TFrameBgmLibrary : public QWidget {
  Q_OBJECT
 public:
  explicit TFrameBgmLibrary(QWidget* parent = nullptr);

  // Shown for this book: the list is read again, since the music folder may have changed.
  void ShowFor(const std::string& plumora_id);
  TBgmUploadPanel* Panel() const { return panel_; }

 signals:
  void backRequested();
  // The service took the music: the command to carry out next.
  void uploaded(const QString& next_command);

 private:
  TBgmUploadPanel* panel_ = nullptr;
  QPushButton* back_ = nullptr;
};

}  // namespace plb::shell
