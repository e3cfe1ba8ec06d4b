// The separable filter resampler: per axis a list of contributing source indices with 14-bit
// fixed-point weights from tabulated kernels, a horizontal pass into a ring of filtered rows (each
// source row filtered once) and a vertical pass over that ring.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "host/format.h"
#include "images/exif/exif_scanner.h"
#include "images/scale/progress_steps.h"
#include "images/scale/resize.h"

namespace plb {
namespace {

constexpr int kTableStep = 256;
constexpr int32_t kOne = 16384;

double Sinc(double x) {
  if (x == 0) return 1;
  const double a = std::numbers::pi * x;
  return std::sin(a) / a;
}

struct Kernel {
  int support = 1;
  std::vector<float> table;  // support * 256 values at steps of 1/256
};

Kernel Tabulate(int support, double (*f)(double)) {
  Kernel k;
  k.support = support;
  k.table.resize(static_cast<size_t>(support * kTableStep));
  for (size_t i = 0; i < k.table.size(); ++i) k.table[i] = static_cast<float>(f(static_cast<double>(i) / kTableStep));
  return k;
}

// The tables, built once and read-only afterwards; index by filter (area has none).
const std::array<Kernel, 7>& Kernels() {
  static const std::array<Kernel, 7> kernels = [] {
    std::array<Kernel, 7> k;
    k[fiTriangle] = Tabulate(1, [](double x) { return 1 - x; });
    k[fiSinc] = Tabulate(2, [](double x) { return Sinc(x); });
    k[fiHermiteLike] = Tabulate(2, [](double x) {
      const double t = (x + 1) / 3;
      return 3 * t * (1 - t) * (1 - t);
    });
    k[fiBSpline] =
        Tabulate(2, [](double x) { return x < 1 ? x * x * x / 2 - x * x + 2.0 / 3 : (2 - x) * (2 - x) * (2 - x) / 6; });
    k[fiLanczos3] = Tabulate(3, [](double x) { return Sinc(x) * Sinc(x / 3); });
    k[fiLanczos3Alt] = k[fiLanczos3];
    return k;
  }();
  return kernels;
}

// Contributors of every destination index along one axis, relative to the source range.
struct AxisWeights {
  std::vector<int32_t> first;  // first contributing source index
  std::vector<int32_t> count;  // number of contributors
  std::vector<size_t> offset;  // into weights
  std::vector<int32_t> weights;
  int32_t widest = 1;
};

AxisWeights BuildAxis(int32_t sourceSize, int32_t destinationSize, int filter) {
  const bool area = filter == fiArea;
  const Kernel* kernel = area ? nullptr : &Kernels()[static_cast<size_t>(filter)];
  const int support = area ? 1 : kernel->support;
  const float c = static_cast<float>(sourceSize) / static_cast<float>(destinationSize);
  const double e = c >= 1 ? 1.0 / c : 1.0;
  const double g = c >= 1 ? static_cast<double>(c) * support : support;

  AxisWeights axis;
  std::vector<double> w;
  for (int32_t i = 0; i < destinationSize; ++i) {
    const double t = (static_cast<double>(c) * (2.0 * i + 1) - 1) / 2;
    const double lowEdge = std::ceil(t - g), highEdge = std::floor(t + g);
    const int32_t lo = static_cast<int32_t>(std::max(0.0, lowEdge));
    const int32_t hi = static_cast<int32_t>(std::min<double>(sourceSize - 1, highEdge));
    const int32_t centre = std::clamp(static_cast<int32_t>(t), lo, std::max(lo, hi));
    w.clear();
    for (int32_t j = lo; j <= hi; ++j) {
      if (area) {
        double v = 1;
        if (j == lo && lowEdge >= 0) v = 1 - ((t - g) - std::floor(t - g));
        if (j == hi && highEdge <= sourceSize - 1) v = (t + g) - std::floor(t + g);
        w.push_back(v);
      } else {
        const size_t index = static_cast<size_t>(std::abs(e * (t - j)) * kTableStep + 0.5);
        w.push_back(index < kernel->table.size() ? kernel->table[index] : 0.0);
      }
    }
    double sum = 0;
    for (double v : w) sum += v;
    axis.first.push_back(lo);
    axis.offset.push_back(axis.weights.size());
    if (w.empty() || !(sum > 1e-9)) {
      // No usable weight (a window holding only zero crossings): take the centre pixel.
      axis.first.back() = centre;
      axis.count.push_back(1);
      axis.weights.push_back(kOne);
      continue;
    }
    int32_t total = 0;
    for (double v : w) {
      const int32_t fixed = static_cast<int32_t>(v / sum * kOne);
      axis.weights.push_back(fixed);
      total += fixed;
    }
    axis.weights[axis.offset.back() + static_cast<size_t>(centre - lo)] += kOne - total;
    axis.count.push_back(static_cast<int32_t>(w.size()));
    axis.widest = std::max(axis.widest, static_cast<int32_t>(w.size()));
  }
  return axis;
}

void Resample(const Bitmap& source, const TRect& s, Bitmap& destination, const TRect& d, int filter,
              const TProgressProc& progress) {
  if (filter < fiArea || filter > fiLanczos3Alt) throw EInvalidArgument("Filter index out of range");
  const AxisWeights xs = BuildAxis(s.Width(), d.Width(), filter);
  const AxisWeights ys = BuildAxis(s.Height(), d.Height(), filter);
  const size_t rowBytes = static_cast<size_t>(d.Width()) * 3;
  const int32_t ringRows = ys.widest;
  std::vector<uint8_t> ring(rowBytes * static_cast<size_t>(ringRows));
  int32_t filteredUpTo = -1;
  auto filterRow = [&](int32_t r) {
    const uint8_t* in = source.Row(s.top + r) + static_cast<size_t>(s.left) * 3;
    uint8_t* out = &ring[rowBytes * static_cast<size_t>(r % ringRows)];
    for (int32_t x = 0; x < d.Width(); ++x) {
      const int32_t* wt = &xs.weights[xs.offset[static_cast<size_t>(x)]];
      const uint8_t* p = in + static_cast<size_t>(xs.first[static_cast<size_t>(x)]) * 3;
      int64_t b = 0, g = 0, rr = 0;
      for (int32_t k = 0; k < xs.count[static_cast<size_t>(x)]; ++k, p += 3) {
        b += int64_t{wt[k]} * p[0];
        g += int64_t{wt[k]} * p[1];
        rr += int64_t{wt[k]} * p[2];
      }
      *out++ = ClampByte(b / kOne);
      *out++ = ClampByte(g / kOne);
      *out++ = ClampByte(rr / kOne);
    }
  };
  ProgressSteps steps(progress, d.Height());
  std::vector<int64_t> acc(rowBytes);
  for (int32_t y = 0; y < d.Height(); ++y) {
    const int32_t first = ys.first[static_cast<size_t>(y)];
    const int32_t count = ys.count[static_cast<size_t>(y)];
    for (int32_t r = std::max(filteredUpTo + 1, first); r < first + count; ++r) filterRow(r);
    filteredUpTo = std::max(filteredUpTo, first + count - 1);
    uint8_t* out = destination.Row(d.top + y) + static_cast<size_t>(d.left) * 3;
    if (count == 1) {
      std::copy_n(&ring[rowBytes * static_cast<size_t>(first % ringRows)], rowBytes, out);
    } else {
      std::fill(acc.begin(), acc.end(), 0);
      const int32_t* wt = &ys.weights[ys.offset[static_cast<size_t>(y)]];
      for (int32_t k = 0; k < count; ++k) {
        const uint8_t* row = &ring[rowBytes * static_cast<size_t>((first + k) % ringRows)];
        for (size_t i = 0; i < rowBytes; ++i) acc[i] += int64_t{wt[k]} * row[i];
      }
      for (size_t i = 0; i < rowBytes; ++i) out[i] = ClampByte(acc[i] / kOne);
    }
    steps.Row(y);
  }
  steps.Done();
}

bool RectInside(const TRect& r, const Bitmap& b) {
  return r.left >= 0 && r.top >= 0 && r.right >= r.left && r.bottom >= r.top && r.right <= b.Width() &&
         r.bottom <= b.Height();
}

}  // namespace

void FilterResample(const Bitmap& source, Bitmap& destination, int filterIndex, const TProgressProc& progress) {
  if (source.Empty() || destination.Empty()) throw EAbort("Operation aborted");
  Bitmap copy;
  const Bitmap* s = &source;
  if (source.Channels() != 3) {
    copy = source;
    copy.MakeBgr24();
    s = &copy;
  }
  if (destination.Channels() != 3) destination.SetSize(destination.Width(), destination.Height(), 3);
  Resample(*s, {0, 0, s->Width(), s->Height()}, destination, {0, 0, destination.Width(), destination.Height()},
           filterIndex, progress);
}

void CopyRectBmpEx(const Bitmap& source, const TRect& sourceRect, Bitmap& destination, int filterIndex,
                   const TRect& destinationRect) {
  try {
    if (!RectInside(sourceRect, source)) throw EInvalidArgument("SRect");
    if (!RectInside(destinationRect, destination)) throw EInvalidArgument("DRect");
    if (sourceRect.Width() < 1 || sourceRect.Height() < 1 || destinationRect.Width() < 1 ||
        destinationRect.Height() < 1)
      throw EAbort("Operation aborted");
    Bitmap copy;
    const Bitmap* s = &source;
    if (source.Channels() != 3) {
      copy = source;
      copy.MakeBgr24();
      s = &copy;
    }
    if (destination.Channels() != 3) destination.MakeBgr24();
    Resample(*s, sourceRect, destination, destinationRect, filterIndex, nullptr);
  } catch (const std::exception& e) {
    throw EResizeError(Format("%s raised in CopyRectBmpEx. (%s)", {ClassNameOf(e), MessageOf(e)}));
  }
}

}  // namespace plb
