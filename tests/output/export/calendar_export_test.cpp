#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/album_utils.h"
#include "engine/model/catalog_item.h"
#include "engine/workers/worker_control.h"
#include "host/date_time.h"
#include "output/export/export_folder_thread.h"
#include "output/export/export_import.h"
#include "output/export/export_names.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

TEST(ExportNames, SizeAndCountTexts) {
  struct Case {
    int64_t bytes;
    const char* text;
  };
  for (const Case& c : {Case{0, " 0 Bytes"}, Case{1024, " 1,024 Bytes"}, Case{1025, " 1.0 KB"},
                        Case{1048576, " 1,024.0 KB"}, Case{1048577, " 1.0 MB"}, Case{1073741824, " 1,024.0 MB"},
                        Case{5368709120 + 536870912, " 5.5 GB"}, Case{1099511627776 * 3, " 3,072.0 GB"}})
    EXPECT_EQ(FormatExportSize(c.bytes), c.text) << c.bytes;
  EXPECT_EQ(FormatExportCount(1234567), " 1,234,567 枚");
}

// 64-bit sums: on the system volume 500 MiB stay free, elsewhere 10 MiB.
TEST(ExportNames, FreeSpaceRule) {
  constexpr int64_t MiB = 1024 * 1024;
  EXPECT_FALSE(ExportFits(100 * MiB, 600 * MiB, true));
  EXPECT_TRUE(ExportFits(100 * MiB, 600 * MiB, false));
  EXPECT_TRUE(ExportFits(5000 * MiB * 1024, 6000 * MiB * 1024, true)) << "sizes beyond 4 GiB";
  EXPECT_FALSE(ExportFits(1, 0, false)) << "no free space known: never fits";
  EXPECT_EQ(NotEnoughSpaceText("カレンダー", 100 * MiB),
            "ディスクの空き容量が不足しています。\r\n\r\n「カレンダー」を出力するためには  100.0 MB 以上の空き容量が必要です。");
}

// A second and third export on one day; a name taken by a plain file is passed over too.
TEST(ExportNames, FolderAndFileNamesNeverClash) {
  const std::string dest = test::TestRoot() + "/dest";
  fs::create_directories(dest);
  EXPECT_EQ(CreateExportFolder(dest, "カレンダー (20240101)"), dest + "/カレンダー (20240101)");
  EXPECT_EQ(CreateExportFolder(dest, "カレンダー (20240101)"), dest + "/カレンダー (20240101-01)");
  test::WriteFile(dest + "/カレンダー (20240101-02)");
  EXPECT_EQ(CreateExportFolder(dest, "カレンダー (20240101)"), dest + "/カレンダー (20240101-03)");
  EXPECT_EQ(CreateExportFolder(dest, "2008年"), dest + "/2008年");
  EXPECT_EQ(CreateExportFolder(dest, "2008年"), dest + "/2008年(01)");
  EXPECT_THROW(CreateExportFolder(dest + "/missing", "x"), EExportFolderThreadError);

  EXPECT_EQ(UniqueExportFileName(dest, "IMG_0001.JPG"), dest + "/IMG_0001.JPG");
  test::WriteFile(dest + "/IMG_0001.JPG");
  test::WriteFile(dest + "/IMG_0001(1).JPG");
  EXPECT_EQ(UniqueExportFileName(dest, "IMG_0001.JPG"), dest + "/IMG_0001(2).JPG");
  test::WriteFile(dest + "/.hidden");
  EXPECT_EQ(UniqueExportFileName(dest, ".hidden"), dest + "/.hidden(1)");
}

class ExportWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    pics_ = catalog_.Volume() + "/pics";
    fs::create_directories(pics_);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", pics_ + "/" + name);
    source_ = catalog_.ScannedFolder("pics", &items_);
    ASSERT_EQ(items_.size(), 3u);
    dest_ = catalog_.Volume() + "/dest";
    fs::create_directories(dest_);
  }

  void Export(TExportFolderThreadEx& worker) {
    TDateTime date = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 1, 1, date));
    worker.SetExportDate(date);
    worker.SetSourceNode(source_);
    worker.SetDestination(dest_ + "/");
    worker.Execute();
    EXPECT_EQ(WorkerPauseCount(), 0) << "the workers run again after the export";
  }

  static int FilesInSideCar(const std::string& folder) {
    pugi::xml_document doc;
    if (!doc.load_file((folder + "/OstraExportInfo.xml").c_str())) return -1;
    int n = 0;
    for (pugi::xml_node f = doc.child("OstraExportInfo").child("files").child("file"); f; f = f.next_sibling("file"))
      ++n;
    return n;
  }

  test::VolumeCatalog catalog_;
  std::string pics_, dest_;
  TFolder* source_ = nullptr;
  std::vector<TCatalogItem*> items_;
};

