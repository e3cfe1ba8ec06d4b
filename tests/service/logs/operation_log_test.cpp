// The operation log's records and files: what each record says, the 100-record files, and that
// a file is either whole or absent.
#include "service/logs/operation_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <pugixml.hpp>

#include "platform/atomic_file.h"
#include "service/logs/log_files.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

class OperationLog : public ::testing::Test {
 protected:
  TPlumoraOperationLog::Options MakeOptions() {
    TPlumoraOperationLog::Options options;
    options.log_folder = folder_;
    options.version = "1.0.0.1";
    options.machine_user_ids = [this] { return ids_; };
    options.clock = [] { return EncodeDateTime({2024, 5, 17, 13, 4, 5, 0}); };
    options.bias_minutes = -540;
    return options;
  }
  std::vector<std::string> Files() const { return ListLogFiles(folder_, "POL", ".xml"); }
  pugi::xml_node Load(const std::string& path) {
    document_.reset();
    EXPECT_TRUE(document_.load_file(path.c_str())) << path;
    return document_.document_element();
  }
  std::string folder_ = test::TestRoot() + "/log";
  std::string ids_ = "PLB:M-1:MU-1,,PLB2:M-2,A:B:C:D";
  pugi::xml_document document_;
};

TEST_F(OperationLog, RecordsOfEveryKind) {
  TPlumoraOperationLog log(MakeOptions());
  log.SetUrlAndProcessID("", "77", false);
  log.StopUploader();  // nothing to send to here
  log.AddSystemLog(polBoot, "command=startpage,pageurl=http://x/?a=b,plain");
  log.AddActionLog("TMainForm", "actPrint", "印刷");
  log.AddCommandLog("mode=dispPage,tab=1", "TLibraryFrame");
  log.AddCommandLog("pageurl=http://x/", "TLibraryFrame");  // neither command nor mode: no trace
  TPOL_ViewStateRecord view;
  view.visible_targets = kPOLTargetCalendar | kPOLTargetFolder | kPOLTargetTag;
  view.selected_target_group = 2;
  view.selected_target_kind = 8;
  view.catalog_target_group = 2;
  view.catalog_target_kind = 3;
  view.catalog_path = "/home/u/写真";
  view.catalog_file_count = 12;
  view.tool = 4;
  view.tray_enabled = true;
  view.tray_file_count = 3;
  log.AddViewLog(view);
  log.AddSystemLog(polUploadAborted);
  log.SaveLogFile();

  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::path(files[0]).filename(), "POL20240517130405(000).xml");
  const pugi::xml_node root = Load(files[0]);
  EXPECT_STREQ(root.name(), "plumoraBrowserOperationLog");
  EXPECT_STREQ(root.attribute("ver").value(), "1.0.0.1");
  EXPECT_STREQ(root.attribute("plbprocessid").value(), "77");
  EXPECT_STREQ(root.attribute("starttime").value(), "2024-05-17T13:04:05+09:00");

  std::vector<std::string> ids;
  for (pugi::xml_node id : root.child("plbids").children("plbid")) {
    std::string text;
    for (pugi::xml_attribute a : id.attributes()) text += std::string(a.name()) + "=" + a.value() + " ";
    ids.push_back(text);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"packagecode=PLB machineid=M-1 machineuserid=MU-1 ",
                                           "packagecode=PLB2 machineid=M-2 ",
                                           "packagecode=A machineid=B machineuserid=C "}));

  std::vector<pugi::xml_node> records;
  for (pugi::xml_node r : root.child("plblog_a").children("plblog")) records.push_back(r);
  ASSERT_EQ(records.size(), 5u);
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].attribute("seqno").as_int(-1), static_cast<int>(i));
    EXPECT_STREQ(records[i].attribute("ts").value(), "2024-05-17T13:04:05+09:00");
  }
  EXPECT_STREQ(records[0].attribute("kind").value(), "system");
  EXPECT_STREQ(records[0].attribute("systemactioncode").value(), "boot");
  std::vector<std::string> parameters;
  for (pugi::xml_node p : records[0].children("parameter"))
    parameters.push_back(std::string(p.attribute("name").value()) + "|" + p.attribute("value").value());
  EXPECT_EQ(parameters, (std::vector<std::string>{"command|startpage", "pageurl|http://x/?a=b", "|plain"}));

  EXPECT_STREQ(records[1].attribute("name").value(), "TMainForm.actPrint");
  EXPECT_STREQ(records[1].attribute("caption").value(), "印刷");
  EXPECT_STREQ(records[2].attribute("kind").value(), "plbcommand");
  EXPECT_STREQ(records[2].attribute("command").value(), "dispPage");
  EXPECT_STREQ(records[2].attribute("from").value(), "TLibraryFrame");

  const pugi::xml_node v = records[3];
  EXPECT_STREQ(v.attribute("kind").value(), "view");
  EXPECT_STREQ(v.child("TargetPanel").attribute("VisibleTargets").value(), "Calendar,Folder,Tag");
  EXPECT_STREQ(v.child("TargetPanel").attribute("SelectedTarget").value(), "Tag");
  EXPECT_STREQ(v.child("CatalogPanel").attribute("Target").value(), "");
  EXPECT_STREQ(v.child("CatalogPanel").attribute("Path").value(), "/home/u/写真");
  EXPECT_STREQ(v.child("CatalogPanel").attribute("FileCount").value(), "12");
  EXPECT_STREQ(v.child("ToolPanel").attribute("Tool").value(), "Triming");
  EXPECT_STREQ(v.child("PlumoraTray").attribute("Enabled").value(), "True");
  EXPECT_STREQ(v.child("PlumoraTray").attribute("Visible").value(), "False");
  EXPECT_STREQ(records[4].attribute("systemactioncode").value(), "uploadAborted");
}

