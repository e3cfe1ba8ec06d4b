#include "output/collage/collage_maker.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "engine/model/catalog_item.h"
#include "host/file_functions.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_codec.h"
#include "images/effects/image_effect.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"
#include "output/collage/collage_sizes.h"
#include "platform/atomic_file.h"

namespace plb {

namespace {

int32_t Trunc(double v) { return static_cast<int32_t>(std::trunc(v)); }

int32_t Scaled(int32_t width, float scale) { return std::max(1, Trunc(width * scale + 0.5)); }

TRect Shrunk(const TRect& r, int32_t dx, int32_t dy) {
  return TRect{r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
}

void Fill(Bitmap& canvas, TRect r, uint32_t rgb) {
  r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
  r.right = std::min(r.right, canvas.Width()), r.bottom = std::min(r.bottom, canvas.Height());
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      uint8_t* p = canvas.Pixel(x, y);
      p[0] = rgb & 0xFF, p[1] = (rgb >> 8) & 0xFF, p[2] = (rgb >> 16) & 0xFF;
    }
}

template <typename T>
void Shuffle(std::vector<T>& list, std::mt19937& random) {
  std::shuffle(list.begin(), list.end(), random);
}

// The photo upright and colour-adjusted, decoded at the scale the target needs.
Bitmap LoadPhoto(const TCatalogItem& item, TSize target) {
  Bitmap bitmap;
  int32_t w = item.Width(), h = item.Height();
  if (item.TrimmingInForce()) {
    const TTrimRect r = item.TrimRect();
    w = r.right - r.left, h = r.bottom - r.top;
  }
  if (OrientationSwapsSides(item.Orientation())) std::swap(target.cx, target.cy);
  LoadImageFile(bitmap, item.Kind(), item.FullPath(), nullptr, CalcLoadImageSize(w, h, target.cx, target.cy));
  if (bitmap.Empty()) return bitmap;
  if (item.TrimmingInForce()) {
    const TTrimRect r = item.ScaledTrimRect(bitmap.Width(), bitmap.Height());
    if (r.right > r.left && r.bottom > r.top) CropBitmap(bitmap, TRect{r.left, r.top, r.right, r.bottom});
  }
  ApplyOrientation(bitmap, item.Orientation());
  TColorAdjustment adjustment;
  {
    std::lock_guard lock(item.Lock());
    adjustment = item.Color();
  }
  ApplyItemEffect(bitmap, adjustment);
  return bitmap;
}

// The centre of source with the target's aspect.
TRect AspectCrop(TRect s, const TRect& t) {
  const double sw = s.Width(), sh = s.Height(), tw = t.Width(), th = t.Height();
  if (th / sh >= tw / sw) {
    const int32_t w = Trunc(sh * tw / th + 0.5);
    const int32_t left = (s.left + s.right - w) / 2;
    s.left = left, s.right = left + w;
  } else {
    const int32_t h = Trunc(sw * th / tw + 0.5);
    const int32_t top = (s.top + s.bottom - h) / 2;
    s.top = top, s.bottom = top + h;
  }
  return s;
}

// Copies the photo into target on the canvas, clipped; shape (styles 4 and 5) keeps only the
// pixels inside an ellipse or a rounded rectangle.
void Stretch(const Bitmap& photo, const TRect& source, Bitmap& canvas, const TRect& target, int shape) {
  if (target.Width() <= 0 || target.Height() <= 0 || source.Width() <= 0 || source.Height() <= 0) return;
  Bitmap part = photo;
  CropBitmap(part, source);
  ResizeBitmapTo(part, target.Width(), target.Height(), nullptr, rmAuto);
  const double cx = target.Width() / 2.0, cy = target.Height() / 2.0;
  const int32_t corner = std::min(target.Width(), target.Height()) / 8;  // half the corner ellipse
  for (int32_t y = 0; y < part.Height(); ++y) {
    const int32_t cyPix = target.top + y;
    if (cyPix < 0 || cyPix >= canvas.Height()) continue;
    for (int32_t x = 0; x < part.Width(); ++x) {
      const int32_t cxPix = target.left + x;
      if (cxPix < 0 || cxPix >= canvas.Width()) continue;
      if (shape == 4) {
        const double dx = (x + 0.5 - cx) / cx, dy = (y + 0.5 - cy) / cy;
        if (dx * dx + dy * dy > 1) continue;
      } else if (shape == 5 && corner > 0) {
        const int32_t ix = std::min(x, part.Width() - 1 - x), iy = std::min(y, part.Height() - 1 - y);
        if (ix < corner && iy < corner) {
          const double dx = corner - ix - 0.5, dy = corner - iy - 0.5;
          if (dx * dx + dy * dy > double(corner) * corner) continue;
        }
      }
      const uint8_t* s = part.Pixel(x, y);
      uint8_t* d = canvas.Pixel(cxPix, cyPix);
      d[0] = s[0], d[1] = s[1], d[2] = s[2];
    }
  }
}

// A print turned by angle degrees, its bounding box at (x, y), blended into the canvas.
TRect DrawRotated(Bitmap& canvas, const Bitmap& print, int32_t x, int32_t y, bool keepInside, int32_t angle,
                  TSize box) {
  const double a = angle * M_PI / 180, c = std::cos(a), s = std::sin(a);
  const int32_t w = print.Width(), h = print.Height();
  const double xs[4] = {0, double(w - 1), double(w - 1), 0}, ys[4] = {0, 0, double(h - 1), double(h - 1)};
  int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
  for (int i = 0; i < 4; ++i) {
    const int32_t rx = Trunc(xs[i] * c - ys[i] * s + 0.5), ry = Trunc(xs[i] * s + ys[i] * c + 0.5);
    minX = std::min(minX, rx), maxX = std::max(maxX, rx), minY = std::min(minY, ry), maxY = std::max(maxY, ry);
  }
  const int32_t bw = maxX - minX + 1, bh = maxY - minY + 1;
  if (box.cx > 0) x += (box.cx - bw) / 2, y += (box.cy - bh) / 2;
  if (keepInside) {
    if (x < 12) x = 12;
    else if (x + bw + 12 > canvas.Width()) x = canvas.Width() - bw - 12;
    if (y < 12) y = 12;
    else if (y + bh + 12 > canvas.Height()) y = canvas.Height() - bh - 12;
  }
  for (int32_t row = -5; row <= bh + 5; ++row) {
    const int32_t oy = y + row;
    if (oy < 0 || oy >= canvas.Height()) continue;
    for (int32_t col = -5; col <= bw + 5; ++col) {
      const int32_t ox = x + col;
      if (ox < 0 || ox >= canvas.Width()) continue;
      const double px = col + minX, py = row + minY;
      const double sx = px * c + py * s, sy = -px * s + py * c;
      const int32_t fx = static_cast<int32_t>(std::floor(sx)), fy = static_cast<int32_t>(std::floor(sy));
      const int32_t wx = Trunc((sx - fx) * 255 + 0.5), wy = Trunc((sy - fy) * 255 + 0.5);
      uint8_t* out = canvas.Pixel(ox, oy);
      int32_t n[4][3];
      for (int k = 0; k < 4; ++k) {
        const int32_t nx = fx + (k & 1), ny = fy + (k >> 1);
        const bool inside = nx >= 0 && ny >= 0 && nx < w && ny < h;
        const bool nearEdge = nx >= -2 && ny >= -2 && nx < w + 2 && ny < h + 2;
        for (int ch = 0; ch < 3; ++ch)
          n[k][ch] = inside ? print.Pixel(nx, ny)[ch] : nearEdge ? out[ch] * 3 / 4 : out[ch];
      }
      for (int ch = 0; ch < 3; ++ch) {
        const int32_t top = ((255 - wx) * n[0][ch] + wx * n[1][ch]) / 255;
        const int32_t bottom = ((255 - wx) * n[2][ch] + wx * n[3][ch]) / 255;
        out[ch] = static_cast<uint8_t>(((255 - wy) * top + wy * bottom) / 255);
      }
    }
  }
  return TRect{x, y, x + bw, y + bh};
}

class Renderer {
 public:
  Renderer(const TCollageSettings& s, Bitmap& canvas) : s_(s), canvas_(canvas), st_(s.style % kCollageStyles) {}

