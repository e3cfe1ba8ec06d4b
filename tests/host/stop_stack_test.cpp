#include "host/stop_stack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/log_file.h"
#include "host/relaunch.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

TEST(StopStack, RunsArmedStepsInReverseEvenWhenOneFails) {
  std::vector<std::string> ran;
  TStopStack stack;
  stack.Arm("log", [&] { ran.push_back("log"); });
  stack.Arm("engine", [&] {
    ran.push_back("engine");
    throw std::runtime_error("save failed");
  });
  stack.Arm("running lock", [&] { ran.push_back("running lock"); });
  EXPECT_THROW(stack.RunAll(), std::runtime_error);
  EXPECT_EQ(ran, (std::vector<std::string>{"running lock", "engine", "log"}));
  EXPECT_TRUE(stack.Empty());
  stack.RunAll();  // nothing runs twice
  EXPECT_EQ(ran.size(), 3u);
}

TEST(StopStack, UnrunStepsRunWhenTheStackGoesAwayAndItsFailureIsLogged) {
  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder, "stop.log");
  int ran = 0;
  {
    TStopStack stack;
    stack.Arm("a", [&] { ++ran; });
    stack.Arm("b", [&] { throw std::runtime_error("the engine could not be saved"); });
  }
  EXPECT_EQ(ran, 1);
  CloseLog();
  EXPECT_NE(test::ReadFile(folder + "/stop.log")
                .find("TStopStack.RunAll is Failed. ( Exception Raised ( the engine could not be saved ) )"),
            std::string::npos);
}

TEST(Relaunch, PointsLocalParameterFilesAtTheRebootCopy) {
  struct Case {
    std::vector<std::string> args;
    std::string copy;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{"sessionid=abc", "mode=open"}, "/run/x.xml", {"sessionid=abc", "mode=open"}},
      {{"localparamfile=/old/p.xml"}, "/run/RebootPLBParam.xml", {"localparamfile=/run/RebootPLBParam.xml"}},
      {{"LocalParamFile=/old/p.xml", "a b \"c\""}, "", {"LocalParamFile=", "a b \"c\""}},
      {{"localparamfil=/x"}, "/y", {"localparamfil=/x"}},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildRelaunchArguments(c.args, c.copy), c.expected);
}

}  // namespace
}  // namespace plb
