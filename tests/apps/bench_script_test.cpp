// The window's benchmark script (PLB_BENCH_SCRIPT, PLB_BENCH_REPORT) on the real program offscreen:
// a tiny catalog, the steps a benchmark runs, and the report each step leaves. No time is judged
// here; the benchmark in bench/ does that.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "browser_process.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

class BenchScriptTest : public test::BrowserProcess {
 protected:
  void SetUp() override {
    BrowserProcess::SetUp();
    if (IsSkipped()) return;
    // Real camera photos, more than one screen of them at the grid's smallest size.
    photos_ = test::TestRoot() + "/photos";
    fs::create_directories(photos_);
    int n = 0;
    for (const auto& e : fs::directory_iterator(test::TestDataDir() + "/exif-samples/jpg/orientation")) {
      if (e.path().extension() != ".jpg") continue;
      for (int copy = 0; copy < 8; ++copy) fs::copy_file(e.path(), photos_ + "/" + std::to_string(n++) + ".jpg");
    }
    const test::CommandRun add = test::RunPlb("add '" + photos_ + "'");
    ASSERT_EQ(add.status, 0) << add.out;
    script_ = test::TestRoot() + "/bench_script";
    report_ = test::TestRoot() + "/bench_report";
  }
  void TearDown() override {
    unsetenv("PLB_BENCH_SCRIPT");
    unsetenv("PLB_BENCH_REPORT");
  }

  // The report's lines, each split into its words.
  std::vector<std::vector<std::string>> Report() const {
    std::vector<std::vector<std::string>> lines;
    std::istringstream text(test::ReadFile(report_));
    for (std::string line; std::getline(text, line);) {
      std::istringstream words(line);
      lines.emplace_back();
      for (std::string w; words >> w;) lines.back().push_back(w);
    }
    return lines;
  }

  std::string photos_, script_, report_;
};

TEST_F(BenchScriptTest, TheStepsRunInOrderAndEachLeavesItsLine) {
  test::WriteFile(script_, "# the benchmark's walk\nopen " + photos_ + "\nwait 10\nscroll-end\nrss\nquit\n");
  setenv("PLB_BENCH_SCRIPT", script_.c_str(), 1);
  setenv("PLB_BENCH_REPORT", report_.c_str(), 1);
  ASSERT_EQ(WaitExit(Start({}), std::chrono::seconds(60)), 0) << "the quit step did not end the program";

  // Past the paints on the way to each first screen, the events come in the script's order.
  std::vector<std::string> events;
  for (const auto& line : Report()) {
    ASSERT_FALSE(line.empty());
    if (line[0] == "paint") {
      ASSERT_EQ(line.size(), 3u);
      const size_t slash = line[2].find('/');
      ASSERT_NE(slash, std::string::npos) << line[2];
      EXPECT_LE(std::stoi(line[2].substr(0, slash)), std::stoi(line[2].substr(slash + 1)));
      continue;
    }
    events.push_back(line[0]);
    EXPECT_GE(std::stol(line.at(1)), 0) << line[0] << ": milliseconds since the start";
    if (line[0] == "folder-opened") {
      EXPECT_EQ(line.at(2), photos_);
    } else if (line[0] == "folder-first-screen") {
      EXPECT_GE(std::stol(line.at(2)), 0);
    } else if (line[0] == "scrolled-end") {
      EXPECT_GE(std::stoi(line.at(2)), 1) << "the photos fill more than one screen";
    } else if (line[0] == "rss") {
      EXPECT_GT(std::stol(line.at(2)), 0) << "resident kB";
    }
  }
  EXPECT_EQ(events, (std::vector<std::string>{"start-folder-shown", "first-screen-drawn", "folder-opened", "folder-first-screen",
                                              "scrolled-end", "rss"}));
}

TEST_F(BenchScriptTest, AFolderOutsideTheCatalogAndAnUnknownStepAreReportedAndSkipped) {
  test::WriteFile(script_, "open /nowhere/at/all\njump\nquit\n");
  setenv("PLB_BENCH_SCRIPT", script_.c_str(), 1);
  setenv("PLB_BENCH_REPORT", report_.c_str(), 1);
  ASSERT_EQ(WaitExit(Start({}), std::chrono::seconds(60)), 0);
  const std::string report = test::ReadFile(report_);
  EXPECT_NE(report.find("folder-missing /nowhere/at/all\n"), std::string::npos) << report;
  EXPECT_NE(report.find("unknown-step jump\n"), std::string::npos) << report;
}

TEST_F(BenchScriptTest, WithoutAScriptTheWindowRunsAsEverAndWritesNoReport) {
  setenv("PLB_BENCH_REPORT", report_.c_str(), 1);  // a report alone starts nothing
  const pid_t window = Start({});
  ASSERT_TRUE(WaitForWindow());
  EXPECT_EQ(RequestClose(4), platform::HandOffStatus::kAnswered);
  EXPECT_EQ(WaitExit(window), 0);
  EXPECT_FALSE(fs::exists(report_));
}

}  // namespace
}  // namespace plb
