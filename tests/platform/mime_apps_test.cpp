#include "platform/mime_apps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_env.h"

namespace plb::platform {
namespace {

namespace fs = std::filesystem;
using plb::test::TestRoot;

// A desktop of our own: a system data folder with the MIME globs and installed programs, the
// user's data and config folders on top.
class MimeApps : public ::testing::Test {
 protected:
  void SetUp() override {
    system_ = TestRoot() + "/usr-share";
    setenv("XDG_DATA_DIRS", system_.c_str(), 1);
    Write(system_ + "/mime/globs2",
          "# comment\n"
          "50:video/quicktime:*.mov\n"
          "50:video/quicktime:*.qt\n"
          "50:image/jpeg:*.jpg\n"
          "50:text/x-makefile:makefile\n"
          "50:application/x-compressed-tar:*.tar.gz\n"
          "50:application/gzip:*.gz\n"
          "50:text/x-csrc:*.C:cs\n"
          "10:text/x-c++src:*.c\n"
          "80:video/mp4:*.mp4\n"
          "40:audio/mp4:*.mp4\n");
    Write(system_ + "/applications/player.desktop", "[Desktop Entry]\nType=Application\nExec=player %f\n");
    Write(system_ + "/applications/viewer.desktop", "[Desktop Entry]\nType=Application\nExec=viewer %f\n");
    Write(system_ + "/applications/kde/editor.desktop", "[Desktop Entry]\nType=Application\n");
    Write(system_ + "/applications/hidden.desktop", "[Desktop Entry]\nHidden=true\n");
  }

  static void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
  }

  std::string system_;
};

TEST_F(MimeApps, TypeOfANameByItsGlobs) {
  struct Case {
    const char* name;
    const char* type;
  };
  const Case cases[] = {
      {"/media/card/MVI_0001.MOV", "video/quicktime"},  // letter case ignored
      {"clip.mov", "video/quicktime"},
      {"archive.tar.gz", "application/x-compressed-tar"},  // the longer pattern among equal weights
      {"x.gz", "application/gzip"},
      {"Makefile", "text/x-makefile"},
      {"prog.C", "text/x-csrc"},  // a case-sensitive glob
      {"prog.c", "text/x-c++src"},
      {"a.mp4", "video/mp4"},  // the weightier of two
      {"noextension", ""},
      {"photo.jpeg", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(MimeTypeOfName(c.name), c.type) << c.name;
}

TEST_F(MimeApps, NoProgramWithoutAnAssociation) {
  EXPECT_FALSE(IsProgramRegisteredFor("a.mov"));
  EXPECT_EQ(AssociatedProgram("a.unknown"), "");
}

TEST_F(MimeApps, TheCacheOfInstalledProgramsRegistersThem) {
  Write(system_ + "/applications/mimeinfo.cache", "[MIME Cache]\nvideo/quicktime=gone.desktop;player.desktop;\n");
  EXPECT_EQ(AssociatedProgram("a.mov"), "player.desktop") << "a program whose file is gone does not count";
  EXPECT_TRUE(IsProgramRegisteredFor("A.MOV"));
  EXPECT_FALSE(IsProgramRegisteredFor("a.jpg"));
}

TEST_F(MimeApps, UserChoicesComeFirstAndRemovedAssociationsHoldBelowThem) {
  Write(system_ + "/applications/mimeinfo.cache", "[MIME Cache]\nvideo/quicktime=player.desktop;\n");
  Write(TestRoot() + "/config/mimeapps.list",
        "[Default Applications]\nimage/jpeg=viewer.desktop\n"
        "[Removed Associations]\nvideo/quicktime=player.desktop;\n");
  EXPECT_EQ(AssociatedProgram("a.jpg"), "viewer.desktop");
  EXPECT_EQ(AssociatedProgram("a.mov"), "") << "the user removed the only program";

  Write(TestRoot() + "/data/applications/mimeapps.list", "[Added Associations]\nvideo/quicktime=kde-editor.desktop;\n");
  EXPECT_EQ(AssociatedProgram("a.mov"), "kde-editor.desktop") << "found as kde/editor.desktop";
}

TEST_F(MimeApps, HiddenProgramsDoNotCount) {
  Write(system_ + "/applications/mimeinfo.cache", "[MIME Cache]\nvideo/quicktime=hidden.desktop;\n");
  EXPECT_FALSE(IsProgramRegisteredFor("a.mov"));
  // A user's own desktop file of that id hides the system's one, and here it is a real program.
  Write(TestRoot() + "/data/applications/hidden.desktop", "[Desktop Entry]\nType=Application\n");
  EXPECT_TRUE(IsProgramRegisteredFor("a.mov"));
}

TEST(MimeDirs, FollowTheEnvironmentAndItsDefaults) {
  unsetenv("XDG_DATA_DIRS");
  setenv("XDG_CONFIG_DIRS", "/etc/a:relative:/etc/b", 1);
  MimeDirs dirs = MimeDirs::FromEnvironment();
  EXPECT_EQ(dirs.config_dirs, (std::vector<std::string>{TestRoot() + "/config", "/etc/a", "/etc/b"}));
  EXPECT_EQ(dirs.data_dirs, (std::vector<std::string>{TestRoot() + "/data", "/usr/local/share", "/usr/share"}));
}

}  // namespace
}  // namespace plb::platform
