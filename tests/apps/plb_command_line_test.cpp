// How plb reads its command line and talks back: help and usage for every command, the exit
// codes of usage faults, JSON that stays valid for any file name, and a progress line only where
// a person watches.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

const char* const kCommands[] = {"add",    "api",  "calendar", "collage", "command", "config", "cp",     "exif",
                                 "export-calendar", "logs", "ls", "mkdir", "mv", "print", "recover", "remove", "rename",
                                 "render", "rm", "save", "scan",   "set-date", "tag", "tags",   "thumb", "thumbs",
                                 "untag",   "update", "upload", "version", "volumes"};

std::string Q(const std::string& path) {
  return "'" + path + "'";
}

// Standard error alone.
test::CommandRun PlbStderr(const std::string& args) {
  return test::RunCommand(test::BinaryDir() + "/bin/plb " + args + " 2>&1 >/dev/null");
}

std::string Sample(const std::string& name) {
  return test::TestDataDir() + "/exif-samples/jpg/" + name;
}

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

TEST(PlbCommandLine, EveryCommandHasHelpAndTheListShowsThemAll) {
  for (const char* name : kCommands) {
    SCOPED_TRACE(name);
    const test::CommandRun help = test::RunPlbStdout(std::string(name) + " --help");
    EXPECT_EQ(help.status, 0) << help.out;
    EXPECT_NE(help.out.find(std::string("usage: plb ") + name), std::string::npos) << help.out;
  }
  // The command list of "plb --help" is the table above: a new command gets its help tested.
  const test::CommandRun list = test::RunPlbStdout("--help");
  EXPECT_EQ(list.status, 0);
  std::istringstream lines(list.out.substr(list.out.find("commands:\n") + 10));
  std::set<std::string> listed;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string word;
    if (words >> word) listed.insert(word);
  }
  EXPECT_EQ(listed, std::set<std::string>(std::begin(kCommands), std::end(kCommands)));
}

TEST(PlbCommandLine, VersionOptionSaysWhatTheVersionCommandSays) {
  const test::CommandRun option = test::RunPlbStdout("--version");
  EXPECT_EQ(option.status, 0);
  EXPECT_FALSE(option.out.empty());
  EXPECT_EQ(option.out, test::RunPlbStdout("version").out);
}

TEST(PlbCommandLine, UsageFaultsExitTwoWithTheUsageLine) {
  const std::string dir = Q(test::TestRoot());
  struct Case {
    std::string args;
    std::string usage;  // the command's usage line, as its start
  };
  const Case cases[] = {
      {"add", "plb add FOLDER..."},
      {"add --bogus " + dir, "plb add FOLDER..."},
      {"api", "plb api [--json] NAME"},
      {"api NoSuchRequest", "plb api [--json] NAME"},
      {"calendar extra", "plb calendar [--json]"},
      {"command", "plb command [--json] TEXT"},
      {"config --bogus", "plb config [--json]"},
      {"cp " + dir, "plb cp [--overwrite] SRC... DEST"},
      {"exif", "plb exif FILE..."},
      {"ls", "plb ls FOLDER"},
      {"ls " + dir + " --sort size", "plb ls FOLDER"},
      {"ls " + dir + " " + dir, "plb ls FOLDER"},
      {"mkdir", "plb mkdir PATH..."},
      {"mv " + dir, "plb mv [--overwrite] SRC... DEST"},
      {"remove", "plb remove FOLDER"},
      {"rename " + dir, "plb rename PATH NEWNAME"},
      {"rename " + dir + " a/b", "plb rename PATH NEWNAME"},
      {"render x.jpg --out x.jpg", "plb render FILE --size WxH"},
      {"render x.jpg --size 10x10 --out x.jpg --brightness 101", "plb render FILE --size WxH"},
      {"render x.jpg --size 10x10 --out x.jpg --filter 1 --filter 2 --filter 3 --filter 4", "plb render FILE"},
      {"rm", "plb rm PATH..."},
      {"scan", "plb scan PATH..."},
      {"set-date x.jpg", "plb set-date FILE..."},
      {"set-date x.jpg --date 2020-01-01", "plb set-date FILE..."},
      {"tag beach", "plb tag TAG FILE..."},
      {"tags extra", "plb tags [--json]"},
      {"thumb x.jpg", "plb thumb FILE --out OUT.jpg"},
      {"thumbs " + dir + " --size 5", "plb thumbs PATH..."},
      {"thumbs " + dir + " --size", "plb thumbs PATH..."},
      {"untag", "plb untag TAG FILE..."},
      {"update extra", "plb update [--hidden]"},
      {"version extra", "plb version"},
      {"volumes --bogus", "plb volumes [PATH...]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const test::CommandRun run = PlbStderr(c.args);
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_NE(run.out.find("\nusage: " + c.usage), std::string::npos) << run.out;
  }
  // Nothing reached the catalog: no command that failed on its arguments opened it.
  EXPECT_FALSE(fs::exists(test::TestRoot() + "/data/Morvane"));
}

TEST(PlbCommandLine, UnknownOrMissingCommandExitsTwo) {
  const test::CommandRun unknown = PlbStderr("bogus");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("unknown command 'bogus'"), std::string::npos) << unknown.out;
  const test::CommandRun none = PlbStderr("");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.out.find("usage: plb COMMAND"), std::string::npos) << none.out;
}

