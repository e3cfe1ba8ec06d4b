// The main() of every test program: a fresh environment around each test.
#include <gtest/gtest.h>

#include "support/test_env.h"

namespace {

class FreshEnvironmentListener : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { plb::test::EnterFreshEnvironment(); }
  void OnTestEnd(const testing::TestInfo&) override { plb::test::LeaveEnvironment(); }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new FreshEnvironmentListener);
  const int code = RUN_ALL_TESTS();
  plb::test::RunProgramEndHook(code);
  return code;
}
