#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/codec/image_load.h"
#include "output/save/photo_save.h"
#include "output/save/save_images_thread.h"
#include "output/save/save_names.h"
#include "output/save/save_targets.h"
#include "platform/atomic_file.h"
#include "platform/ui_dispatcher.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string Sample(const std::string& name) { return test::TestDataDir() + "/exif-samples/jpg/" + name; }

TSize SizeOfJpeg(const std::string& path) {
  TImageInfoRec info = GetImageInfo(path, 1);
  return TSize{info.width, info.height};
}

TEST(SaveNames, NumbersNamesAndTexts) {
  EXPECT_EQ(SaveImageFileName("Img", 3, 0), "Img001.jpg");
  EXPECT_EQ(SaveImageFileName("Img", 4, 1499), "Img1500.jpg");
  EXPECT_EQ(SaveImageFileName("旅", 1, 11), "旅12.jpg") << "more digits than asked when the number needs them";
  EXPECT_EQ(SampleSaveNames("Img", 3), "Img001.jpg , Img002.jpg , Img003.jpg ...");
  struct Case {
    size_t count;
    int digits;
  };
  for (const Case& c : {Case{0, 1}, Case{1, 1}, Case{9, 1}, Case{10, 2}, Case{999, 3}, Case{1500, 4}, Case{10000, 5}})
    EXPECT_EQ(MinimumDigitCount(c.count), c.digits) << c.count;
  EXPECT_EQ(SaveSizeText(false, 10, 20, true), "写真のサイズは変更しない");
  EXPECT_EQ(SaveSizeText(true, 800, 600, true), "800 x 600 (縦横比を保持する。)");
  EXPECT_EQ(SaveSizeText(true, 800, 600, false), "800 x 600");
}

TEST(SaveNames, CommonNamesThatLeaveTheFolderAreRefused) {
  for (const std::string& bad : std::vector<std::string>{"../x", "a/b", "/etc/x", "x/", std::string("a\0b", 3), std::string(252, 'a')})
    EXPECT_NE(CommonNameFault(bad, 3, 10), "") << bad;
  for (const std::string& good : std::vector<std::string>{"Img", "", "..", "写真 2024", std::string(248, 'a')})
    EXPECT_EQ(CommonNameFault(good, 3, 10), "") << good;
}

class SaveWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCatalogImageReader();
    fs::create_directories(catalog_.Volume() + "/pics");
    fs::create_directories(out_);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      fs::copy_file(Sample("Canon_40D.jpg"), catalog_.Volume() + "/pics/" + name);  // 100 x 68
    catalog_.ScannedFolder("pics", &items_);
    ASSERT_EQ(items_.size(), 3u);
    for (TCatalogItem* item : items_) item->ReadDimensions();
  }
  void TearDown() override { SetAtomicWriteFaultForTesting(nullptr); }

  // Runs the worker on this thread; answers the paths reported.
  std::vector<std::string> Run(TSaveImagesThread& worker, const TSaveOptions& options = {}) {
    std::vector<std::string> reported;
    worker.SetDestination(out_);
    worker.SetItems(items_);
    worker.SetOptions(options);
    worker.SetItemSavedHandler([&](TCatalogItem*, const std::string& path) { reported.push_back(path); });
    worker.Execute();
    return reported;
  }

  test::VolumeCatalog catalog_;
  std::vector<TCatalogItem*> items_;
  std::string out_ = test::TestRoot() + "/out";
};

// Trimming, then orientation, then the size; the colour adjustment reaches the pixels.
TEST_F(SaveWorker, EditsGoIntoThePixelsInOrder) {
  items_[0]->SetTrimming(true, {10, 10, 60, 40}, 0, 0);  // 50 x 30
  items_[0]->SetOrientation(6);                           // upright: 30 x 50
  items_[1]->SetColor({1, 50, 0, 100, 0, 0, 0, 0, 0, 0});  // brighter
  TSaveImagesThread plain;
  Run(plain);
  EXPECT_EQ(SizeOfJpeg(out_ + "/Img001.jpg"), (TSize{30, 50}));
  EXPECT_EQ(SizeOfJpeg(out_ + "/Img002.jpg"), (TSize{100, 68}));
  EXPECT_NE(test::ReadFile(out_ + "/Img002.jpg"), test::ReadFile(out_ + "/Img003.jpg"));

  TSaveOptions box;
  box.resize = true;
  box.width = box.height = 40;
  TSaveImagesThread fitted;
  Run(fitted, box);
  EXPECT_EQ(SizeOfJpeg(out_ + "/Img001.jpg"), (TSize{24, 40}));
  EXPECT_EQ(SizeOfJpeg(out_ + "/Img002.jpg"), (TSize{40, 27}));
  box.keepAspect = false;
  TSaveImagesThread exact;
  Run(exact, box);
  EXPECT_EQ(SizeOfJpeg(out_ + "/Img002.jpg"), (TSize{40, 40})) << "the box filled, the centre kept";
  EXPECT_TRUE(exact.Completed());
  EXPECT_EQ(exact.SavedCount(), 3);
}