  void Photo(const TCollageItem& cell, TRect target, bool big) {
    if (!cell.item || target.left < 0 || target.top < 0 || target.Width() <= 0 || target.Height() <= 0) return;
    Bitmap photo;
    try {
      photo = LoadPhoto(*cell.item, TSize{target.Width(), target.Height()});
    } catch (const std::exception&) {
      return;  // the cell keeps what is drawn under it
    }
    if (photo.Empty()) return;
    TRect source{0, 0, photo.Width(), photo.Height()};
    if (st_ != 8) {
      Stretch(photo, AspectCrop(source, target), canvas_, target, st_ == 4 || st_ == 5 ? st_ : 0);
      return;
    }
    const TSize fit = FitInside(target.Width(), target.Height(), photo.Width(), photo.Height());
    const TSize size = big ? fit : TSize{3 * fit.cx / 2, 3 * fit.cy / 2};
    Bitmap print(size.cx, size.cy);
    TRect inner{0, 0, size.cx, size.cy};
    if (s_.frameOn[8]) {
      print.Fill(s_.frameColor[8] & 0xFF, (s_.frameColor[8] >> 8) & 0xFF, (s_.frameColor[8] >> 16) & 0xFF);
      const int32_t fw = Scaled(s_.frameWidth[8], s_.scale);
      inner = Shrunk(inner, fw, fw);
    }
    Stretch(photo, source, print, inner, 0);
    if (big) {
      DrawRotated(canvas_, print, target.left, target.top, false, 0, TSize{target.Width(), target.Height()});
    } else {
      DrawRotated(canvas_, print, target.left + Trunc(cell.xJitter * target.Width() / 8),
                  target.top + Trunc(cell.yJitter * target.Height() / 8), s_.keepInside[8], cell.angle,
                  TSize{target.Width(), target.Height()});
    }
  }

