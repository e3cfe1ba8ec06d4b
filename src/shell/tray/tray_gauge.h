#pragma once
// The count panel's gauge: how much of the photo book is taken, as a bar and "taken/total".
#include <QWidget>

namespace plb::shell {

class TTrayGauge : public QWidget {
  Q_OBJECT
 public:
  explicit TTrayGauge(QWidget* parent = nullptr);
  void SetCounts(int photo_count, int rest_count);
  int PhotoCount() const { return photo_; }
  int RestCount() const { return rest_; }
  QSize sizeHint() const override { return {120, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int photo_ = 0;
  int rest_ = 0;
};

}  // namespace plb::shell
