// A sound file sent as a book's music from the music page: against the real local service.
#include "service/upload/bgm_uploader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../local_service_process.h"
#include "service/api/plumora_api.h"
#include "service/upload/sound_file.h"
#include "support/test_env.h"

namespace plb {
namespace {

std::string WriteSound(const std::string& name, uint64_t size) {
  const std::string path = test::TestRoot() + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out << std::string(size, 'm');
  return path;
}

TEST(BgmUploader, SendsTheSongAndAnswersTheBooksPageAsTheNextCommand) {
  test::LocalServiceProcess service;
  service.UseAsService();
  // A book to add music to.
  TPlumoraUploadInfoItem session;
  session.Update([](TPlumoraUploadInfoItem::Values& v) { v.photo_count = 1; });
  ASSERT_TRUE(PLApi_StartUpload(session).Success);
  const std::string book = session.Get().plumora_id;

  uint64_t sent = 0, total = 0;
  TBgmUploader uploader;
  const TBgmUploader::Result result = uploader.Upload(book, WriteSound("夜の歌.mp3", 5000), [&](uint64_t s, uint64_t t) {
    sent = s;
    total = t;
  });
  ASSERT_TRUE(result.success) << result.message;
  EXPECT_EQ(result.next_command, "\"command=startpage\",\"pageurl=" + service.BaseUrl() + "book.html?plumoraid=" + book + "\"");
  EXPECT_EQ(service.State()["books"][book]["music"].size(), 1u);
  EXPECT_GT(total, 5000u);
  EXPECT_EQ(sent, total);
}

TEST(BgmUploader, RefusesWhatCannotBeSentWithoutAskingTheService) {
  test::LocalServiceProcess service;
  service.UseAsService();
  const struct {
    std::string book, path, message;
  } cases[] = {
      {"", WriteSound("a.mp3", 10), "音楽を追加するプルモラが選ばれていません。"},
      {"B0001", test::TestRoot() + "/missing.mp3", "音楽ファイルが見つかりません。"},
      {"B0001", test::TestRoot(), "音楽ファイルが見つかりません。"},  // a folder
      {"B0001", WriteSound("empty.mp3", 0), "音楽ファイルが空です。"},
      {"B0001", WriteSound("huge.mp3", kMaxSoundFileBytes + 1), "音楽ファイルが大きすぎます（100MBまで）。"},
  };
  for (const auto& c : cases) {
    const TBgmUploader::Result result = TBgmUploader().Upload(c.book, c.path);
    EXPECT_FALSE(result.success) << c.path;
    EXPECT_EQ(result.message, c.message) << c.path;
  }
  EXPECT_TRUE(service.Requests().empty()) << service.Requests();
  std::filesystem::remove(test::TestRoot() + "/huge.mp3");
}

TEST(BgmUploader, AnUnknownBookIsAFailureWithTheServicesWord) {
  test::LocalServiceProcess service;
  service.UseAsService();
  const TBgmUploader::Result result = TBgmUploader().Upload("B0404", WriteSound("a.mp3", 10));
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.message.rfind("音楽を追加できませんでした。", 0), 0u) << result.message;
  EXPECT_TRUE(result.next_command.empty());
}

}  // namespace
}  // namespace plb
