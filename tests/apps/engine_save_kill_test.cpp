// A catalog command killed with SIGKILL at random moments, many times over, its save slowed so that
// many kills land inside it: every following start reads a whole catalog, the previous one or
// the new one, and nothing of the last completed save is lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"

extern char** environ;

namespace plb {
namespace {

namespace fs = std::filesystem;
using TagMap = std::map<std::string, std::vector<std::string>>;

pid_t SpawnPlb(const std::vector<std::string>& args) {
  const std::string program = test::BinaryDir() + "/bin/plb";
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

// The tags as a fresh start reads them; a partial read fails the test.
TagMap ReadTags() {
  const test::CommandRun run = test::RunCommand(test::BinaryDir() + "/bin/plb tags --json 2>&1");
  EXPECT_EQ(run.status, 0) << run.out;
  TagMap tags;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] != '{') {
      ADD_FAILURE() << "not a whole catalog: " << run.out;
      continue;
    }
    const nlohmann::json row = nlohmann::json::parse(line);
    tags[row["tag"].get<std::string>()] = row["items"].get<std::vector<std::string>>();
  }
  return tags;
}

TEST(EngineSaveKill, EveryStartAfterAKilledSaveReadsTheOldOrTheNewCatalogWhole) {
  const std::string pics = test::TestRoot() + "/pics";
  fs::create_directories(pics + "/sub");
  std::vector<std::string> photos;
  for (int i = 0; i < 12; ++i) {
    std::ostringstream path;
    path << pics << (i % 2 ? "/sub/" : "/") << 'p' << i << ".jpg";
    photos.push_back(path.str());
    std::ofstream(photos.back()) << "not a picture";
  }
  ASSERT_EQ(test::RunCommand(test::BinaryDir() + "/bin/plb add " + pics + " >/dev/null 2>&1").status, 0);
  ::setenv("PLB_TEST_SAVE_PAUSE_US", "3000", 1);

  // How long one whole run takes, to spread the kills over it.
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  waitpid(SpawnPlb({"tag", "base", photos[0]}), &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const auto runTime = std::chrono::steady_clock::now() - start;
  const int runMicros = static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(runTime).count());

  TagMap committed{{"base", {photos[0]}}};
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay(0, runMicros * 11 / 10);
  int killed = 0;
  for (int i = 0; i < 30; ++i) {
    std::ostringstream trace, tagName;
    trace << "seed " << seed << ", run " << i;
    tagName << 't' << i;
    SCOPED_TRACE(trace.str());
    const std::string tag = tagName.str();
    const std::string& photo = photos[static_cast<size_t>(i) % photos.size()];
    const pid_t pid = SpawnPlb({"tag", tag, photo});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    const bool completed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    killed += !completed;
    if (completed) committed[tag] = {photo};

    TagMap read = ReadTags();
    auto it = read.find(tag);
    if (!completed && it != read.end()) {
      // Killed after its files were in place: the new catalog, now the one to keep.
      EXPECT_EQ(it->second, std::vector<std::string>{photo});
      committed[tag] = it->second;
    }
    ASSERT_EQ(read, committed);
  }
  EXPECT_GT(killed, 8) << "too few kills landed before the end of a run";

  const test::CommandRun calendar = test::RunCommand(test::BinaryDir() + "/bin/plb calendar --json 2>&1");
  int items = 0;
  for (const nlohmann::json& row : test::JsonLines(calendar.out)) items += row["items"].get<int>();
  EXPECT_EQ(items, static_cast<int>(photos.size())) << calendar.out;
  for (const auto& entry : fs::directory_iterator(test::TestRoot() + "/data/Morvane/PlumoraBrowser/Data")) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(name.find(".damaged-"), std::string::npos) << name;
    EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
  }
  ::unsetenv("PLB_TEST_SAVE_PAUSE_US");
}

TEST(EngineSaveKill, SigtermDuringACommandEndsItOnlyAfterTheCatalogIsSaved) {
  const std::string photo = test::TestRoot() + "/pics/a.jpg";
  fs::create_directories(fs::path(photo).parent_path());
  std::ofstream(photo) << "not a picture";
  ASSERT_EQ(test::RunCommand(test::BinaryDir() + "/bin/plb add " + fs::path(photo).parent_path().string() +
                             " >/dev/null 2>&1")
                .status,
            0);
  // Every step of the save takes a tenth of a second: the signal lands in the middle of it.
  ::setenv("PLB_TEST_SAVE_PAUSE_US", "100000", 1);
  for (const int signal : {SIGTERM, SIGINT}) {
    const std::string tag = signal == SIGTERM ? "term" : "int";
    const pid_t pid = SpawnPlb({"tag", tag, photo});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
  }
  ::unsetenv("PLB_TEST_SAVE_PAUSE_US");
  EXPECT_EQ(ReadTags(), (TagMap{{"int", {photo}}, {"term", {photo}}}));
}

}  // namespace
}  // namespace plb
