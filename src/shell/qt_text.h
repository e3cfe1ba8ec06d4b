#pragma once
// The engine keeps its texts as UTF-8; they become Qt texts here, in one way.
#include <QString>
#include <string>

namespace plb::shell {

inline QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace plb::shell
