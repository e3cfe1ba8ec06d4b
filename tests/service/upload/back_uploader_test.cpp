// The re-upload queue's passes run directly: cache eviction by its 64-bit limit, and no request
// while the user is signed out or an upload session pauses the queue.
#include "service/upload/back_uploader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "../local_service_process.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "service/upload/upload_image_folder.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

void MakeFile(const std::string& path, size_t size, int age_minutes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(age_minutes));
}

class CacheSize : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(ImageLibFolder());
    book_ = ImageLibCacheFolder("h", "b");
    MakeFile(book_ + "/R1.jpg", 5000, 30);         // the oldest file, a full image
    MakeFile(book_ + "/R1_120_90.jpg", 1000, 20);  // a thumbnail
    MakeFile(book_ + "/R2_160_120.jpg", 1000, 10);  // a thumbnail still waiting to be sent
    ASSERT_TRUE(SaveBackUploadItem("u", "L1", "m", 2, "/src.jpg", book_ + "/R2_160_120.jpg", "R2", "b", "h", "mu"));
  }
  std::set<std::string> Left() const {
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(book_)) left.insert(e.path().filename().string());
    return left;
  }
  std::string book_;
};

TEST_F(CacheSize, EvictsThumbnailsFirstAndNeverWhatWaits) {
  const struct {
    int64_t limit;
    std::set<std::string> left;
  } cases[] = {
      {-1, {"R1.jpg", "R1_120_90.jpg", "R2_160_120.jpg"}},  // no limit
      {6000, {"R1.jpg", "R2_160_120.jpg"}},                 // one thumbnail is enough, though younger
      {0, {"R2_160_120.jpg"}},                              // everything that does not wait
  };
  for (const auto& c : cases) {
    SetUp();
    TPlumoraBackUploader queue(ImageLibBackUploadFolder(), ImageLibCacheRoot());
    ReStartPlumoraBackUploader();
    TBackUploadPassReport report;
    queue.CheckCacheSize(c.limit, report);
    EXPECT_EQ(Left(), c.left) << c.limit;
  }
}

TEST_F(CacheSize, ALimitOfFourGigabytesEvictsNothing) {
  // 4194304 kB in 32 bits would wrap to a limit of 0 and empty the cache every pass.
  const std::string session = "S", nowhere = "http://127.0.0.1:9/api/";  // nothing listens there
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
    v.session_id = session;
    v.base_url = nowhere;
    v.image_cache_limit = 4194304;
  });
  TPlumoraBackUploader queue(ImageLibBackUploadFolder(), ImageLibCacheRoot());
  ReStartPlumoraBackUploader();
  queue.RunPass();
  EXPECT_EQ(Left().size(), 3u);
}

TEST(BackUploader, SendsNothingWhileSignedOutOrPaused) {
  fs::remove_all(ImageLibFolder());
  test::LocalServiceProcess service;
  service.UseAsService();
  const std::string target = ImageLibCacheFolder("h", "b") + "/R9_120_90.jpg";
  MakeFile(target, 10, 1);
  ASSERT_TRUE(SaveBackUploadItem("u", "L9", "M-1", 1, "", target, "R9", "b", "h", "MU-1"));
  TPlumoraBackUploader queue(ImageLibBackUploadFolder(), ImageLibCacheRoot());
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.session_id.clear(); });
  ReStartPlumoraBackUploader();
  EXPECT_EQ(queue.RunPass().kept + queue.RunPass().sent, 0);
  const std::string session = "S-1";
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) { v.session_id = session; });
  ResetPlumoraBackUploader();  // an upload session runs
  queue.RunPass();
  EXPECT_TRUE(service.Requests().empty());
  EXPECT_TRUE(queue.HasPendingFolders());
  ReStartPlumoraBackUploader();
  const TBackUploadPassReport report = queue.RunPass();
  // The service knows no long session L9: it refuses it, and the item is dropped, not retried.
  EXPECT_EQ(report.dropped, 1);
  EXPECT_FALSE(service.Requests().empty());
}

// The first pass of a session compares the local albums of photo books with the service: a book
// it holds gets its title and preview; a book it lost keeps its album while files of it are
// cached (those are deleted), and loses the album once nothing is cached. Later passes of the
// same session do not ask again.
TEST(BackUploader, BookAlbumsFollowTheServiceOncePerSession) {
  fs::remove_all(ImageLibFolder());
  test::LocalServiceProcess service;
  service.UseAsService();
  TPlumoraUploadInfoItem book;
  ASSERT_TRUE(PLApi_StartUpload(book).Success);
  const std::string held = book.Get().plumora_id;

  TAlbumList albums;
  TAlbum* group = albums.Root(atAlbum);
  group->FindOrAddChild(held, true);
  TAlbum* cached = group->FindOrAddChild("B-lost-cached", true);
  cached->SetHostName("h");
  const std::string cached_file = ImageLibCacheFolder("h", "B-lost-cached") + "/R1_120_90.jpg";
  MakeFile(cached_file, 10, 1);
  group->FindOrAddChild("B-lost", true);
  // A name from an old catalog that would climb out of the cache folder if taken as a path.
  TAlbum* hostile = group->FindOrAddChild("..", true);
  hostile->SetHostName("..");

  TPlumoraBackUploader queue(ImageLibBackUploadFolder(), ImageLibCacheRoot());
  queue.SetAlbumList(&albums);
  ReStartPlumoraBackUploader();
  queue.RunPass();
  const auto asked = [&] {
    int count = 0;
    for (const auto& request : service.Requests()) count += request["path"] == "/api/checkPlumora.php";
    return count;
  };
  EXPECT_EQ(asked(), 1);
  ASSERT_NE(group->FindChild(held), nullptr);
  EXPECT_EQ(group->FindChild(held)->Caption(), "プルモラ " + held);
  EXPECT_NE(group->FindChild(held)->SourceText().find("book.html?plumoraid=" + held), std::string::npos);
  EXPECT_EQ(group->FindChild("B-lost-cached"), cached);
  EXPECT_FALSE(fs::exists(cached_file));
  EXPECT_EQ(group->FindChild("B-lost"), nullptr);
  EXPECT_EQ(group->FindChild(".."), nullptr);
  EXPECT_TRUE(fs::is_directory(ImageLibCacheRoot()));

  queue.RunPass();
  EXPECT_EQ(asked(), 1) << "asked again within one session";
  PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v.session_id = "S-2"; });
  queue.RunPass();
  EXPECT_EQ(asked(), 2);
  EXPECT_EQ(group->FindChild("B-lost-cached"), nullptr) << "nothing cached any more: the album goes";
  EXPECT_NE(group->FindChild(held), nullptr);
}

}  // namespace
}  // namespace plb
