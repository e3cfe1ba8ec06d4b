#include "output/print/pdf_document.h"

#include <cstdio>

#include "images/codec/jpeg_codec.h"
#include "images/scale/resize.h"

namespace plb {

namespace {

// Objects every file has.
constexpr int kCatalog = 1, kPages = 2, kFont = 3, kCidFont = 4, kFontDescriptor = 5;

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}

// The code points of UTF-8 text; invalid bytes become U+FFFD.
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto n = static_cast<unsigned char>(text[i + k]);
      if ((n & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (n & 0x3F);
    }
    out.push_back(ok ? cp : 0xFFFD);
    i += ok ? static_cast<size_t>(extra) + 1 : 1;
  }
  return out;
}

// Width in ems as the font's half-width Latin and full-width other glyphs give it.
double EmWidth(const std::vector<uint32_t>& cps) {
  double w = 0;
  for (uint32_t cp : cps) w += (cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F)) ? 0.5 : 1.0;
  return w;
}

// UTF-16BE in hexadecimal, as the UCS-2 CMap reads it.
std::string Utf16Hex(const std::vector<uint32_t>& cps) {
  std::string hex;
  char unit[8];
  for (uint32_t cp : cps) {
    if (cp < 0x20) continue;
    if (cp > 0xFFFF) cp = 0xFFFD;  // the CMap covers the basic plane only
    std::snprintf(unit, sizeof unit, "%04X", cp);
    hex += unit;
  }
  return hex;
}

}  // namespace

class TPdfDocument : public IPrintDocument {
 public:
  explicit TPdfDocument(TPdfFile& file) : file_(file) {}
  ~TPdfDocument() override = default;

  void NewPage() override { EndPage(); }

  void FillRect(const TRect& r, uint32_t rgb) override {
    content_ += Number(((rgb >> 16) & 0xFF) / 255.0) + " " + Number(((rgb >> 8) & 0xFF) / 255.0) + " " +
                Number((rgb & 0xFF) / 255.0) + " rg " + Box(r) + " re f\n";
  }