// The copies, added to a catalog that knows nothing of them, come with their edits and tags.
TEST_F(ExportWorker, EditsAndTagsTravelToAFreshCatalog) {
  TCatalogItem* a = items_[0];
  a->SetMark(true);
  a->SetOrientation(6);
  a->SetComment("海 & <空>");
  a->SetColor({1, 5, -3, 110, 1, 2, 3, 4, 0, 9});
  a->SetTrimming(true, {1, 2, 50, 40}, 3, 2);
  TAlbumList albums;
  TAlbum* beach = albums.GetAlbumFromPathEx(8, "trip\\beach", true);
  ASSERT_TRUE(OstraAddItemToAlbum(beach, items_[1], 0, false, false));

  TExportFolderThreadEx worker(&catalog_.Trees());
  Export(worker);
  EXPECT_EQ(worker.ProgressState(), psCompleted);
  EXPECT_EQ(worker.SuccessCount(), 3);
  EXPECT_EQ(worker.CopiedBytes(), 3 * static_cast<int64_t>(fs::file_size(pics_ + "/a.jpg")));
  const std::string result = worker.ResultFolder();
  ASSERT_EQ(result, dest_ + "/pics");
  TFolder* registered = catalog_.Trees().FindFolderOf(result);
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(registered->GetCalendarMode(), 2) << "the copies stay out of the calendar";

  TFolderTreeListEyeFi fresh;
  TFolder* copy = fresh.FolderOf(result);
  ASSERT_NE(copy, nullptr);
  TExtItems table;
  table.Build(kCatalogKinds);
  copy->SearchFiles(&table, nullptr);
  TCatalogItem* a2 = copy->FindItem("a.jpg");
  ASSERT_NE(a2, nullptr);
  EXPECT_TRUE(a2->Mark());
  EXPECT_EQ(a2->Orientation(), 6);
  EXPECT_EQ(a2->Comment(), "海 & <空>");
  EXPECT_EQ(a2->Color(), a->Color());
  EXPECT_EQ(a2->TrimRect(), a->TrimRect());
  EXPECT_TRUE(a2->TrimmingInForce());

  TAlbumList freshAlbums;
  EXPECT_EQ(RestoreExportedTags(freshAlbums, copy), 1);
  TAlbum* restored = freshAlbums.GetAlbumFromPathEx(8, "trip\\beach", false);
  ASSERT_NE(restored, nullptr);
  const auto tags = copy->FindItem("b.jpg")->Tags();
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0], restored);
  EXPECT_TRUE(copy->FindItem("c.jpg")->Tags().empty());
}

// Memberships in imported albums travel as tags of the backup type, named by the captions; the
// imported albums and the items' tags are as they were after the export.
TEST_F(ExportWorker, ImportedAlbumsTravelAsBackupTags) {
  TAlbumList albums;
  TAlbum* ledger = albums.GetAlbumFromPathEx(7, "ledger", true);
  ledger->SetCaption("台帳");
  ASSERT_TRUE(OstraAddItemToAlbum(ledger, items_[2], 0, false, false));
  const auto tagsBefore = items_[2]->Tags();

  TExportFolderThreadEx worker(&catalog_.Trees());
  worker.SetAlbums(&albums);
  Export(worker);
  ASSERT_EQ(worker.ProgressState(), psCompleted);
  EXPECT_EQ(items_[2]->Tags(), tagsBefore) << "the clone is gone from the items' tags";
  EXPECT_EQ(ledger->ItemCount(), 1);

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file((worker.ResultFolder() + "/OstraExportInfo.xml").c_str()));
  pugi::xml_node tag = doc.child("OstraExportInfo").child("files").find_child_by_attribute("file", "name", "c.jpg")
                           .child("tags").child("tag");
  EXPECT_EQ(std::string(tag.attribute("albumtype").value()), "9");
  EXPECT_EQ(std::string(tag.text().get()), "台帳");

  TFolderTreeListEyeFi fresh;
  TFolder* copy = fresh.FolderOf(worker.ResultFolder());
  TExtItems table;
  table.Build(kCatalogKinds);
  copy->SearchFiles(&table, nullptr);
  TAlbumList freshAlbums;
  EXPECT_EQ(RestoreExportedTags(freshAlbums, copy), 1);
  EXPECT_NE(freshAlbums.GetAlbumFromPathEx(9, "台帳", false), nullptr);
}

// A file that is gone counts as an error and gets no entry; the others are exported.
TEST_F(ExportWorker, MissingFileIsCountedAndSkipped) {
  fs::remove(pics_ + "/b.jpg");
  TExportFolderThreadEx worker(&catalog_.Trees());
  Export(worker);
  EXPECT_EQ(worker.ProgressState(), psCompleted);
  EXPECT_EQ(worker.SuccessCount(), 2);
  EXPECT_EQ(worker.ErrorCount(), 1);
  EXPECT_EQ(worker.Position(), 3) << "the bar passes the failed file once, never beyond the end";
  EXPECT_EQ(FilesInSideCar(worker.ResultFolder()), 2);
}

// Stopped after the first copy: the side-car still describes the copy made.
TEST_F(ExportWorker, StopKeepsTheSideCarOfWhatWasCopied) {
  TExportFolderThreadEx worker(&catalog_.Trees());
  worker.SetFileProgressHandler([&](TExportFolderThreadEx* w, const std::string&, const std::string&) {
    if (w->Position() >= 2) w->Terminate();
  });
  Export(worker);
  EXPECT_EQ(worker.ProgressState(), psCancelled);
  EXPECT_EQ(worker.SuccessCount(), 2);
  EXPECT_EQ(FilesInSideCar(worker.ResultFolder()), 2);
}

TEST_F(ExportWorker, FailureEndsWithStateFourAndNoResult) {
  dest_ += "/missing";
  TExportFolderThreadEx worker(&catalog_.Trees());
  Export(worker);
  EXPECT_EQ(worker.ProgressState(), psFailed);
  EXPECT_EQ(worker.ResultFolder(), "");
}

}  // namespace
}  // namespace plb