  void Cell(const TCollageItem& cell, TRect r) {
    if (!cell.item) return;  // an empty cell shows what lies under it (the big photo, the background)
    if (st_ == 2) r = Shrunk(r, r.Width() / 16, r.Height() / 16);
    if (((st_ == 4 || st_ == 5) && s_.spacingOn[st_]) || st_ == 3 || st_ == 6 || st_ == 7) {
      Fill(canvas_, r, s_.spacingColor[st_]);
      const int32_t sw = Scaled(s_.spacingWidth[st_], s_.scale);
      r = Shrunk(r, sw, sw);
    }
    if ((st_ <= 2 && s_.frameOn[st_]) || st_ == 3) {
      Fill(canvas_, r, s_.frameColor[st_]);
      const int32_t fw = Scaled(s_.frameWidth[st_], s_.scale);
      r = Shrunk(r, fw, fw);
    }
    Photo(cell, r, false);
  }

  void Big(TCatalogItem* main, TSize size) {
    if (!main || !(st_ == 1 || st_ == 2 || st_ >= 6)) return;
    TRect area{0, 0, size.cx, size.cy};
    const int32_t cols = s_.Columns(), rows = s_.Rows();
    if (st_ == 6 || st_ == 7) {
      const TRect first = CollageCellArea(s_, size, st_ == 6 ? cols + 1 : 0);
      const TRect last = CollageCellArea(s_, size, st_ == 6 ? cols * (rows - 1) - 2 : cols * (rows - 1) - 1);
      area = TRect{first.left, first.top, last.right, last.bottom};
      Fill(canvas_, area, s_.spacingColor[st_]);
      const int32_t sw = Scaled(s_.spacingWidth[st_], s_.scale);
      area = Shrunk(area, sw, sw);
    } else if (st_ == 8) {
      area = Shrunk(area, size.cx / 6, size.cy / 6);
    } else if (st_ == 1) {
      if (size.cx > size.cy) area.left += size.cx / 2;
      else area.bottom -= size.cy / 2;
      if (s_.frameOn[1]) {
        Fill(canvas_, area, s_.frameColor[1]);
        const int32_t fw = Scaled(s_.frameWidth[1], s_.scale);
        area = Shrunk(area, fw, fw);
      }
    }
    TCollageItem cell;
    cell.item = main;
    Photo(cell, area, true);
  }

