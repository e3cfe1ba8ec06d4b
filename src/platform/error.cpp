#include "platform/error.h"

#include <new>

namespace plb {

std::string ClassNameOf(const std::exception& e) {
  if (auto* ours = dynamic_cast<const Error*>(&e)) return ours->ClassName();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
  return "Exception";
}

std::string MessageOf(const std::exception& e) {
  if (auto* ours = dynamic_cast<const Error*>(&e)) return ours->Message();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "Out of memory";
  return e.what();
}

}  // namespace plb
