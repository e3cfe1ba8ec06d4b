// What plb loads at start: the movie decoders and the HTTP stack are a hundred shared objects
// that cost every command tens of milliseconds, so they are loaded by the work that needs them.
#include <gtest/gtest.h>

#include <string>

#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

TEST(PlbStart, NeitherMovieNorHttpLibrariesAreLoadedAtStart) {
  // The dynamic loader lists what it would load and stops (what ldd shows).
  const test::CommandRun run =
      test::RunCommand("LD_TRACE_LOADED_OBJECTS=1 '" + test::BinaryDir() + "/bin/plb' version 2>&1");
  ASSERT_EQ(run.status, 0) << run.out;
  ASSERT_NE(run.out.find("libjpeg"), std::string::npos) << "no list of libraries:\n" << run.out;
  for (const char* heavy : {"libavformat", "libavcodec", "libswscale", "libavutil", "libcurl", "libssl", "libcrypto"})
    EXPECT_EQ(run.out.find(heavy), std::string::npos) << heavy << " is loaded at start:\n" << run.out;
}

}  // namespace
}  // namespace plb