 private:
  const TCollageSettings& s_;
  Bitmap& canvas_;
  const int st_;
};

}  // namespace

std::string CollageStyleName(int style) {
  static const char* const kNames[kCollageStyles] = {"シンプルグリッド", "ポスターグリッド", "ピクチャーグリッド",
                                                     "ピクチャーフレーム", "ポップ",         "タイル",
                                                     "フレームモザイク",   "ワイドポスター", "パイル"};
  return style >= 0 && style < kCollageStyles ? kNames[style] : "Unknown";
}

TSize CollageCanvasSize(const TCollageSettings& s) {
  TSize size{s.freeWidth, s.freeHeight};
  if (s.sizeKind != 0) {
    const TCollageGeometry g = CollageGeometry(s.sizeKind, s.portrait);
    size = s.includeMargins ? TSize{g.width, g.height}
                            : TSize{Trunc((1 - g.left - g.right) * g.width + 0.5), Trunc((1 - g.top - g.bottom) * g.height + 0.5)};
  }
  return TSize{Trunc(size.cx * double(s.scale) + 0.5), Trunc(size.cy * double(s.scale) + 0.5)};
}

uint32_t CollageBackground(const TCollageSettings& s) {
  const int st = s.style % kCollageStyles;
  if (st >= 3) return s.spacingColor[st];
  return s.frameOn[st] ? s.frameColor[st] : 0xFFFFFF;
}

TRect CollageCellArea(const TCollageSettings& s, TSize canvas, int32_t c) {
  int32_t t = canvas.cx, r = canvas.cy, ml = 0, mt = 0;
  if (s.style == 1) {
    if (canvas.cx > canvas.cy) t /= 2;
    else r /= 2, mt += r;
  }
  const int32_t cols = std::max(1, s.Columns()), rows = std::max(1, s.Rows());
  const int32_t u = c % cols, v = c / cols;
  return TRect{ml + Trunc(double(t) * u / cols + 0.5), mt + Trunc(double(r) * v / rows + 0.5),
               ml + Trunc(double(t) * (u + 1) / cols + 0.5), mt + Trunc(double(r) * (v + 1) / rows + 0.5)};
}

TCollageLayout SetupTargetItems(const std::vector<TCatalogItem*>& sources, const TCollageSettings& s,
                                TCatalogItem* previousMain, std::mt19937& random) {
  TCollageLayout layout;
  const int32_t cols = s.Columns(), rows = s.Rows();
  const int64_t n = int64_t{cols} * rows;
  if (n <= 0 || sources.empty()) return layout;
  std::vector<TCatalogItem*> list = sources;
  Shuffle(list, random);
  layout.main = s.fixedMainImage && previousMain ? previousMain : list.back();
  size_t next = 0;
  const auto take = [&] {
    if (next >= list.size()) {
      Shuffle(list, random);
      next = 0;
    }
    return list[next++];
  };
  std::vector<TCatalogItem*> cells;
  const int st = s.style % kCollageStyles;
  if (st == 2) {
    cells.assign(list.begin(), list.begin() + std::min<int64_t>(n, static_cast<int64_t>(list.size())));
    cells.resize(static_cast<size_t>(n), nullptr);
    Shuffle(cells, random);
  } else {
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < cols; ++col) {
        bool empty = false;
        if (st == 6) empty = row > 0 && row < rows - 1 && col > 0 && col < cols - 1;
        if (st == 7) empty = row != rows - 1;
        cells.push_back(empty ? nullptr : take());
      }
  }
  std::uniform_int_distribution<int> jitter(0, 2047), angle(0, 119);
  for (size_t i = 0; i < cells.size(); ++i) {
    TCollageItem cell;
    cell.item = cells[i];
    cell.cell = static_cast<int32_t>(i);
    cell.xJitter = jitter(random) / 1024.0 - 1;
    cell.yJitter = jitter(random) / 1024.0 - 1;
    cell.angle = angle(random) - 60;
    layout.cells.push_back(cell);
  }
  Shuffle(layout.cells, random);
  return layout;
}

int CalcLoadImageSize(int32_t w, int32_t h, int32_t tw, int32_t th) {
  if (w <= 0 || h <= 0) return dsFull;
  const double f = std::max(double(tw) / w, double(th) / h);
  if (f > 0.5) return dsFull;
  if (f > 0.25) return dsHalf;
  if (f > 0.125) return dsQuarter;
  return dsEighth;
}

Bitmap RenderCollage(const TCollageLayout& layout, const TCollageSettings& s, const std::function<bool()>& stop,
                     const std::function<void()>& step) {
  const TSize size = CollageCanvasSize(s);
  if (size.cx <= 0 || size.cy <= 0) throw ECollageMakerError("TCollageMaker.SetupBaseBMP : EInvalidArgument Raised. (BMP is nil.)");
  Bitmap canvas(size.cx, size.cy);
  const uint32_t bg = CollageBackground(s);
  canvas.Fill(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF);
  Renderer renderer(s, canvas);
  const int st = s.style % kCollageStyles;
  if (st != 8) renderer.Big(layout.main, size);
  for (const TCollageItem& cell : layout.cells) {
    if (stop && stop()) return canvas;
    renderer.Cell(cell, CollageCellArea(s, size, cell.cell));
    if (step) step();
  }
  if (st == 8) renderer.Big(layout.main, size);
  return canvas;
}

std::string SaveCollage(const Bitmap& collage, const TCollageSettings& s, const std::string& folder,
                        const std::string& name, int quality) {
  const Bitmap* out = &collage;
  Bitmap framed;
  if (s.sizeKind != 0) {
    const TCollageGeometry g = CollageGeometry(s.sizeKind, s.portrait);
    const double w = collage.Width(), h = collage.Height();
    const int32_t l = Trunc(w * g.left / (1 - g.left - g.right) + 0.5), r = Trunc(w * g.right / (1 - g.left - g.right) + 0.5);
    const int32_t t = Trunc(h * g.top / (1 - g.top - g.bottom) + 0.5), b = Trunc(h * g.bottom / (1 - g.top - g.bottom) + 0.5);
    if (l || r || t || b) {
      framed = Bitmap(collage.Width() + l + r, collage.Height() + t + b);
      const uint32_t bg = CollageBackground(s);
      framed.Fill(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF);
      for (int32_t y = 0; y < collage.Height(); ++y)
        std::copy_n(collage.Row(y), collage.Width() * 3, framed.Pixel(l, t + y));
      out = &framed;
    }
  }
  std::filesystem::create_directories(folder);
  const std::string path = UniqueFileName(folder + "/" + name);
  WriteFileAtomically(path, EncodeJpeg(*out, quality));
  return path;
}

}  // namespace plb