// A photo whose file is gone is skipped without a report and without a file under its number;
// the others are saved, and the run does not count as complete.
TEST_F(SaveWorker, MissingSourceIsSkipped) {
  fs::remove(items_[1]->FullPath());
  TSaveImagesThread worker;
  const auto reported = Run(worker);
  EXPECT_EQ(reported, (std::vector<std::string>{out_ + "/Img001.jpg", out_ + "/Img003.jpg"}));
  EXPECT_FALSE(fs::exists(out_ + "/Img002.jpg"));
  EXPECT_EQ(worker.SavedCount(), 2);
  EXPECT_EQ(worker.FailedCount(), 1);
  EXPECT_FALSE(worker.Completed());
}

TEST_F(SaveWorker, MissingDestinationIsNoSuccess) {
  out_ = test::TestRoot() + "/gone";
  TSaveImagesThread worker;
  EXPECT_TRUE(Run(worker).empty());
  EXPECT_FALSE(worker.Completed());
  EXPECT_FALSE(fs::exists(out_));
}

// A write that fails at its last step leaves the file that was there, and no debris.
TEST_F(SaveWorker, FailedWriteKeepsTheOldFile) {
  test::WriteFile(out_ + "/Img002.jpg", "old photo");
  SetAtomicWriteFaultForTesting([](AtomicWriteStep step, const std::string& path) {
    return step == AtomicWriteStep::kRename && path.ends_with("Img002.jpg") ? ENOSPC : 0;
  });
  TSaveImagesThread worker;
  Run(worker);
  EXPECT_EQ(test::ReadFile(out_ + "/Img002.jpg"), "old photo");
  EXPECT_EQ(worker.FailedCount(), 1);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(out_)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Img001.jpg", "Img002.jpg", "Img003.jpg"}));
}

TEST_F(SaveWorker, StopsAtTheNextPhotoWhenAsked) {
  TSaveImagesThread worker;
  worker.SetDestination(out_);
  worker.SetItems(items_);
  int reports = 0;
  worker.SetItemSavedHandler([&](TCatalogItem*, const std::string&) {
    ++reports;
    worker.Terminate();
  });
  worker.Execute();
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(fs::exists(out_ + "/Img001.jpg"));
  EXPECT_FALSE(fs::exists(out_ + "/Img002.jpg"));
  EXPECT_FALSE(worker.Completed());
}

// On its own thread the worker reports on the UI thread, and the end handler comes last.
TEST_F(SaveWorker, ReportsReachTheUiThread) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  TSaveImagesThread worker;
  worker.SetDestination(out_);
  worker.SetItems(items_);
  std::vector<bool> onUi;
  bool ended = false;
  worker.SetItemSavedHandler([&](TCatalogItem*, const std::string&) { onUi.push_back(ui.IsUiThread()); });
  worker.SetEndHandler([&] { ended = true; });
  worker.Start();
  for (int i = 0; i < 500 && !ended; ++i) ui.PumpFor(20);
  ASSERT_TRUE(ended);
  EXPECT_EQ(onUi, (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(worker.Completed());
}

TEST_F(SaveWorker, RefusesToStartWithANameOutsideTheFolder) {
  TSaveImagesThread worker;
  worker.SetDestination(out_);
  worker.SetItems(items_);
  worker.SetCommonName("../x", 3);
  EXPECT_THROW(worker.Start(), EInvalidArgument);
  EXPECT_FALSE(fs::exists(test::TestRoot() + "/x001.jpg"));
}

// Only the first taken name is asked about; a target that is one of the sources is found.
TEST_F(SaveWorker, TakenNamesAndOwnFiles) {
  EXPECT_EQ(FirstExistingSaveName(out_, "Img", 3, 3), "");
  test::WriteFile(out_ + "/Img003.jpg");
  test::WriteFile(out_ + "/Img002.jpg");
  EXPECT_EQ(FirstExistingSaveName(out_, "Img", 3, 3), "Img002.jpg");
  EXPECT_EQ(FirstExistingSaveName(out_, "Img", 3, 1), "") << "names beyond the count are not asked about";
  EXPECT_EQ(SourceReplacedBySave(out_, "Img", 3, items_), "");
  const std::string pics = catalog_.Volume() + "/pics";
  EXPECT_EQ(SourceReplacedBySave(pics, "", 1, items_), "");
  fs::create_symlink(items_[2]->FullPath(), out_ + "/Img001.jpg");
  EXPECT_EQ(SourceReplacedBySave(out_, "Img", 3, items_), items_[2]->FullPath()) << "a link to a source counts";
}

TEST_F(SaveWorker, ProposedNameForOnePhoto) {
  const std::string pics = catalog_.Volume() + "/pics";
  test::WriteFile(pics + "/IMG_1.CR2", "raw");
  std::vector<TCatalogItem*> items;
  TFolder* folder = catalog_.ScannedFolder("pics", &items);
  TCatalogItem* raw = folder->FindItem("IMG_1.CR2");
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(ProposedSaveName(*raw), "IMG_1.jpg");
  test::WriteFile(pics + "/IMG_1.jpg");
  EXPECT_EQ(ProposedSaveName(*raw), "IMG_1(1).jpg");
  EXPECT_EQ(ProposedSaveName(*items_[0]), "a(1).jpg") << "a JPEG proposes its own name, taken by itself";
}

}  // namespace
}  // namespace plb
