#pragma once
// A multipart/form-data body: text parts and file parts in the order they were added, with the
// exact part headers the service parses. A file part is read from disk while the body is sent.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plb {

class TMultipartForm {
 public:
  // A random boundary that cannot be mistaken for a part.
  TMultipartForm();
  explicit TMultipartForm(std::string boundary);

  void AddField(std::string_view name, std::string_view value);
  // A file part whose bytes are read from path when the body is sent; filename is what the part
  // header names (escaped so that it cannot break the header).
  void AddFile(std::string_view name, const std::string& path, std::string_view filename,
               std::string_view content_type);
  // A file part whose bytes are given.
  void AddFileBytes(std::string_view name, std::string_view filename, std::string_view content_type, std::string bytes);

  const std::string& Boundary() const { return boundary_; }
  std::string ContentType() const { return "multipart/form-data; boundary=" + boundary_; }

  // The pieces of the whole body, the closing line included: bytes, or a path to read.
  struct Piece {
    std::string bytes;
    std::string path;  // not empty: the piece is this file's content
  };
  std::vector<Piece> Pieces() const;

  // Total size; throws EPlumoraApiError when a file cannot be read.
  uint64_t Size() const;
  // The first max bytes of the body (for the diagnostic log).
  std::string Head(size_t max) const;
  // The whole body in memory (small bodies and tests).
  std::string Bytes() const;

  // True when the boundary occurs inside a part's given bytes.
  bool BoundaryOccursInBytes() const;
  void SetBoundary(std::string boundary) { boundary_ = std::move(boundary); }

 private:
  struct Part {
    std::string header_tail;  // after "--" boundary CR LF
    std::string bytes;
    std::string path;
  };
  std::vector<Part> parts_;
  std::string boundary_;
};

// The content type sent for a file by its extension ("image/jpeg" for ".jpg").
std::string ContentTypeForFile(std::string_view path);

// The boundary of the bodies the client builds itself: eight hyphens and the local time as
// month, day, two-digit year, seconds, minutes, hours and milliseconds.
std::string TimeBoundary();

}  // namespace plb
