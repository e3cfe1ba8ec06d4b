// The start-parameter file sent to the service and the hand-over document of another program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <pugixml.hpp>

#include "host/log_file.h"
#include "platform/private_temp.h"
#include "service/commands/local_param_file.h"
#include "service/commands/plumora_browser_command.h"
#include "service/api/service_errors.h"
#include "support/test_env.h"

namespace plb {
namespace {

std::string WriteData(const std::string& name, const std::string& bytes) {
  const std::string path = test::TestRoot() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* kHandOver =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<PlumoraBrowserWakeup><photoView><directory pathName=\"/photos/trip\"/></photoView>"
    "<plumoraTray><bgm fileName=\"/music/a.mp3\"/><photos>"
    "<photo fileName=\"/p/three.jpg\" photoIndex=\"3\" rotation=\"90\"/>"
    "<photo fileName=\"/p/absent.jpg\" rotation=\"270\"/>"
    "<photo photoIndex=\"0\"/>"
    "<photo fileName=\"/p/one.jpg\" photoIndex=\"1\" rotation=\"180\"/>"
    "<photo fileName=\"/p/other.jpg\" photoIndex=\"3\" rotation=\"45\"/>"
    "</photos></plumoraTray></PlumoraBrowserWakeup>";

TEST(StartParams, DocumentHoldsParametersIdsAndInstallerLists) {
  const std::string hand_over = WriteData("hand.xml", kHandOver);
  TStartParamSources sources;
  sources.version = "1.0.0.1";
  sources.session_id = "S-1";
  sources.command_line_csv = "\"sessionid=S-1\",\"noname\",\"localparamfile=" + hand_over + "\",mode=disppage";
  sources.local_param_file = hand_over;
  sources.machine_user_id_list = "PLB:M1:U1,XYZ:M2:U2";
  sources.installer_history = {"1.0=2024/01/01"};
  sources.installer_infos = {"channel=web", "flag"};

  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(BuildPlumoraBrowserParams(sources).c_str()));
  const pugi::xml_node root = document.child("plumoraBrowserDispPage");
  EXPECT_STREQ(root.attribute("version").value(), "1.0.0.1");
  EXPECT_STREQ(root.attribute("sessionid").value(), "S-1");

  std::vector<std::string> keys;
  for (const auto& param : root.child("commandLineParameters").children("param"))
    keys.push_back(param.attribute("key").value());
  EXPECT_EQ(keys, (std::vector<std::string>{"sessionid", "localparamfile", "mode"}));
  const pugi::xml_node local = root.child("commandLineParameters").find_child_by_attribute("key", "localparamfile");
  EXPECT_EQ(local.attribute("value").value(), hand_over);
  EXPECT_STREQ(local.child("content").first_child().name(), "PlumoraBrowserWakeup");
  EXPECT_STREQ(local.child("content").first_child().child("photoView").child("directory").attribute("pathName").value(),
               "/photos/trip");

  const pugi::xml_node second = root.child("plbids").first_child().next_sibling();
  EXPECT_STREQ(second.attribute("packagecode").value(), "XYZ");
  EXPECT_STREQ(second.attribute("machineid").value(), "M2");
  EXPECT_STREQ(second.attribute("machineuserid").value(), "U2");

  const pugi::xml_node history = root.child("installerInfos").child("directory");
  EXPECT_STREQ(history.attribute("name").value(), "history");
  std::vector<std::string> entries;
  for (const auto& sz : history.children("sz"))
    entries.push_back(std::string(sz.attribute("name").value()) + "|" + sz.attribute("data").value());
  EXPECT_EQ(entries, (std::vector<std::string>{"1.0|2024/01/01", "channel|web", "flag|"}));

  sources.machine_user_id_list.clear();
  ASSERT_TRUE(document.load_string(BuildPlumoraBrowserParams(sources).c_str()));
  EXPECT_FALSE(document.child("plumoraBrowserDispPage").child("plbids"));
}

// Any web page can name a file in a wake-up URL: only a hand-over document is ever copied out.
TEST(StartParams, OtherFilesNamedAsLocalParamFileStayUnread) {
  for (const std::string& content :
       {std::string("<thesis>secret</thesis>"), std::string("secret text"),
        "<plumoraBrowserWakeup>" + std::string(2 << 20, ' ') + "</plumoraBrowserWakeup>"}) {
    const std::string path = WriteData("private.xml", content);
    TStartParamSources sources;
    sources.command_line_csv = "localparamfile=" + path;
    sources.local_param_file = path;
    const std::string document = BuildPlumoraBrowserParams(sources);
    EXPECT_EQ(document.find("secret"), std::string::npos);
    EXPECT_EQ(document.find("<content"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(path));
  }
}

TEST(LocalParamFile, OnlyHandOverDocumentsAreDeleted) {
  const std::string thesis = WriteData("thesis.xml", "<thesis>years of work</thesis>");
  const std::string text = WriteData("notes.txt", "plain text");
  const std::string hand_over = WriteData("hand.xml", kHandOver);
  EXPECT_FALSE(DeleteHandOverDocument(thesis));
  EXPECT_FALSE(DeleteHandOverDocument(text));
  EXPECT_FALSE(DeleteHandOverDocument(test::TestRoot()));
  EXPECT_TRUE(std::filesystem::exists(thesis));
  EXPECT_TRUE(std::filesystem::exists(text));
  EXPECT_TRUE(DeleteHandOverDocument(hand_over));
  EXPECT_FALSE(std::filesystem::exists(hand_over));
}

TEST(StartParams, FileTakesTheFirstFreeNumberInThePrivateFolder) {
  TStartParamSources sources;
  sources.session_id = "S";
  const std::string first = SavePlumoraBrowserParams(sources);
  const std::string folder = platform::PrivateTempFolder();
  EXPECT_EQ(first, folder + "/PlumoraBrowserParams(0).xml");
  EXPECT_EQ(SavePlumoraBrowserParams(sources), folder + "/PlumoraBrowserParams(1).xml");
  // A name taken by a planted link is skipped, never written through.
  const std::string target = test::TestRoot() + "/target";
  ASSERT_EQ(symlink(target.c_str(), (folder + "/PlumoraBrowserParams(2).xml").c_str()), 0);
  EXPECT_EQ(SavePlumoraBrowserParams(sources), folder + "/PlumoraBrowserParams(3).xml");
  EXPECT_FALSE(std::filesystem::exists(target));
  struct stat info {};
  ASSERT_EQ(stat(first.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_NE(ReadText(first).find("<plumoraBrowserDispPage"), std::string::npos);
}

TEST(LocalParamFile, ListsPhotosByIndexWithOrientations) {
  TLocalParamFile file;
  file.Load(WriteData("hand.xml", kHandOver));
  EXPECT_TRUE(file.IsHandOverDocument());
  EXPECT_EQ(file.GetTargetDirectory(), "/photos/trip");
  EXPECT_EQ(file.GetBGMFilePath(), "/music/a.mp3");
  std::vector<std::pair<std::string, int>> listed;
  for (const TLocalParamItem& item : file.ListupLocalParamItems())
    listed.emplace_back(item.file_name, item.Orientation());
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, int>>{
                        {"/p/one.jpg", 3}, {"/p/three.jpg", 6}, {"/p/other.jpg", 1}, {"/p/absent.jpg", 8}}));
}

TEST(LocalParamFile, SourceItemsSkipWhatCannotBeFound) {
  const std::string present = WriteData("present.jpg", "jpeg");
  const std::string unreachable = WriteData("unreachable.jpg", "jpeg");
  const std::string document = "<plumoraBrowserWakeup><plumoraTray><photos><photo fileName=\"" + present +
                               "\" rotation=\"270\"/><photo fileName=\"/no/such.jpg\"/><photo fileName=\"" +
                               unreachable + "\"/></photos></plumoraTray></plumoraBrowserWakeup>";
  const std::string folder = test::TestRoot() + "/log";
  std::filesystem::create_directories(folder);
  OpenLog(folder, "t.log");
  TLocalParamFile file;
  file.Load(WriteData("hand.xml", document));
  std::vector<std::pair<std::string, int>> added;
  const int count = file.ListupSourceItems([&](const std::string& path, int orientation) {
    if (path == unreachable) return false;
    added.emplace_back(path, orientation);
    return true;
  });
  CloseLog();
  EXPECT_EQ(count, 1);
  EXPECT_EQ(added, (std::vector<std::pair<std::string, int>>{{present, 8}}));
  const std::string log = ReadText(folder + "/t.log");
  EXPECT_NE(log.find("SearchItemFromFileName( /no/such.jpg ) : ELocalParamFileError Raised ( file not found. )"),
            std::string::npos);
  EXPECT_NE(log.find("SearchItemFromFileName( " + unreachable +
                     " ) : ELocalParamFileError Raised ( GetFolderEx is failed. )"),
            std::string::npos);
}

TEST(LocalParamFile, RefusalsNameTheStep) {
  struct Case {
    std::string document;
    std::string message_part;
  };
  const Case cases[] = {
      {"<other/>", "ListupLocalParamItems. (Unknown XMLData)"},
      {"<plumoraBrowserWakeup/>", "(\"photos\" node is not found.)"},
      {"<plumoraBrowserWakeup><plumoraTray><photos/></plumoraTray></plumoraBrowserWakeup>",
       "(\"photos\" node is empty.)"},
      {"<plumoraBrowserWakeup><plumoraTray><photos><photo fileName=\"a\" photoIndex=\"x\"/></photos></plumoraTray>"
       "</plumoraBrowserWakeup>",
       "is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    TLocalParamFile file;
    file.Load(WriteData("hand.xml", c.document));
    try {
      file.ListupLocalParamItems();
      ADD_FAILURE() << "no error";
    } catch (const ELocalParamFileError& e) {
      EXPECT_EQ(e.Message().rfind("ELocalParamFileError raised in TLocalParamFile.", 0), 0u) << e.Message();
      EXPECT_NE(e.Message().find(c.message_part), std::string::npos) << e.Message();
    }
  }
  TLocalParamFile file;
  EXPECT_THROW(file.Load(""), ELocalParamFileError);
  EXPECT_THROW(file.Load(test::TestRoot() + "/missing.xml"), ELocalParamFileError);
  EXPECT_THROW(file.Load(WriteData("big.xml", std::string(kMaxLocalParamFileSize + 1, ' '))), ELocalParamFileError);
  EXPECT_THROW(file.Load(WriteData("bad.xml", "<plumoraBrowserWakeup>")), ELocalParamFileError);
  EXPECT_FALSE(file.IsHandOverDocument());
  EXPECT_THROW(file.GetTargetDirectory(), ELocalParamFileError);
}

TEST(LocalParamFile, RebootCopyHoldsTheContentRead) {
  EXPECT_EQ(WriteRebootCopy(), "");
  HoldLocalParamContent(kHandOver);
  const std::string path = WriteRebootCopy();
  EXPECT_EQ(path, platform::PrivateTempFolder() + "/RebootPLBParam.xml");
  EXPECT_EQ(ReadText(path), kHandOver);
  HoldLocalParamContent("");
}

}  // namespace
}  // namespace plb
