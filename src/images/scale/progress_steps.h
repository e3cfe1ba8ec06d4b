#pragma once
// Reports the progress of a row-by-row operation: 0 at the start, then whenever the whole percent
// of rows done changes, and 100 at the end.
#include <cstdint>
#include <utility>

#include "images/scale/resize.h"

namespace plb {

class ProgressSteps {
 public:
  ProgressSteps(TProgressProc progress, int32_t rows) : progress_(std::move(progress)), rows_(rows) {
    if (progress_) progress_(0);
  }
  void Row(int32_t row) {
    if (!progress_ || rows_ < 1) return;
    const int percent = static_cast<int>(int64_t{row} * 100 / rows_);
    if (percent != last_) {
      last_ = percent;
      progress_(percent);
    }
  }
  void Done() {
    if (progress_) progress_(100);
  }

 private:
  TProgressProc progress_;
  int32_t rows_;
  int last_ = 0;
};

}  // namespace plb
