#include "images/effects/image_effect.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

#include "images/effects/effect_kernels.h"
#include "images/scale/progress_steps.h"
#include "images/scale/real_convert.h"

namespace plb {
namespace {

using Table = std::array<uint8_t, 256>;
using Histogram = std::array<uint64_t, 256>;

void MapChannels(Bitmap& b, const Table& red, const Table& green, const Table& blue) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* p = b.Row(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) {
      p[0] = blue[p[0]];
      p[1] = green[p[1]];
      p[2] = red[p[2]];
    }
  }
}

template <class F>
void ForEachPixel(Bitmap& b, ProgressSteps& steps, F f) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* p = b.Row(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) f(p, x, y);
    steps.Row(y);
  }
}

int PixelLuminance(const uint8_t* p) {
  return Luminance(p[2], p[1], p[0]);
}

Histogram LuminanceHistogram(const Bitmap& b) {
  Histogram h{};
  for (int32_t y = 0; y < b.Height(); ++y) {
    const uint8_t* p = b.Row(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) ++h[static_cast<size_t>(std::min(255, PixelLuminance(p)))];
  }
  return h;
}

Histogram ChannelHistogram(const Bitmap& b, int channel) {
  Histogram h{};
  for (int32_t y = 0; y < b.Height(); ++y) {
    const uint8_t* p = b.Row(y) + channel;
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) ++h[*p];
  }
  return h;
}

uint64_t PixelCount(const Bitmap& b) {
  return static_cast<uint64_t>(b.Width()) * static_cast<uint64_t>(b.Height());
}

// t[i] = trunc(255 * (count of values up to i) / N).
Table CumulativeTable(const Histogram& h, uint64_t n) {
  Table t{};
  uint64_t sum = 0;
  for (size_t i = 0; i < 256; ++i) {
    sum += h[i];
    t[i] = static_cast<uint8_t>(255 * sum / n);
  }
  return t;
}

void Sepia(Bitmap& b, ProgressSteps& steps) {
  Table red{}, blue{};
  for (int i = 0; i < 256; ++i) {
    red[static_cast<size_t>(i)] = static_cast<uint8_t>(255 * std::pow(i / 255.0, 0.75) + 0.5);
    blue[static_cast<size_t>(i)] = static_cast<uint8_t>(255 * std::pow(i / 255.0, 4.0 / 3) + 0.5);
  }
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t, int32_t) {
    const size_t y = static_cast<size_t>(std::min(255, PixelLuminance(p)));
    p[2] = red[y];
    p[1] = static_cast<uint8_t>(y);
    p[0] = blue[y];
  });
}

void Bevel(Bitmap& b, int n, ProgressSteps& steps) {
  const int32_t w = b.Width(), h = b.Height();
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t x, int32_t y) {
    int delta = 0;
    if ((y < n && x + y < w) || (x < n && x + y < h)) {
      delta = 64;
    } else if (y > h - n - 1 || x > w - n - 1) {
      delta = -64;
    }
    if (delta != 0)
      for (int c = 0; c < 3; ++c) p[c] = ClampByte(p[c] + delta);
  });
}

void Equalize(Bitmap& b, ProgressSteps& steps) {
  const Table t = CumulativeTable(LuminanceHistogram(b), PixelCount(b));
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t, int32_t) {
    for (int c = 0; c < 3; ++c) p[c] = t[p[c]];
  });
}

void EqualizeLuminance(Bitmap& b, ProgressSteps& steps) {
  const Histogram h = LuminanceHistogram(b);
  const double n = static_cast<double>(PixelCount(b));
  std::array<double, 256> e{};
  uint64_t sum = 0;
  for (size_t k = 1; k < 256; ++k) {
    sum += h[k];
    e[k] = 255.0 * static_cast<double>(sum) / n;
  }
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t, int32_t) {
    const double r = p[2], g = p[1], bl = p[0];
    const double y = 0.299 * r + 0.587 * g + 0.114 * bl;
    const double cr = 0.5 * r - 0.41869 * g - 0.08131 * bl;
    const double cb = -0.16874 * r - 0.33126 * g + 0.5 * bl;
    const double l = e[static_cast<size_t>(std::clamp(static_cast<int>(y), 0, 255))];
    p[2] = RoundClampByte(l + 1.402 * cr);
    p[1] = RoundClampByte(l - 0.34414 * cb - 0.71414 * cr);
    p[0] = RoundClampByte(l + 1.772 * cb);
  });
}

