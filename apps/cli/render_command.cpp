// plb render: the picture of a photo as the catalog draws it (upright, with the colour
// adjustment and effect filters given), fitted into a box and written as JPEG or BMP.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog_setup.h"
#include "engine/model/file_kinds.h"
#include "host/ascii_case.h"
#include "images/codec/bmp_file.h"
#include "images/codec/jpeg_codec.h"
#include "images/scale/picture_render.h"
#include "images/scale/resize.h"
#include "platform/atomic_file.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int ParseInt(const std::string& option, const std::string& text, int low, int high) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < low || v > high)
    throw UsageError{option + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high)};
  return static_cast<int>(v);
}

void ParseBox(const std::string& text, TRenderRequest& request) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError{"--size must be WIDTHxHEIGHT"};
  request.max_width = ParseInt("--size", text.substr(0, x), 1, 65535);
  request.max_height = ParseInt("--size", text.substr(x + 1), 1, 65535);
}

// Reads the optional colour adjustment; enabled once any part of it is given. The record is
// packed, so its fields are set by value, never through references.
void TakeAdjustment(Args& args, TColorAdjustment& a) {
  std::string value;
  auto take = [&](const char* option, int32_t current, int low, int high) {
    if (!TakeOption(args, option, value)) return current;
    a.enabled = 1;
    return static_cast<int32_t>(ParseInt(option, value, low, high));
  };
  a.meido = take("--brightness", a.meido, -100, 100);
  a.cont = take("--contrast", a.cont, -100, 100);
  a.gamma = take("--gamma", a.gamma, 0, 1000);
  a.red = take("--red", a.red, -100, 100);
  a.green = take("--green", a.green, -100, 100);
  a.blue = take("--blue", a.blue, -100, 100);
  uint8_t filters[3] = {0, 0, 0};
  for (uint8_t& filter : filters) {
    if (!TakeOption(args, "--filter", value)) break;
    filter = static_cast<uint8_t>(ParseInt("--filter", value, 0, 40));
    a.enabled = 1;
  }
  a.filter1 = filters[0];
  a.filter2 = filters[1];
  a.filter3 = filters[2];
}

int KindOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return -1;
  TExtItems kinds;
  kinds.Build(KindBit(fkBitmap) | KindBit(fkJpeg) | KindBit(fkMetafile) | KindBit(fkCameraThumbnail) | KindBit(fkRaw) |
              KindBit(fkMovie));
  const TExtItem* item = kinds.Find(path.substr(dot));
  return item ? item->kind : -1;
}

int RunRender(const Args& given) {
  Args args = given;
  TRenderRequest request;
  std::string value, out;
  if (!TakeOption(args, "--size", value)) throw UsageError{"--size is required"};
  ParseBox(value, request);
  if (TakeOption(args, "--method", value)) request.method = ParseInt("--method", value, 0, 7);
  int quality = 90;
  if (TakeOption(args, "--quality", value)) quality = ParseInt("--quality", value, 1, 100);
  if (TakeOption(args, "--orientation", value)) request.orientation = ParseInt("--orientation", value, 1, 8);
  if (!TakeOption(args, "--out", out)) throw UsageError{"--out is required"};
  TakeAdjustment(args, request.adjustment);
  if (args.size() != 1) throw UsageError{args.empty() ? "no file given" : "one file at a time: " + args[1]};
  request.file_name = args[0];

  const std::string lowerOut = AsciiLowered(out);
  const bool bmp = lowerOut.ends_with(".bmp");
  if (!bmp && !lowerOut.ends_with(".jpg") && !lowerOut.ends_with(".jpeg"))
    throw UsageError{"--out must end in .jpg, .jpeg or .bmp"};
  SetUpFileKinds();
  request.kind = KindOf(request.file_name);
  if (request.kind < 0) {
    std::fprintf(stderr, "plb render: %s: not a picture or movie type the catalog knows\n", request.file_name.c_str());
    return 1;
  }
  const Bitmap picture = RenderPicture(request);
  WriteFileAtomically(out, bmp ? EncodeBmp(picture) : EncodeJpeg(picture, quality));
  std::printf("%s: %dx%d\n", out.c_str(), picture.Width(), picture.Height());
  return 0;
}

}  // namespace

PLB_SUBCOMMAND("render",
               "FILE --size WxH [--method 0-7] --out OUT.jpg|OUT.bmp [--quality Q] [--orientation 1-8] "
               "[--brightness N] [--contrast N] [--gamma N] [--red N] [--green N] [--blue N] [--filter CODE]...",
               RunRender);

}  // namespace plb::cli
