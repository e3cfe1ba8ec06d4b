#pragma once
// An encoded JPEG picture as the save paths pass it around: the compressed bytes, the quality
// they were made with and the scale they decode at by default.
#include <cstdint>
#include <span>
#include <string>

#include "images/codec/bitmap.h"
#include "images/codec/jpeg_codec.h"

namespace plb {

struct TJpegImage {
  std::string data;
  int quality = 90;
  int scale = dsFull;

  std::span<const uint8_t> Bytes() const {
    return std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  // The frame size; EJpegError when the data are not a readable JPEG.
  TSize Size() const { return JpegImageSize(Bytes()); }
  void Assign(const Bitmap& bitmap, int newQuality) {
    data = EncodeJpeg(bitmap, newQuality);
    quality = newQuality;
  }
  void Decode(Bitmap& bitmap, int decodeScale) const { DecodeJpeg(Bytes(), bitmap, decodeScale); }
};

}  // namespace plb
