#include "images/codec/jpeg_codec.h"

// libjpeg reports errors through a callback that must not return; it leaves through longjmp back
// into the function that called the library, so no C++ object may live between a setjmp below
// and the library calls, and nothing may throw while libjpeg's state is open.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "images/codec/jpeg_dc_scans.h"

namespace plb {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings are silent, except that data ending before the picture does is a failure: a cut-off
// file must not pass as a picture with a grey lower part.
void EmitMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) ErrorExit(info);
}

void SetUpErrors(jpeg_error_mgr& pub) {
  jpeg_std_error(&pub);
  pub.error_exit = ErrorExit;
  pub.emit_message = EmitMessage;
}

// Sizes the bitmap without letting an exception cross libjpeg's frames.
bool AllocateNoThrow(Bitmap& bitmap, JDIMENSION width, JDIMENSION height, char* message) noexcept {
  try {
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) throw ERangeError("JPEG too large");
    bitmap.SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height), 3);
    return true;
  } catch (const std::exception& e) {
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", e.what());
    return false;
  }
}

// Adobe CMYK (stored inverted, as every common writer does) to B, G, R.
void CmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned k = cmyk[3];
    bgr[0] = static_cast<uint8_t>(cmyk[2] * k / 255);
    bgr[1] = static_cast<uint8_t>(cmyk[1] * k / 255);
    bgr[2] = static_cast<uint8_t>(cmyk[0] * k / 255);
  }
}

// False with the message on any fault; the bitmap is then unspecified. complete is false for data
// whose AC scans were left out on purpose: the decoder must not guess the missing coefficients.
bool DecodeInto(const uint8_t* data, size_t size, int scale, bool fast, bool complete, Bitmap& bitmap,
                char* message) {
  jpeg_decompress_struct info;
  ErrorManager err;
  info.err = &err.pub;
  SetUpErrors(err.pub);
  if (setjmp(err.jump)) {
    std::memcpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.scale_num = 1;
  info.scale_denom = 1u << (scale < 0 ? 0 : scale > 3 ? 3 : scale);
  info.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
  info.do_fancy_upsampling = fast ? FALSE : TRUE;
  if (!complete) info.do_block_smoothing = FALSE;
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  if (!AllocateNoThrow(bitmap, info.output_width, info.output_height, message)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  JSAMPARRAY cmykRow =
      cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, info.output_width * 4, 1)
           : nullptr;
  while (info.output_scanline < info.output_height) {
    uint8_t* row = bitmap.Row(static_cast<int32_t>(info.output_scanline));
    if (cmyk) {
      jpeg_read_scanlines(&info, cmykRow, 1);
      CmykRowToBgr(cmykRow[0], row, info.output_width);
    } else {
      JSAMPROW rows[1] = {row};
      jpeg_read_scanlines(&info, rows, 1);
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool HeaderSize(const uint8_t* data, size_t size, JDIMENSION& width, JDIMENSION& height, char* message) {
  jpeg_decompress_struct info;
  ErrorManager err;
  info.err = &err.pub;
  SetUpErrors(err.pub);
  if (setjmp(err.jump)) {
    std::memcpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  width = info.image_width;
  height = info.image_height;
  jpeg_destroy_decompress(&info);
  return true;
}

bool EncodeInto(const Bitmap& bitmap, int quality, unsigned char** out, unsigned long* outSize, char* message) {
  jpeg_compress_struct info;
  ErrorManager err;
  info.err = &err.pub;
  SetUpErrors(err.pub);
  if (setjmp(err.jump)) {
    std::memcpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, outSize);
  info.image_width = static_cast<JDIMENSION>(bitmap.Width());
  info.image_height = static_cast<JDIMENSION>(bitmap.Height());
  info.input_components = bitmap.Channels();
  info.in_color_space = bitmap.Channels() == 4 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {const_cast<uint8_t*>(bitmap.Row(static_cast<int32_t>(info.next_scanline)))};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

void Decode(std::span<const uint8_t> bytes, Bitmap& bitmap, int scale, bool fast) {
  if (bytes.empty()) throw EJpegError("JPEG error: empty data");
  char message[JMSG_LENGTH_MAX] = {};
  Bitmap decoded;
  // At one eighth a progressive file is decoded from its DC scans alone, or without the AC scans
  // of the components that show only their DC coefficients.
  if (scale >= dsEighth && !fast && DecodeProgressiveDcOnly(bytes, decoded)) {
    bitmap.Swap(decoded);
    return;
  }
  const std::vector<uint8_t> reduced = scale >= dsEighth ? ProgressiveWithoutUnneededAcScans(bytes) : std::vector<uint8_t>{};
  const std::span<const uint8_t> source = reduced.empty() ? bytes : std::span<const uint8_t>(reduced);
  if (!DecodeInto(source.data(), source.size(), scale, fast, reduced.empty(), decoded, message))
    throw EJpegError(std::string("JPEG error: ") + message);
  bitmap.Swap(decoded);
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName) {
  TFileStream file(fileName, TFileStream::Mode::kRead);
  const int64_t size = file.Size();
  if (size > int64_t{1} << 31) throw EJpegError("JPEG file too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  file.ReadBuffer(bytes.data(), size);
  return bytes;
}

}  // namespace

void DecodeJpeg(std::span<const uint8_t> bytes, Bitmap& bitmap, int scale) {
  Decode(bytes, bitmap, scale, false);
}

void DecodeJpegFast(std::span<const uint8_t> bytes, Bitmap& bitmap, int scale) {
  Decode(bytes, bitmap, scale, true);
}

bool DecodeJpegIjl(const std::string& fileName, Bitmap& bitmap, int scale) {
  try {
    const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
    DecodeJpeg(bytes, bitmap, scale);
    return true;
  } catch (const std::exception&) {
    bitmap.Clear();
    return false;
  }
}

bool DecodeJpegIjl(TMemoryStream& stream, Bitmap& bitmap, int scale) {
  try {
    const int64_t position = stream.Position();
    const std::span<const uint8_t> all = stream.Bytes();
    if (position < 0 || static_cast<uint64_t>(position) >= all.size()) throw EJpegError("JPEG error: empty data");
    DecodeJpeg(all.subspan(static_cast<size_t>(position)), bitmap, scale);
    return true;
  } catch (const std::exception&) {
    bitmap.Clear();
    return false;
  }
}

TSize JpegImageSize(std::span<const uint8_t> bytes) {
  if (bytes.empty()) throw EJpegError("JPEG error: empty data");
  char message[JMSG_LENGTH_MAX] = {};
  JDIMENSION width = 0, height = 0;
  if (!HeaderSize(bytes.data(), bytes.size(), width, height, message))
    throw EJpegError(std::string("JPEG error: ") + message);
  return {static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

std::string EncodeJpeg(const Bitmap& bitmap, int quality) {
  if (bitmap.Empty()) throw EJpegError("JPEG error: empty bitmap");
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  char message[JMSG_LENGTH_MAX] = {};
  // After a failure the library may already have replaced the buffer it handed out, so it is only
  // released after success (encoding a valid bitmap does not fail in practice).
  if (!EncodeInto(bitmap, quality, &out, &outSize, message)) throw EJpegError(std::string("JPEG error: ") + message);
  std::unique_ptr<unsigned char, decltype(&std::free)> owned(out, &std::free);
  return std::string(reinterpret_cast<const char*>(out), outSize);
}

}  // namespace plb