TEST_F(OperationLog, TheHundredAndFirstRecordStartsTheNextFile) {
  TPlumoraOperationLog log(MakeOptions());
  for (int i = 0; i < 101; ++i) log.AddActionLog("TMainForm", "act" + std::to_string(i), "");
  ASSERT_EQ(Files().size(), 1u);
  EXPECT_EQ(log.PendingRecords(), 1);
  log.SaveLogFile();
  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(fs::path(files[1]).filename(), "POL20240517130405(001).xml");
  std::vector<int> first, second;
  for (pugi::xml_node r : Load(files[0]).child("plblog_a").children()) first.push_back(r.attribute("seqno").as_int());
  for (pugi::xml_node r : Load(files[1]).child("plblog_a").children()) second.push_back(r.attribute("seqno").as_int());
  ASSERT_EQ(first.size(), 100u);
  EXPECT_EQ(first.front(), 0);
  EXPECT_EQ(first.back(), 99);
  EXPECT_EQ(second, std::vector<int>{100});
  // Saving with nothing new writes no file.
  log.SaveLogFile();
  EXPECT_EQ(Files().size(), 2u);
}

TEST_F(OperationLog, NoUseKeepsNothing) {
  TPlumoraOperationLog log(MakeOptions());
  log.SetUrlAndProcessID("http://127.0.0.1:1/", "1", true);
  log.AddSystemLog(polBoot);
  log.AddActionLog("A", "b", "c");
  log.SaveLogFile();
  EXPECT_EQ(log.PendingRecords(), 0);
  EXPECT_TRUE(Files().empty());
}

TEST_F(OperationLog, FailedWriteLeavesNoFileAndKeepsTheRecords) {
  TPlumoraOperationLog log(MakeOptions());
  log.AddActionLog("A", "b", "c");
  SetAtomicWriteFaultForTesting([](AtomicWriteStep step, const std::string&) {
    return step == AtomicWriteStep::kRename ? EIO : 0;
  });
  log.SaveLogFile();
  SetAtomicWriteFaultForTesting({});
  EXPECT_TRUE(Files().empty());
  for (const auto& entry : fs::directory_iterator(folder_)) ADD_FAILURE() << "left behind: " << entry.path();
  EXPECT_EQ(log.PendingRecords(), 1);
  log.SaveLogFile();
  ASSERT_EQ(Files().size(), 1u);
  EXPECT_EQ(fs::path(Files()[0]).filename(), "POL20240517130405(000).xml");
}

TEST_F(OperationLog, MissingParentFolderIsNotCreatedBeyondOneLevel) {
  folder_ = test::TestRoot() + "/no/such/log";
  TPlumoraOperationLog log(MakeOptions());
  log.AddActionLog("A", "b", "c");
  log.SaveLogFile();
  EXPECT_FALSE(fs::exists(folder_));
  EXPECT_EQ(log.PendingRecords(), 1);
}

TEST_F(OperationLog, AnEarlierRunsWaitingFileIsNeverReplaced) {
  fs::create_directories(folder_);
  const std::string earlier = folder_ + "/POL20240517130405(000).xml";
  { std::ofstream(earlier) << "<plumoraBrowserOperationLog/>"; }
  TPlumoraOperationLog log(MakeOptions());
  log.AddActionLog("A", "b", "c");
  log.SaveLogFile();
  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(fs::path(files[1]).filename(), "POL20240517130405(001).xml");
  EXPECT_EQ(fs::file_size(earlier), std::string("<plumoraBrowserOperationLog/>").size());
}

TEST(OperationLogTime, TimeZoneTexts) {
  EXPECT_EQ(POLTimeZoneText(-540), "+09:00");
  EXPECT_EQ(POLTimeZoneText(0), "-00:00");
  EXPECT_EQ(POLTimeZoneText(300), "-05:00");
  EXPECT_EQ(POLTimeZoneText(-345), "+05:45");
}

TEST(OperationLogGlobal, InitializeTwiceAndFinalizeWithoutLogRaise) {
  EXPECT_THROW(DAL_Finalize(), EPlumoraOperationLogError);
  TPlumoraOperationLog::Options options;
  options.log_folder = test::TestRoot() + "/log";
  DAL_InitializeWith(options);
  try {
    DAL_InitializeWith(options);
    ADD_FAILURE() << "no error";
  } catch (const EPlumoraOperationLogError& e) {
    EXPECT_EQ(e.Message(), "already initialized.");
  }
  DAL_AddBootLog("command=x");
  DAL_AddShutdownLog();
  DAL_Finalize();
  EXPECT_EQ(ListLogFiles(options.log_folder, "POL", ".xml").size(), 1u);
}

}  // namespace
}  // namespace plb
