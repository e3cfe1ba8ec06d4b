#include "shell/tray/tray_gauge.h"

#include <QPainter>
#include <qdrawutil.h>
#include <cmath>

#include "shell/grid/catalog_folder_items.h"
#include "shell/tray/tray_rules.h"

namespace plb::shell {

TTrayGauge::TTrayGauge(QWidget* parent) : QWidget(parent) {
  setObjectName("TrayGauge");
  setMinimumHeight(22);
}

void TTrayGauge::SetCounts(int photo_count, int rest_count) {
  photo_ = photo_count;
  rest_ = rest_count;
  update();
}

void TTrayGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  // A raised edge outside a sunken one.
  qDrawShadePanel(&p, rect(), palette(), false, 1);
  const QRect inner = rect().adjusted(2, 2, -2, -2);
  qDrawShadePanel(&p, inner.adjusted(-1, -1, 1, 1), palette(), true, 1);
  if (photo_ <= 0 && rest_ <= 0) return;
  const int filled = static_cast<int>(std::lround(inner.width() * TrayGaugeShare(photo_, rest_)));
  p.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()), QColor(166, 202, 240));
  QFont font = p.font();
  font.setPointSize(8);
  p.setFont(font);
  p.setPen(Qt::blue);
  p.drawText(inner, Qt::AlignHCenter | Qt::AlignBottom, Utf8(TrayGaugeText(photo_, rest_)));
}

}  // namespace plb::shell
