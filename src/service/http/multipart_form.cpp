#include "service/http/multipart_form.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>

#include "service/api/service_errors.h"

namespace plb {
namespace {

// A quote, CR or LF inside a file name would end the header or start a new one.
std::string EscapeHeaderValue(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '"' || c == '\r' || c == '\n' || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string RandomHex(size_t digits) {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < digits; ++i) out.push_back(hex[engine() % 16]);
  return out;
}

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) throw EPlumoraApiError("File not Exists : " + path);
  return static_cast<uint64_t>(info.st_size);
}

std::string ReadHead(const std::string& path, size_t max) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  char buffer[65536];
  while (in && bytes.size() < max) {
    const size_t wanted = std::min(sizeof buffer, max - bytes.size());
    in.read(buffer, static_cast<std::streamsize>(wanted));
    bytes.append(buffer, static_cast<size_t>(in.gcount()));
  }
  return bytes;
}

}  // namespace

TMultipartForm::TMultipartForm() : boundary_("--------PlbFormBoundary" + RandomHex(16)) {}

TMultipartForm::TMultipartForm(std::string boundary) : boundary_(std::move(boundary)) {}

void TMultipartForm::AddField(std::string_view name, std::string_view value) {
  parts_.push_back({"Content-Disposition: form-data; name=\"" + EscapeHeaderValue(name) + "\"\r\n\r\n",
                    std::string(value) + "\r\n", ""});
}

void TMultipartForm::AddFile(std::string_view name, const std::string& path, std::string_view filename,
                             std::string_view content_type) {
  parts_.push_back({"Content-Disposition: form-data; name=\"" + EscapeHeaderValue(name) + "\"; filename=\"" +
                        EscapeHeaderValue(filename) + "\"\r\nContent-Type: " + std::string(content_type) + "\r\n\r\n",
                    "", path});
}

void TMultipartForm::AddFileBytes(std::string_view name, std::string_view filename, std::string_view content_type,
                                  std::string bytes) {
  parts_.push_back({"Content-Disposition: form-data; name=\"" + EscapeHeaderValue(name) + "\"; filename=\"" +
                        EscapeHeaderValue(filename) + "\"\r\nContent-Type: " + std::string(content_type) + "\r\n\r\n",
                    std::move(bytes) + "\r\n", ""});
}

std::vector<TMultipartForm::Piece> TMultipartForm::Pieces() const {
  std::vector<Piece> pieces;
  std::string pending;
  for (const Part& part : parts_) {
    pending += "--" + boundary_ + "\r\n" + part.header_tail;
    if (part.path.empty()) {
      pending += part.bytes;
      continue;
    }
    pieces.push_back({std::move(pending), ""});
    pending.clear();
    pieces.push_back({"", part.path});
    pending = "\r\n";
  }
  pending += "--" + boundary_ + "--\r\n";
  pieces.push_back({std::move(pending), ""});
  return pieces;
}

uint64_t TMultipartForm::Size() const {
  uint64_t size = 0;
  for (const Piece& piece : Pieces()) size += piece.path.empty() ? piece.bytes.size() : FileSize(piece.path);
  return size;
}

std::string TMultipartForm::Head(size_t max) const {
  std::string head;
  for (const Piece& piece : Pieces()) {
    if (head.size() >= max) break;
    head += piece.path.empty() ? piece.bytes.substr(0, max - head.size()) : ReadHead(piece.path, max - head.size());
  }
  return head;
}

std::string TMultipartForm::Bytes() const {
  return Head(static_cast<size_t>(-1) / 2);
}

bool TMultipartForm::BoundaryOccursInBytes() const {
  for (const Part& part : parts_)
    if (part.bytes.find(boundary_) != std::string::npos) return true;
  return false;
}

std::string ContentTypeForFile(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return "application/octet-stream";
  std::string ext;
  for (char c : path.substr(dot + 1)) ext.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "xml") return "text/xml";
  if (ext == "mp3") return "audio/mpeg";
  if (ext == "wav") return "audio/wav";
  if (ext == "m4a") return "audio/mp4";
  if (ext == "wma") return "audio/x-ms-wma";
  return "application/octet-stream";
}

std::string TimeBoundary() {
  struct timeval now {};
  gettimeofday(&now, nullptr);
  struct tm local {};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  char text[96];
  std::snprintf(text, sizeof text, "--------%02d%02d%02d%02d%02d%02d%03d", local.tm_mon + 1, local.tm_mday,
                local.tm_year % 100, local.tm_sec, local.tm_min, local.tm_hour, static_cast<int>(now.tv_usec / 1000));
  return text;
}

}  // namespace plb
