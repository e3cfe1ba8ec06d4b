#pragma once
// A shared library opened while the program runs, for the heavy libraries that only some work
// needs (movie decoding, HTTP): a program that never asks for them never pays for loading them.
#include <string>

#include "platform/error.h"

namespace plb::platform {

// The library is missing or lacks a function the program calls.
PLB_DECLARE_ERROR(ESharedLibraryError, Error);

class SharedLibrary {
 public:
  // Opens the library by its file name (its soname, e.g. "libcurl.so.4"), with every symbol bound
  // now, so that a library of the wrong make fails here and not in the middle of some work.
  // Raises ESharedLibraryError naming the library and the loader's reason when it cannot be opened.
  explicit SharedLibrary(std::string fileName);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  const std::string& FileName() const { return fileName_; }

  // The function of this name; raises ESharedLibraryError naming library and function when the
  // library has none.
  template <typename Function>
  void Bind(Function*& function, const char* name) const {
    function = reinterpret_cast<Function*>(Symbol(name));
  }
  void* Symbol(const char* name) const;

 private:
  std::string fileName_;
  void* handle_ = nullptr;
};

}  // namespace plb::platform
