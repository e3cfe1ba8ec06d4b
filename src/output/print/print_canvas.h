#pragma once
// Where printed pages are drawn: a printer, a PDF file, or a preview picture. Coordinates are the
// device's pixels with the sheet's top-left corner at 0, 0.
#include <cstdint>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"

namespace plb {

class IPrintCanvas {
 public:
  virtual ~IPrintCanvas() = default;
  // Pages after the first; the first is begun by opening the document.
  virtual void NewPage() = 0;
  virtual void FillRect(const TRect& rect, uint32_t rgb) = 0;
  // The source part of picture stretched onto target.
  virtual void DrawPicture(const Bitmap& picture, const TRect& source, const TRect& target) = 0;
  // The height of lines stacked downwards at a point size, in device pixels.
  virtual int32_t TextHeight(const std::vector<std::string>& lines, int32_t pointSize) = 0;
  // Each line centred horizontally in rect, stacked downwards from its top; black on the page.
  virtual void DrawTextLines(const TRect& rect, const std::vector<std::string>& lines, int32_t pointSize) = 0;
};

// One printer document: a canvas that is either finished (the pages go to the printer or file)
// or aborted (nothing of it remains).
class IPrintDocument : public IPrintCanvas {
 public:
  virtual void Finish() = 0;
  virtual void Abort() = 0;
};

}  // namespace plb
