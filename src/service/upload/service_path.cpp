#include "service/upload/service_path.h"

#include <cstdio>

namespace plb {

std::string ServicePathComponent(std::string_view text) {
  if (text.empty() || text == "." || text == "..") return "Unknown";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == '%') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace plb
