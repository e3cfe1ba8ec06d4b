#include "platform/shared_library.h"

#include <dlfcn.h>

namespace plb::platform {

namespace {
std::string LoaderReason() {
  const char* reason = ::dlerror();
  return reason != nullptr ? reason : "unknown reason";
}
}  // namespace

SharedLibrary::SharedLibrary(std::string fileName) : fileName_(std::move(fileName)) {
  // RTLD_NODELETE: the libraries' own threads and exit handlers may outlive this object, and
  // leak reports at exit still need their code mapped to name a stack.
  handle_ = ::dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) throw ESharedLibraryError("Cannot load " + fileName_ + ": " + LoaderReason());
}

SharedLibrary::~SharedLibrary() { ::dlclose(handle_); }

void* SharedLibrary::Symbol(const char* name) const {
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (address == nullptr) throw ESharedLibraryError(fileName_ + " has no " + name + ": " + LoaderReason());
  return address;
}

}  // namespace plb::platform
