// plb render: the picture of a photo as the catalog draws it (upright, with the colour
// adjustment and effect filters given), fitted into a box and written as JPEG or BMP.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/file_kinds.h"
#include "host/ascii_case.h"
#include "images/codec/bmp_file.h"
#include "images/codec/jpeg_codec.h"
#include "images/scale/picture_render.h"
#include "images/scale/resize.h"
#include "number_options.h"
#include "platform/atomic_file.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  TRenderRequest request;
  int quality = 90;
  std::string out;
  std::vector<std::string> filters;
};

void ParseBox(const std::string& text, TRenderRequest& request) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError{"--size must be WIDTHxHEIGHT"};
  request.max_width = WholeNumber("--size", text.substr(0, x), 1, 65535);
  request.max_height = WholeNumber("--size", text.substr(x + 1), 1, 65535);
}

// The colour adjustment is enabled once any part of it is given. The record is packed, so its
// fields are set by value, never through references.
void AddAdjustmentOptions(CLI::App& app, const std::shared_ptr<Options>& o) {
  struct Part {
    const char* option;
    int low, high;
    void (*set)(TColorAdjustment& a, int v);
  };
  static const Part kParts[] = {
      {"--brightness", -100, 100, [](TColorAdjustment& a, int v) { a.meido = v; }},
      {"--contrast", -100, 100, [](TColorAdjustment& a, int v) { a.cont = v; }},
      {"--gamma", 0, 1000, [](TColorAdjustment& a, int v) { a.gamma = v; }},
      {"--red", -100, 100, [](TColorAdjustment& a, int v) { a.red = v; }},
      {"--green", -100, 100, [](TColorAdjustment& a, int v) { a.green = v; }},
      {"--blue", -100, 100, [](TColorAdjustment& a, int v) { a.blue = v; }},
  };
  for (const Part& part : kParts) {
    AddWholeNumberOption(
        app, part.option, part.low, part.high,
        [o, set = part.set](int v) {
          set(o->request.adjustment, v);
          o->request.adjustment.enabled = 1;
        },
        "colour adjustment");
  }
  app.add_option("--filter", o->filters, "an effect filter code (0 to 40); up to three, in order")
      ->allow_extra_args(false)
      ->type_name("CODE");
}

// The filters given, up to three.
void ApplyFilters(const std::vector<std::string>& filters, TColorAdjustment& a) {
  if (filters.size() > 3) throw UsageError{"at most three --filter"};
  uint8_t codes[3] = {0, 0, 0};
  for (size_t i = 0; i < filters.size(); ++i) {
    codes[i] = static_cast<uint8_t>(WholeNumber("--filter", filters[i], 0, 40));
    a.enabled = 1;
  }
  a.filter1 = codes[0];
  a.filter2 = codes[1];
  a.filter3 = codes[2];
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

int RunRender(Options& o) {
  TRenderRequest& request = o.request;
  if (request.file_name.empty()) throw UsageError{"no file given"};
  ApplyFilters(o.filters, request.adjustment);
  const std::string lowerOut = AsciiLowered(o.out);
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
  WriteFileAtomically(o.out, bmp ? EncodeBmp(picture) : EncodeJpeg(picture, o.quality));
  std::printf("%s: %dx%d\n", o.out.c_str(), picture.Width(), picture.Height());
  return 0;
}

Runner DefineRender(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FILE", o->request.file_name, "a picture or movie file");
  app.add_option_function<std::string>(
         "--size", [o](const std::string& text) { ParseBox(text, o->request); }, "the box to fit into")
      ->type_name("WxH")
      ->required();
  app.add_option("--out", o->out, "the picture written, JPEG or BMP by its ending")->type_name("OUT")->required();
  AddWholeNumberOption(app, "--method", 0, 7, [o](int v) { o->request.method = v; }, "resampling method");
  AddWholeNumberOption(app, "--quality", 1, 100, [o](int v) { o->quality = v; }, "JPEG quality");
  AddWholeNumberOption(app, "--orientation", 1, 8, [o](int v) { o->request.orientation = v; },
                       "EXIF orientation instead of the file's");
  AddAdjustmentOptions(app, o);
  return [o] { return RunRender(*o); };
}

}  // namespace

PLB_SUBCOMMAND("render",
               "FILE --size WxH [--method 0-7] --out OUT.jpg|OUT.bmp [--quality Q] [--orientation 1-8] "
               "[--brightness N] [--contrast N] [--gamma N] [--red N] [--green N] [--blue N] [--filter CODE]...",
               "a photo as the catalog draws it, fitted into a box, as JPEG or BMP", DefineRender);

}  // namespace plb::cli
