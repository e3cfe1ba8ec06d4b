// The output dialogs as real widgets (offscreen): each walked through with real photos, and a
// picture of each page kept in <build>/test-artifacts/output-dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/codec/image_load.h"
#include "shell/main_window.h"
#include "shell/output/collage_form.h"
#include "shell/output/export_folder_form.h"
#include "shell/output/print_form.h"
#include "shell/output/save_image_form.h"
#include "shell/output/save_images_form.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "support/run_command.h"
#include "support/test_env.h"
#include "support/test_files.h"
#include "support/volume_catalog.h"

namespace plb::shell {
namespace {

namespace fs = std::filesystem;

// Keeps a picture of the widget as a test artifact.
void Keep(QWidget& widget, const std::string& name) {
  EXPECT_TRUE(test::KeepPicture(widget, "output-dialogs", name)) << name;
}

class OutputDialogs : public testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    InstallCatalogImageReader();
    pics_ = catalog_.Volume() + "/pics";
    fs::create_directories(pics_);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      fs::copy_file(test::TestDataDir() + "/exif-samples/jpg/Canon_40D.jpg", pics_ + "/" + name);
    folder_ = catalog_.ScannedFolder("pics", &items_);
    for (TCatalogItem* item : items_) item->ReadDimensions();
    out_ = catalog_.Volume() + "/out";
    fs::create_directories(out_);
  }

  QtUiDispatcher dispatcher_;
  platform::ScopedUiDispatcher installed_{dispatcher_};
  test::VolumeCatalog catalog_;
  std::string pics_, out_;
  TFolder* folder_ = nullptr;
  std::vector<TCatalogItem*> items_;
};

class AnsweringSaveForm : public TSaveImagesForm {
 public:
  using TSaveImagesForm::TSaveImagesForm;
  QStringList asked;
  bool answer = true;
  bool AskOverwrite(const QString& text) override {
    asked << text;
    return answer;
  }
};

TEST_F(OutputDialogs, SaveImagesWizardSavesEveryPhoto) {
  test::WriteFile(out_ + "/Img002.jpg", "old");
  AnsweringSaveForm form(items_, 90);
  form.show();
  form.SelectFolder(QString::fromStdString(out_));
  ASSERT_TRUE(test::PumpUntil([&] { return form.NextButton()->isEnabled(); }));
  EXPECT_EQ(form.Title(), QStringLiteral("写真を保存するフォルダを指定して下さい。"));
  Keep(form, "save-images-1-folder");
  form.Next();
  EXPECT_EQ(form.Page(), TSaveImagesForm::TSOptions);
  EXPECT_EQ(form.SampleNames(), QStringLiteral("Img001.jpg , Img002.jpg , Img003.jpg ..."));
  form.findChild<QLineEdit*>("EditName")->setText("../x");
  EXPECT_FALSE(form.NextButton()->isEnabled()) << "a name that leaves the folder";
  form.findChild<QLineEdit*>("EditName")->setText("Img");
  Keep(form, "save-images-2-options");
  form.answer = false;
  form.Next();
  EXPECT_EQ(form.asked.size(), 1) << "only the first taken name is asked about";
  EXPECT_EQ(form.Page(), TSaveImagesForm::TSOptions) << "No stays on the options page";
  form.answer = true;
  form.Next();
  EXPECT_EQ(form.Page(), TSaveImagesForm::TSConfirm);
  Keep(form, "save-images-3-confirm");
  form.Next();
  ASSERT_TRUE(test::PumpUntil([&] { return form.Page() == TSaveImagesForm::TSDone; }));
  EXPECT_TRUE(form.Completed());
  EXPECT_EQ(form.ProcessedCount(), 3);
  EXPECT_EQ(form.Title(), QStringLiteral("写真を保存を終了しました。"));
  Keep(form, "save-images-5-done");
  for (const char* name : {"Img001.jpg", "Img002.jpg", "Img003.jpg"})
    EXPECT_GT(fs::file_size(out_ + "/" + name), 1000u) << name;
}

TEST_F(OutputDialogs, SaveImagesDigitsCannotGoBelowTheCount) {
  std::vector<TCatalogItem*> many(1500, items_[0]);
  TSaveImagesForm form(many, 90);
  EXPECT_EQ(form.findChild<QSpinBox*>("SpinDigits")->minimum(), 4);
  EXPECT_EQ(form.SampleNames(), QStringLiteral("Img0001.jpg , Img0002.jpg , Img0003.jpg ..."));
}

class AnsweringExportForm : public TExportFolderFormEx {
 public:
  using TExportFolderFormEx::TExportFolderFormEx;
  QStringList warned;
  int64_t free = int64_t{1} << 40;
  void Warn(const QString& text) override { warned << text; }
  int64_t FreeBytes(const QString&) const override { return free; }
  bool AskStop() override { return true; }
};

