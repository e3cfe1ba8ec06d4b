// plb scan and plb ls on real folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/product_values.h"
#include "support/json_lines.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

test::CommandRun Plb(const std::string& args) {
  return test::RunPlbStdout(args);
}

using test::JsonLines;

TEST(CatalogCommands, ScanCountsFoldersAndKindsAndSeesWhatChanged) {
  WriteSupportMovieTypeUser("avi,mov");
  const std::string root = test::TestRoot() + "/pics";
  for (const char* name : {"a.jpg", "A.JPG", "b.cr2", "c.bmp", "d.mp3", "e.avi", "f.txt", "g.thm"}) {
    WriteFile(root + "/" + name, "x", 1700000000);
  }
  WriteFile(root + "/sub/deeper/h.JPEG", "x", 1700000000);
  fs::create_directory_symlink(root, root + "/sub/loop");
  const test::CommandRun run = Plb("scan --json " + root + " " + root + "/sub");
  ASSERT_EQ(run.status, 0) << run.out;
  const auto rows = JsonLines(run.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["path"], root);
  EXPECT_EQ(rows[0]["folders"], 3);
  EXPECT_EQ(rows[0]["items"], 7);
  EXPECT_EQ(rows[0]["kinds"], nlohmann::json::parse(R"({"0":1,"1":3,"5":1,"6":1,"7":1})"));
  EXPECT_EQ(rows[1]["folders"], 2);
  EXPECT_EQ(rows[1]["items"], 1);

  const test::CommandRun text = Plb("scan " + root + "/sub/deeper");
  EXPECT_EQ(text.out, root + "/sub/deeper: 1 folders, 1 items (kind 1: 1)\n");
  EXPECT_NE(Plb("scan " + root + "/none").status, 0);
  EXPECT_EQ(Plb("scan").status, 2);
}

TEST(CatalogCommands, LsListsInTheChosenOrder) {
  const std::string root = test::TestRoot() + "/ls";
  WriteFile(root + "/b.jpg", "12345", 1700000300);
  WriteFile(root + "/A.jpg", "1", 1700000100);
  WriteFile(root + "/a.jpg", "12", 1700000200);
  WriteFile(root + "/c.bmp", "123", 1700000000);
  struct Case {
    const char* options;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"", {"A.jpg", "a.jpg", "b.jpg", "c.bmp"}},
      {"--desc", {"c.bmp", "b.jpg", "a.jpg", "A.jpg"}},
      {"--sort modified", {"c.bmp", "A.jpg", "a.jpg", "b.jpg"}},
      {"--sort modified --desc", {"b.jpg", "a.jpg", "A.jpg", "c.bmp"}},
      {"--sort shot", {"c.bmp", "A.jpg", "a.jpg", "b.jpg"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const test::CommandRun run = Plb(std::string("ls --json ") + c.options + " " + root);
    ASSERT_EQ(run.status, 0);
    std::vector<std::string> names;
    for (const auto& row : JsonLines(run.out)) names.push_back(row["name"]);
    EXPECT_EQ(names, c.names);
  }
  const auto rows = JsonLines(Plb("ls --json " + root).out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2]["size"], 5);
  EXPECT_EQ(rows[2]["kind"], 1);
  EXPECT_EQ(rows[3]["kind"], 0);
  EXPECT_EQ(rows[2]["modified"].get<std::string>().size(), 19u);
  EXPECT_EQ(rows[2]["modified"].get<std::string>()[4], ':');
  EXPECT_EQ(Plb("ls --sort size " + root).status, 2);
  EXPECT_EQ(Plb("ls --sort created " + root).status, 0);
}

}  // namespace
}  // namespace plb