  void DrawPicture(const Bitmap& picture, const TRect& source, const TRect& target) override {
    Bitmap part;
    const Bitmap* drawn = &picture;
    if (source != TRect{0, 0, picture.Width(), picture.Height()}) {
      part = picture;
      CropBitmap(part, source);
      drawn = &part;
    }
    const std::string jpeg = EncodeJpeg(*drawn, file_.quality_);
    const int image = file_.NewObject();
    file_.WriteStreamObject(image,
                            "/Type /XObject /Subtype /Image /Width " + std::to_string(drawn->Width()) + " /Height " +
                                std::to_string(drawn->Height()) +
                                " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                            jpeg);
    images_.push_back(image);
    const double k = Scale();
    content_ += "q " + Number(target.Width() * k) + " 0 0 " + Number(target.Height() * k) + " " +
                Number(target.left * k) + " " + Number(PageHeight() - target.bottom * k) + " cm /Im" +
                std::to_string(image) + " Do Q\n";
  }

  int32_t TextHeight(const std::vector<std::string>& lines, int32_t pointSize) override {
    return static_cast<int32_t>(lines.size()) * LineHeight(pointSize);
  }

  void DrawTextLines(const TRect& rect, const std::vector<std::string>& lines, int32_t pointSize) override {
    const double k = Scale();
    const int32_t lineHeight = LineHeight(pointSize);
    int32_t top = rect.top;
    for (const std::string& line : lines) {
      const std::vector<uint32_t> cps = CodePoints(line);
      const double widthPt = EmWidth(cps) * pointSize;
      const double x = (rect.left + rect.right) / 2.0 * k - widthPt / 2;
      // The baseline sits a fifth of the line above the line's bottom.
      const double y = PageHeight() - (top + lineHeight) * k + pointSize * 0.2;
      content_ += "0 0 0 rg BT /F1 " + std::to_string(pointSize) + " Tf " + Number(x) + " " + Number(y) +
                  " Td <" + Utf16Hex(cps) + "> Tj ET\n";
      top += lineHeight;
    }
  }

  void Finish() override {
    EndPage();
    finished_ = true;
  }

  void Abort() override {
    content_.clear();
    images_.clear();
    aborted_ = true;
  }

 private:
  double Scale() const { return 72.0 / file_.info_.resolutionX; }
  double PageHeight() const { return file_.info_.physicalHeight * 72.0 / file_.info_.resolutionY; }
  int32_t LineHeight(int32_t pointSize) const {
    return static_cast<int32_t>(pointSize * 1.25 * file_.info_.resolutionY / 72.0 + 0.5);
  }
  std::string Box(const TRect& r) const {
    const double k = Scale();
    return Number(r.left * k) + " " + Number(PageHeight() - r.bottom * k) + " " + Number(r.Width() * k) + " " +
           Number(r.Height() * k);
  }
  void EndPage() {
    if (aborted_ || finished_) return;
    file_.EndPage(content_, images_);
    content_.clear();
    images_.clear();
  }

  TPdfFile& file_;
  std::string content_;
  std::vector<int> images_;
  bool finished_ = false;
  bool aborted_ = false;
};

TPdfFile::TPdfFile(const std::string& path, const TPrinterInfoRec& info, int jpegQuality)
    : info_(info), quality_(jpegQuality), writer_(path) {
  offsets_.resize(kFontDescriptor);
  Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

TPdfFile::~TPdfFile() = default;

std::unique_ptr<IPrintDocument> TPdfFile::OpenDocument() { return std::make_unique<TPdfDocument>(*this); }

int TPdfFile::NewObject() {
  offsets_.push_back(0);
  return static_cast<int>(offsets_.size());
}

void TPdfFile::Write(const std::string& text) {
  writer_.Write(text);
  written_ += text.size();
}

void TPdfFile::BeginObject(int number) {
  offsets_[static_cast<size_t>(number) - 1] = written_;
  Write(std::to_string(number) + " 0 obj\n");
}

void TPdfFile::WriteStreamObject(int number, const std::string& dictionary, const std::string& data) {
  BeginObject(number);
  Write("<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n");
  Write(data);
  Write("\nendstream\nendobj\n");
}

void TPdfFile::EndPage(const std::string& content, const std::vector<int>& images) {
  const int stream = NewObject();
  WriteStreamObject(stream, "", content);
  const int page = NewObject();
  std::string xobjects;
  for (int image : images) xobjects += "/Im" + std::to_string(image) + " " + std::to_string(image) + " 0 R ";
  BeginObject(page);
  Write("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(info_.physicalWidth * 72.0 / info_.resolutionX) + " " +
        Number(info_.physicalHeight * 72.0 / info_.resolutionY) + "] /Resources << /Font << /F1 3 0 R >> /XObject << " +
        xobjects + ">> >> /Contents " + std::to_string(stream) + " 0 R >>\nendobj\n");
  pages_.push_back(page);
}

bool TPdfFile::Close() {
  if (closed_) return !pages_.empty();
  closed_ = true;
  if (pages_.empty()) return false;  // the staging file goes with the writer
  std::string kids;
  for (int page : pages_) kids += std::to_string(page) + " 0 R ";
  BeginObject(kPages);
  Write("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages_.size()) + " >>\nendobj\n");
  BeginObject(kCatalog);
  Write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  BeginObject(kFont);
  Write("<< /Type /Font /Subtype /Type0 /BaseFont /HeiseiKakuGo-W5 /Encoding /UniJIS-UCS2-HW-H /DescendantFonts [4 0 R] >>\nendobj\n");
  BeginObject(kCidFont);
  Write("<< /Type /Font /Subtype /CIDFontType0 /BaseFont /HeiseiKakuGo-W5 /CIDSystemInfo << /Registry (Adobe) "
        "/Ordering (Japan1) /Supplement 2 >> /FontDescriptor 5 0 R /DW 1000 /W [231 389 500 631 631 500] >>\nendobj\n");
  BeginObject(kFontDescriptor);
  Write("<< /Type /FontDescriptor /FontName /HeiseiKakuGo-W5 /Flags 4 /FontBBox [-92 -250 1010 922] /ItalicAngle 0 "
        "/Ascent 752 /Descent -221 /CapHeight 737 /StemV 114 >>\nendobj\n");
  const uint64_t xref = written_;
  std::string table = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
  char entry[32];
  for (uint64_t offset : offsets_) {
    std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offset));
    table += entry;
  }
  Write(table);
  Write("trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
        std::to_string(xref) + "\n%%EOF\n");
  writer_.Commit();
  return true;
}

}  // namespace plb