TEST_F(OutputDialogs, ExportWizardCopiesTheTree) {
  AnsweringExportForm form(folder_, &catalog_.Trees());
  ASSERT_TRUE(form.HasItems());
  form.show();
  form.SelectFolder(QString::fromStdString(out_));
  ASSERT_TRUE(test::PumpUntil([&] { return form.NextButton()->isEnabled(); }));
  EXPECT_EQ(form.Title(), QStringLiteral("「%1」を出力するフォルダを指定して下さい。").arg(QString::fromStdString(pics_)));
  Keep(form, "export-1-folder");
  form.free = 0;
  form.Next();
  ASSERT_EQ(form.warned.size(), 1);
  EXPECT_TRUE(form.warned[0].startsWith(QStringLiteral("ディスクの空き容量が不足しています。")));
  EXPECT_EQ(form.Page(), TExportFolderFormEx::TSFolder);
  form.free = int64_t{1} << 40;
  form.Next();
  EXPECT_EQ(form.Page(), TExportFolderFormEx::TSConfirm);
  Keep(form, "export-2-confirm");
  form.Next();
  ASSERT_TRUE(test::PumpUntil([&] { return form.Page() == TExportFolderFormEx::TSDone; }));
  EXPECT_EQ(form.CopiedCount(), 3);
  EXPECT_EQ(form.OutputFolder(), QString::fromStdString(out_ + "/pics"));
  EXPECT_EQ(form.Title(), QStringLiteral("「%1」の出力が完了しました。").arg(QString::fromStdString(pics_)));
  Keep(form, "export-4-done");
  EXPECT_TRUE(fs::exists(out_ + "/pics/OstraExportInfo.xml"));
}

TEST_F(OutputDialogs, PrintToolPrintsIntoPdf) {
  std::vector<TCatalogItem*> seven;
  for (int i = 0; i < 7; ++i) seven.push_back(items_[i % 3]);
  TFramePrint form(seven);
  form.show();
  form.findChild<QSpinBox*>("SpinCols")->setValue(2);
  form.findChild<QSpinBox*>("SpinRows")->setValue(2);
  form.findChild<QCheckBox*>("CBFileName")->setChecked(true);
  Keep(form, "print");
  const QString pdf = QString::fromStdString(out_ + "/print.pdf");
  ASSERT_TRUE(form.PrintToPdf(pdf));
  ASSERT_TRUE(fs::exists(pdf.toStdString()));
  const test::CommandRun info = test::RunCommand("pdfinfo '" + pdf.toStdString() + "' 2>/dev/null");
  if (info.status == 0) {
    EXPECT_NE(info.out.find("Pages:           2"), std::string::npos) << info.out;
  }
}

TEST_F(OutputDialogs, CollageToolRendersAndSavesUnderFreeNames) {
  TFrameCollage form(items_, 90);
  form.show();
  ASSERT_TRUE(test::PumpUntil([&] { return !form.Making() && !form.Picture().isNull(); }));
  EXPECT_EQ(form.Picture().size(), QSize(1600, 1200));
  Keep(form, "collage");
  const QString folder = QString::fromStdString(out_ + "/collages");
  EXPECT_EQ(form.SaveTo(folder), folder + "/Collage.jpg");
  EXPECT_EQ(form.SaveTo(folder), folder + "/Collage(1).jpg");
}

TEST_F(OutputDialogs, SaveOneImageLinksSizesAndTakesEditsOffItsOwnFile) {
  TCatalogItem* item = items_[0];  // 100 × 68
  item->SetColor({1, 30, 0, 100, 0, 0, 0, 0, 0, 0});
  TSaveImageForm form(item, 90);
  form.show();
  Keep(form, "save-image");
  form.ResizeOption()->setChecked(true);
  form.WidthBox()->setValue(50);
  EXPECT_EQ(form.HeightBox()->value(), 34);
  ASSERT_TRUE(form.SaveTo(QString::fromStdString(out_ + "/other.jpg")));
  EXPECT_TRUE(item->Color().enabled) << "another name leaves the item as it is";
  ASSERT_TRUE(form.SaveTo(QString::fromStdString(item->FullPath())));
  EXPECT_FALSE(item->Color().enabled) << "the edits are now in the pixels";
  EXPECT_EQ(GetImageInfo(item->FullPath(), 1).width, 50);
}

TEST(OutputMenu, MainWindowOffersTheOutputCommands) {
  test::QtApp();
  TPlumoraMain2 window(QStringLiteral("Plumora Browser"));
  for (const char* name : {"AcFileSave", "AcToolPrint", "AcFileExportFolder", "AcToolCollage"})
    EXPECT_NE(window.findChild<QAction*>(name), nullptr) << name;
}

}  // namespace
}  // namespace plb::shell
