#include "shell/start/boot_error_form.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace plb::shell {
namespace {

// A label that reads as a link: blue and underlined, red while the pointer is over it.
class LinkLabel : public QLabel {
 public:
  LinkLabel(const QString& text, std::function<void()> on_click) : QLabel(text), on_click_(std::move(on_click)) {
    setCursor(Qt::PointingHandCursor);
    SetColor("blue");
  }

 protected:
  void enterEvent(QEnterEvent*) override { SetColor("red"); }
  void leaveEvent(QEvent*) override { SetColor("blue"); }
  void mouseReleaseEvent(QMouseEvent*) override {
    if (on_click_) on_click_();
  }

 private:
  void SetColor(const char* color) { setStyleSheet(QString("color: %1; text-decoration: underline;").arg(color)); }
  std::function<void()> on_click_;
};

}  // namespace

TBootErrorForm::TBootErrorForm(std::function<void()> open_help_page, QWidget* parent)
    : QDialog(parent), open_help_page_(std::move(open_help_page)) {
  setObjectName("TBootErrorForm");
  setWindowTitle(QString::fromUtf8("Plumora Browser 起動エラー"));
  setModal(true);

  auto accept_with_page = [this] {
    if (open_help_page_) open_help_page_();
    accept();
  };

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8("プルモラブラウザを起動することができませんでした。")));
  layout->addWidget(new QLabel(QString::fromUtf8("ご迷惑をお掛けして申し訳ございません。")));
  auto* sentence = new QHBoxLayout;
  sentence->setSpacing(0);
  sentence->addWidget(new QLabel(QString::fromUtf8("詳細は、")));
  auto* link = new LinkLabel(QString::fromUtf8("【起動エラーについて】"), accept_with_page);
  link->setObjectName("HelpLink");
  sentence->addWidget(link);
  sentence->addWidget(new QLabel(QString::fromUtf8("ページを参照してください。")));
  sentence->addStretch();
  layout->addLayout(sentence);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* open = new QPushButton(QString::fromUtf8("ページを開く"));
  open->setObjectName("BtnOpenPage");
  auto* cancel = new QPushButton(QString::fromUtf8("キャンセル"));
  cancel->setObjectName("BtnCancel");
  buttons->addWidget(open);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(open, &QPushButton::clicked, this, accept_with_page);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  adjustSize();
  if (QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

}  // namespace plb::shell
