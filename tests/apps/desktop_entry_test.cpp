// The program as the desktop knows it: registered as the handler of the service's wake-up links,
// and installed with its entry, icons and page folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "browser_process.h"
#include "host/plumora_config_item.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class DesktopEntryTest : public test::BrowserProcess {
 protected:
  // Everything the running program wrote to its diagnostic logs.
  static std::string Logs() {
    std::string all;
    const std::string folder = TPlumoraConfigItem().LogFolder();
    if (!fs::exists(folder)) return all;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().extension() == ".log") all += Slurp(e.path());
    return all;
  }
};

// A link the service's page or the desktop browser opens while the program runs: xdg-open starts
// the registered entry, whose second start hands the link to the running window.
TEST_F(DesktopEntryTest, AWakeupLinkOpenedWithXdgOpenReachesTheRunningWindow) {
  if (test::RunCommand("command -v xdg-open >/dev/null").status != 0) GTEST_SKIP() << "xdg-open is not installed";
  const test::CommandRun registered =
      test::RunCommand(std::string(PLB_SOURCE_DIR) + "/scripts/register-desktop " + program_ + " 2>&1");
  ASSERT_EQ(registered.status, 0) << registered.out;
  const fs::path data = std::getenv("XDG_DATA_HOME");
  EXPECT_TRUE(fs::exists(data / "icons/hicolor/48x48/apps/plumora-browser.png"));

  const pid_t first = Start({});
  ASSERT_TRUE(WaitForWindow());
  // xdg-open looks for the handler only when it believes there is a display to open on.
  const test::CommandRun opened = test::RunCommand(
      "DISPLAY=:99 xdg-open 'plumorabrowser://wakeup/?mode=disppage&sessionid=desk%20top' 2>&1");
  EXPECT_EQ(opened.status, 0) << opened.out;
  EXPECT_TRUE(test::WaitFor([] { return Logs().find("sessionid=desk top") != std::string::npos; })) << Logs();
  ASSERT_EQ(RequestClose(4), platform::HandOffStatus::kAnswered);
  EXPECT_EQ(WaitExit(first), 0);
}

TEST(DesktopInstall, InstallsTheProgramWithItsEntryIconsAndPages) {
  if (!fs::exists(test::BinaryDir() + "/bin/plumora-browser")) GTEST_SKIP() << "plumora-browser is not built (no Qt)";
  const fs::path prefix = test::TestRoot() + "/prefix";
  const test::CommandRun installed =
      test::RunCommand("cmake --install " + test::BinaryDir() + " --prefix " + prefix.string() + " 2>&1");
  ASSERT_EQ(installed.status, 0) << installed.out;
  for (const char* file : {"bin/plumora-browser", "bin/plb", "share/applications/plumora-browser.desktop",
                           "share/icons/hicolor/scalable/apps/plumora-browser.svg",
                           "share/icons/hicolor/16x16/apps/plumora-browser.png",
                           "share/icons/hicolor/256x256/apps/plumora-browser.png",
                           "share/plumora-browser/docroot/startup_error.html"})
    EXPECT_TRUE(fs::exists(prefix / file)) << file;
  const std::string entry = Slurp(prefix / "share/applications/plumora-browser.desktop");
  EXPECT_NE(entry.find("\nMimeType=x-scheme-handler/plumorabrowser;\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nExec=plumora-browser %u\n"), std::string::npos) << entry;
}

}  // namespace
}  // namespace plb
