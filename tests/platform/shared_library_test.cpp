// Libraries opened while the program runs: a function of a present library is called through
// its binding, and a missing library or function is named in the error, never a crash later.
#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace plb::platform {
namespace {

TEST(SharedLibrary, BindsAFunctionThatWorks) {
  SharedLibrary libc("libc.so.6");
  size_t (*length)(const char*) = nullptr;
  libc.Bind(length, "strlen");
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(length("plumora"), 7u);
}

TEST(SharedLibrary, AMissingLibraryOrFunctionIsNamedInTheError) {
  struct Case {
    const char* library;
    const char* function;  // null: the library itself fails
    const char* expected;
  };
  const Case cases[] = {
      {"libplumora-absent.so.1", nullptr, "Cannot load libplumora-absent.so.1: "},
      {"libc.so.6", "plumora_absent_function", "libc.so.6 has no plumora_absent_function: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    try {
      SharedLibrary library(c.library);
      ASSERT_NE(c.function, nullptr) << "the library loaded";
      void (*function)() = nullptr;
      library.Bind(function, c.function);
      FAIL() << "the function was found";
    } catch (const ESharedLibraryError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.expected, 0), 0u) << e.what();
      EXPECT_GT(std::strlen(e.what()), std::strlen(c.expected)) << "the loader's reason follows";
    }
  }
}

}  // namespace
}  // namespace plb::platform