void EqualizeChannels(Bitmap& b, ProgressSteps& steps) {
  std::array<Table, 3> tables;
  for (int c = 0; c < 3; ++c) {
    Table& t = tables[static_cast<size_t>(c)];
    t = CumulativeTable(ChannelHistogram(b, c), PixelCount(b));
    // A channel that is 0 everywhere has t[0] = 255 and cannot be stretched: it stays as it is.
    if (t[0] == 255) {
      for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
      continue;
    }
    for (int i = 255; i >= 0; --i)
      t[static_cast<size_t>(i)] = RoundClampByte((t[static_cast<size_t>(i)] - t[0]) * 255.0 / (255 - t[0]));
  }
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t, int32_t) {
    for (int c = 0; c < 3; ++c) p[c] = tables[static_cast<size_t>(c)][p[c]];
  });
}

// The 0.5 % and 99.5 % points of a histogram: m and l; true when m < l.
bool StretchPoints(const Histogram& h, uint64_t n, int& m, int& l) {
  const uint64_t lo = static_cast<uint64_t>(0.005 * static_cast<double>(n) + 0.5);
  const uint64_t hi = static_cast<uint64_t>(0.995 * static_cast<double>(n) + 0.5);
  m = 0;
  l = 255;
  bool highFound = false;
  uint64_t s = 0;
  for (int i = 0; i < 256; ++i) {
    s += h[static_cast<size_t>(i)];
    if (s <= lo) m = i;
    if (s <= hi) {
      l = i;
      highFound = true;
    }
  }
  if (!highFound) l = 255;
  return m < l;
}

Table StretchTable(int m, int l) {
  Table t{};
  for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = RoundClampByte((i - m) * 255.0 / (l - m));
  return t;
}

void StretchLuminance(Bitmap& b, ProgressSteps& steps) {
  int m = 0, l = 255;
  if (!StretchPoints(LuminanceHistogram(b), PixelCount(b), m, l)) return;
  const Table t = StretchTable(m, l);
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t, int32_t) {
    for (int c = 0; c < 3; ++c) p[c] = t[p[c]];
  });
}

void StretchChannels(Bitmap& b, ProgressSteps& steps) {
  std::array<Table, 3> tables;
  for (int c = 0; c < 3; ++c) {
    int m = 0, l = 255;
    if (!StretchPoints(ChannelHistogram(b, c), PixelCount(b), m, l)) return;
    tables[static_cast<size_t>(c)] = StretchTable(m, l);
  }
  ForEachPixel(b, steps, [&](uint8_t* p, int32_t, int32_t) {
    for (int c = 0; c < 3; ++c) p[c] = tables[static_cast<size_t>(c)][p[c]];
  });
}

void RunFilter(Bitmap& b, int code, ProgressSteps& steps) {
  switch (code) {
    case efGrayscale:
      effects::Grayscale(b);
      break;
    case efSepia:
      Sepia(b, steps);
      break;
    case efInvert:
      ForEachPixel(b, steps, [](uint8_t* p, int32_t, int32_t) {
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(255 - p[c]);
      });
      break;
    case efRotateChannels:
      // New (R, G, B) = old (B, R, G).
      ForEachPixel(b, steps, [](uint8_t* p, int32_t, int32_t) {
        const uint8_t r = p[2], g = p[1], bl = p[0];
        p[2] = bl;
        p[1] = r;
        p[0] = g;
      });
      break;
    case efSwapRedGreen:
      ForEachPixel(b, steps, [](uint8_t* p, int32_t, int32_t) { std::swap(p[2], p[1]); });
      break;
    case efSwapGreenBlue:
      ForEachPixel(b, steps, [](uint8_t* p, int32_t, int32_t) { std::swap(p[1], p[0]); });
      break;
    case efSwapRedBlue:
      ForEachPixel(b, steps, [](uint8_t* p, int32_t, int32_t) { std::swap(p[2], p[0]); });
      break;
    case efBevelThin:
      Bevel(b, 2, steps);
      break;
    case efBevelMedium:
      Bevel(b, 4, steps);
      break;
    case efBevelThick:
      Bevel(b, 6, steps);
      break;
    case efBevelHeavy:
      Bevel(b, 10, steps);
      break;
    case efNoiseWeak:
      effects::RemoveNoise(b, 24, steps);
      break;
    case efNoiseMedium:
      effects::RemoveNoise(b, 40, steps);
      break;
    case efNoiseStrong:
      effects::RemoveNoise(b, 56, steps);
      break;
    case efEqualize1:
      Equalize(b, steps);
      break;
    case efEqualize2:
      EqualizeLuminance(b, steps);
      break;
    case efEqualize3:
      EqualizeChannels(b, steps);
      break;
    case efContrast1:
      StretchLuminance(b, steps);
      break;
    case efContrast2:
      StretchChannels(b, steps);
      break;
    case efContrast3: {
      ProgressSteps silent(nullptr, b.Height());
      StretchLuminance(b, silent);
      StretchChannels(b, steps);
      break;
    }
    case efSoft2:
      effects::Soft2(b, steps);
      break;
    case efSmooth:
      effects::Smooth(b, steps);
      break;
    default:
      effects::Neighbourhood(b, code, steps);
      break;
  }
}

}  // namespace

