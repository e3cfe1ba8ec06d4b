#include "shell/grid/band_buttons.h"

#include <QFontMetrics>

#include "host/date_time.h"

namespace plb::shell {
namespace {

constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 18;
constexpr int kGap = 12;

}  // namespace

QRect BandButtonRect(const QRect& band, int labelWidth, int button) {
  const int left = band.left() + 24 + labelWidth + kGap + button * (kButtonWidth + 4);
  return QRect(left, band.top() + (band.height() - kButtonHeight) / 2, kButtonWidth, kButtonHeight);
}

void PaintBandButton(QPainter& p, const QRect& rect, int button, int look) {
  static const QColor kFaces[] = {QColor(0xF0, 0xF0, 0xF0), QColor(0xFF, 0xF4, 0xC8), QColor(0xC8, 0xC8, 0xC8)};
  p.save();
  p.setPen(QColor(0x30, 0x40, 0x60));
  p.setBrush(kFaces[look < 0 || look > 2 ? 0 : look]);
  p.drawRoundedRect(look == blPressed ? rect.translated(1, 1) : rect, 4, 4);
  p.setPen(Qt::black);
  p.drawText(look == blPressed ? rect.translated(1, 1) : rect, Qt::AlignCenter,
             button == bbSlide ? QStringLiteral("スライド") : QStringLiteral("アルバム"));
  p.restore();
}

TBandLabel BandLabelFor(int folderClass, bool grouping, int64_t day, const QString& folderName) {
  const auto date = [day] { return QString::fromStdString(FormatDateTime("yyyy-mm-dd", static_cast<double>(day))); };
  switch (folderClass) {
    case 1:
      return grouping ? TBandLabel{date(), 1} : TBandLabel{folderName, 2};
    case 2:
      return {folderName, 3};
    case 3:
      return {date(), 1};
    default:
      return {folderName, 4};
  }
}

}  // namespace plb::shell
