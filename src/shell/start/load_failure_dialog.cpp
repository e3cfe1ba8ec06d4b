#include "shell/start/load_failure_dialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdlib>

#include "shell/start/qt_start_ui.h"

namespace plb::shell {
namespace {

std::string DialogText(const std::string& error, const std::vector<std::string>& kept_aside, bool offer_recovery) {
  std::string text = "The catalog could not be read whole. Nothing will be saved over its files until you choose.\n\n";
  for (const char c : error) {
    if (c != '\r') text += c;
  }
  if (!kept_aside.empty()) {
    text += "\n\nCopies kept aside:";
    for (const std::string& copy : kept_aside) text += "\n  " + copy;
  }
  text += offer_recovery ? "\n\nPut back the newest copy that reads whole, continue read-only without saving, or quit?"
                         : "\n\nContinue read-only without saving, or quit?";
  return text;
}

LoadFailureChoice UnattendedChoice(bool offer_recovery) {
  const char* answer = std::getenv("PLB_UNATTENDED_LOAD_FAILURE");
  const std::string choice = answer ? answer : "";
  if (choice == "recover" && offer_recovery) return LoadFailureChoice::kRecover;
  if (choice == "quit") return LoadFailureChoice::kQuit;
  return LoadFailureChoice::kReadOnly;
}

}  // namespace

LoadFailureChoice AskAboutLoadFailure(const std::string& error, const std::vector<std::string>& kept_aside,
                                      bool offer_recovery) {
  const std::string text = DialogText(error, kept_aside, offer_recovery);
  QApplication::beep();
  if (QtStartUi::RecordUnattended("load-failure", QApplication::applicationDisplayName().toStdString(), text)) {
    return UnattendedChoice(offer_recovery);
  }
  QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), QString::fromStdString(text));
  QPushButton* recover = offer_recovery ? box.addButton("Recover the newest good copy", QMessageBox::AcceptRole) : nullptr;
  QPushButton* read_only = box.addButton("Continue read-only", QMessageBox::RejectRole);
  QPushButton* quit = box.addButton("Quit", QMessageBox::DestructiveRole);
  box.setDefaultButton(recover ? recover : read_only);
  box.setEscapeButton(read_only);
  box.exec();
  if (recover && box.clickedButton() == recover) return LoadFailureChoice::kRecover;
  if (box.clickedButton() == quit) return LoadFailureChoice::kQuit;
  return LoadFailureChoice::kReadOnly;
}

void ShowRecoveryFailed(const std::string& reason) {
  const std::string text = "No copy of the catalog could be put back:\n" + reason;
  if (QtStartUi::RecordUnattended("recovery-failed", QApplication::applicationDisplayName().toStdString(), text)) {
    return;
  }
  QMessageBox::warning(nullptr, QApplication::applicationDisplayName(), QString::fromStdString(text));
}

}  // namespace plb::shell