// A folder and a photo whose names hold the byte 0xFF, which no UTF-8 text holds.
class OddNames : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(test::TestRoot() + "/odd\xFF");
    // As the catalog names it, the folders above resolved.
    folder_ = fs::canonical(test::TestRoot() + "/odd\xFF").string();
    photo_ = folder_ + "/a\xFF.jpg";
    fs::copy_file(Sample("Canon_40D.jpg"), photo_);
    fs::copy_file(Sample("Nikon_D70.jpg"), folder_ + "/b.jpg");
  }

  // Every line parsed strictly: a line that is not valid JSON (or not UTF-8) fails the test.
  std::vector<nlohmann::json> Rows(const std::string& args) {
    const test::CommandRun run = test::RunPlbStdout(args);
    EXPECT_EQ(run.status, 0) << args;
    return test::JsonLines(run.out);
  }

  static std::string Replaced(std::string text) {
    for (size_t at; (at = text.find('\xFF')) != std::string::npos;) text.replace(at, 1, "\xEF\xBF\xBD");
    return text;
  }

  std::string folder_, photo_;
};

TEST_F(OddNames, JsonLinesStayValidAndCarryTheExactBytes) {
  const auto listed = Rows("ls --json " + Q(folder_));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0]["name"], "a\xEF\xBF\xBD.jpg");
  EXPECT_EQ(Unhex(listed[0]["name_hex"]), "a\xFF.jpg");
  EXPECT_EQ(listed[1]["name"], "b.jpg");
  EXPECT_FALSE(listed[1].contains("name_hex")) << "a valid name is given once";

  struct Case {
    std::string args;
    const char* key;
    std::string bytes;
  };
  const Case cases[] = {
      {"scan --json " + Q(folder_), "path", folder_},
      {"exif --json " + Q(photo_), "path", photo_},
      {"set-date --json --time 10:00:00 " + Q(photo_), "file", photo_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto rows = Rows(c.args);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][c.key], Replaced(c.bytes));
    EXPECT_EQ(Unhex(rows[0][std::string(c.key) + "_hex"]), c.bytes);
  }

  // Lists of texts too: the tag's photos.
  ASSERT_EQ(test::RunPlb("add " + Q(folder_)).status, 0);
  ASSERT_EQ(test::RunPlb("tag odd " + Q(photo_) + " " + Q(folder_ + "/b.jpg")).status, 0);
  const auto tags = Rows("tags --json");
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0]["items"], nlohmann::json({Replaced(photo_), Replaced(folder_ + "/b.jpg")}));
  ASSERT_EQ(tags[0]["items_hex"].size(), 2u);
  EXPECT_EQ(Unhex(tags[0]["items_hex"][0]), photo_);
  EXPECT_EQ(Unhex(tags[0]["items_hex"][1]), folder_ + "/b.jpg");
}

// Photos to work on, for the commands that can run long.
class LongCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(test::TestRoot() + "/photos/trip");
    photos_ = fs::canonical(test::TestRoot() + "/photos").string();
    fs::create_directories(test::TestRoot() + "/archive");
    fs::copy_file(Sample("Canon_40D.jpg"), photos_ + "/trip/canon.jpg");
    fs::copy_file(Sample("Nikon_D70.jpg"), photos_ + "/trip/nikon.jpg");
  }
  std::string photos_;
};

TEST_F(LongCommands, NoProgressLineWhereNobodyWatches) {
  const std::string archive = Q(test::TestRoot() + "/archive");
  const std::string commands[] = {
      "add " + Q(photos_),
      "update",
      "thumbs " + Q(photos_),
      "set-date --date 2021:02:03 " + Q(photos_ + "/trip/canon.jpg") + " " + Q(photos_ + "/trip/nikon.jpg"),
      "cp " + Q(photos_ + "/trip/canon.jpg") + " " + archive,
      "mv " + Q(photos_ + "/trip/nikon.jpg") + " " + archive,
  };
  for (const std::string& args : commands) {
    SCOPED_TRACE(args);
    const test::CommandRun run = test::RunPlb(args);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\033'), std::string::npos) << run.out;
  }
}

// Runs plb on a new pseudo-terminal and answers everything it wrote there, and its exit status.
std::pair<std::string, int> RunPlbOnTerminal(const std::vector<std::string>& args) {
  const std::string program = test::BinaryDir() + "/bin/plb";
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  std::string out;
  if (pid < 0) return {out, -1};
  char buffer[4096];
  // Reading fails (EIO) once the program has ended and closed its side.
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(LongCommands, ProgressLineOnATerminalIsWipedAtTheEnd) {
  const auto [out, status] = RunPlbOnTerminal({"add", photos_});
  EXPECT_EQ(status, 0) << out;
  const size_t drawn = out.find("\rplb add: ");
  ASSERT_NE(drawn, std::string::npos) << out;
  const size_t wiped = out.find("\r\033[K", drawn);
  ASSERT_NE(wiped, std::string::npos) << out;
  EXPECT_NE(out.find(photos_ + ": 2 items", wiped), std::string::npos) << "the result follows the wiped line\n" << out;
}

}  // namespace
}  // namespace plb