void ApplyColourAdjustment(Bitmap& bitmap, int red, int green, int gamma, int contrast, int brightness, int blue) {
  if (gamma == 100 && red == 0 && green == 0 && contrast == 0 && brightness == 0 && blue == 0) return;
  bitmap.MakeBgr24();
  std::array<double, 256> g{};
  for (int i = 0; i < 256; ++i) {
    if (gamma == 100) {
      g[static_cast<size_t>(i)] = i;
    } else if (gamma > 0 && i > 0) {
      // exp(ln(x) * 100 / gamma) stays within 0..1 for every positive gamma; a gamma at or below
      // 0 (only a damaged record holds one) gives 0 like gamma 0 instead of an overflow.
      g[static_cast<size_t>(i)] = std::trunc(std::exp(std::log(i / 255.0) * 100.0 / gamma) * 255);
    }
  }
  const int64_t lift = int64_t{brightness} * 255 / 100;
  auto table = [&](int gain) {
    Table t{};
    for (size_t i = 0; i < 256; ++i)
      t[i] = RoundClampByte((gain / 100.0 + 1) * ((contrast / 100.0 + 1) * (g[i] - 127) + 127) +
                            static_cast<double>(lift));
    return t;
  };
  MapChannels(bitmap, table(red), table(green), table(blue));
}

void ApplyEffectFilter(Bitmap& bitmap, int code, const TProgressProc& progress) {
  if (code <= efNone || code >= kEffectFilterCount) return;
  bitmap.MakeBgr24();
  ProgressSteps steps(progress, bitmap.Height());
  try {
    if (!bitmap.Empty()) RunFilter(bitmap, code, steps);
  } catch (const std::exception&) {
    steps.Done();
    throw;
  }
  steps.Done();
}

void ApplyItemEffect(Bitmap& bitmap, const TColorAdjustment& a, const TProgressProc& progress) {
  if (a.enabled == 0) return;
  ApplyColourAdjustment(bitmap, a.red, a.green, a.gamma, a.cont, a.meido, a.blue);
  ApplyEffectFilter(bitmap, a.filter1, progress);
  ApplyEffectFilter(bitmap, a.filter2, progress);
  ApplyEffectFilter(bitmap, a.filter3, progress);
}

std::string EffectFilterName(int code) {
  static constexpr std::array<const char*, kEffectFilterCount> kNames = {
      "無し",
      "グレイスケール",
      "セピアカラー",
      "反転イメージ",
      "Ｒ→Ｇ→Ｂ",
      "Ｒ <-> Ｇ",
      "Ｇ <-> Ｂ",
      "Ｒ <-> Ｂ",
      "シャープ(弱)",
      "シャープ(中)",
      "シャープ(強)",
      "ソフト",
      "平均値",
      "最大値",
      "最小値",
      "メディアン",
      "エンボス１",
      "エンボス２",
      "ﾗﾌﾟﾗｼｱﾝ (4)",
      "ﾗﾌﾟﾗｼｱﾝ (8)",
      "ソーベル",
      "スケッチ風",
      "イラスト1",
      "ボタン風（細枠）",
      "ボタン風（中枠）",
      "ボタン風（太枠）",
      "ボタン風（極太）",
      "ノイズ除去(弱)",
      "ノイズ除去(中)",
      "ノイズ除去(強)",
      "ﾋｽﾄｸﾞﾗﾑ均等1",
      "ﾋｽﾄｸﾞﾗﾑ均等2",
      "ﾋｽﾄｸﾞﾗﾑ均等3",
      "ｺﾝﾄﾗｽﾄ改善1",
      "ｺﾝﾄﾗｽﾄ改善2",
      "ｺﾝﾄﾗｽﾄ改善3",
      "簡易LPF",
      "ソフト2",
      "なめらか",
      "鉛筆風",
      "イラスト2",
  };
  if (code < 0 || code >= kEffectFilterCount) return "Unknown";
  return kNames[static_cast<size_t>(code)];
}

}  // namespace plb
