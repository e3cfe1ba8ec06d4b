// The ".bu" item file: its exact layout, older versions, and files that are not items.
#include "service/upload/back_upload_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "support/test_env.h"

namespace plb {
namespace {

TPlumoraBackUploadItem Sample() {
  return TPlumoraBackUploadItem{.base_url = "u",
                                .long_session_id = "L1",
                                .machine_id = "m",
                                .machine_user_id = "mu",
                                .host_name = "h",
                                .plumora_id = "B",
                                .res_uuid = "R",
                                .full_image = 0,
                                .thumb_id = 3,
                                .target_file = "/t.jpg",
                                .source_file = "/s.jpg",
                                .item_file = ""};
}

std::string Text(const std::string& t) {
  std::string out(4, '\0');
  out[0] = static_cast<char>(t.size());
  out.append(t);
  return out;
}

// Joins parts by appending (chains of + trip a false warning of the compiler here).
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(parts), ...);
  return out;
}

std::string Head(uint32_t version) {
  std::string head = "Plumora BackUploader Item Data";
  head.resize(32, '\0');
  for (int i = 0; i < 4; ++i) head.push_back(static_cast<char>((version >> (8 * i)) & 0xFF));
  return head;
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(BackUploadItem, WritesTheExactLayout) {
  const std::string expected = Cat(Head(40963), Text("L1"), Text("h"), Text("B"), Text("R"), std::string("\0\3", 2),
                                   Text("/t.jpg"), Text("/s.jpg"), Text("u"), Text("m"), Text("mu"));
  EXPECT_EQ(Sample().Encode(), expected);
}

TEST(BackUploadItem, ReadsOlderAndNewerVersions) {
  const std::string common = Cat(Text("L1"), Text("h"), Text("B"), Text("R"), std::string("\1\0", 2), Text("/t.jpg"));
  const std::string newest = Cat(Text("/s.jpg"), Text("u"), Text("m"), Text("mu"));
  const struct {
    uint32_t version;
    std::string tail;
    std::string source, base;
  } cases[] = {
      {40961, "", "", ""},
      {40962, Text("/s.jpg"), "/s.jpg", ""},
      {40963, newest, "/s.jpg", "u"},
      {41000, newest, "/s.jpg", "u"},
  };
  for (const auto& c : cases) {
    const std::string bytes = Cat(Head(c.version), common, c.tail);
    TPlumoraBackUploadItem item;
    item.Decode(Bytes(bytes));
    EXPECT_EQ(item.res_uuid, "R") << c.version;
    EXPECT_EQ(item.full_image, 1) << c.version;
    EXPECT_EQ(item.source_file, c.source) << c.version;
    EXPECT_EQ(item.base_url, c.base) << c.version;
  }
}

TEST(BackUploadItem, RefusesWhatIsNoItem) {
  const std::string good = Sample().Encode();
  std::string wrong_signature = good;
  wrong_signature[0] = 'X';
  std::string huge_length = good;
  huge_length[36] = '\xff';
  huge_length[39] = '\x7f';  // a 2 GB text in a small file
  const std::string cases[] = {"", good.substr(0, 20), good.substr(0, good.size() - 1), wrong_signature, huge_length,
                               Cat(Head(40000), good.substr(36))};
  for (const std::string& bytes : cases) {
    TPlumoraBackUploadItem item;
    EXPECT_ANY_THROW(item.Decode(Bytes(bytes))) << bytes.size();
  }
  // The signature is compared without regard to case.
  std::string lower = good;
  lower[0] = 'p';
  TPlumoraBackUploadItem item;
  EXPECT_NO_THROW(item.Decode(Bytes(lower)));
}

TEST(BackUploadItem, SavesUnderItsNameAndLoadsBack) {
  const std::string folder = test::TestRoot() + "/bu";
  TPlumoraBackUploadItem item = Sample();
  EXPECT_THROW(item.SaveToFile(folder + "/" + BackUploadItemFileName("R", 3)), EPlumoraBackUploadItemError);
  std::filesystem::create_directories(folder);
  item.SaveToFile(folder + "/" + BackUploadItemFileName("R", 3));
  TPlumoraBackUploadItem loaded;
  ASSERT_TRUE(loaded.LoadFromFile(folder + "/R_3.bu"));
  EXPECT_EQ(loaded.Encode(), item.Encode());
  EXPECT_EQ(BackUploadItemFileName("R", 0), "R_org.bu");
  EXPECT_EQ(BackUploadItemFileName("R", -1), "R_org.bu");
  EXPECT_EQ(BackUploadItemFileName("../R", 7), "..%2FR_7.bu");
  // Nothing but the item is left in the folder: no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
  std::ofstream(folder + "/bad.bu") << "junk";
  EXPECT_FALSE(loaded.LoadFromFile(folder + "/bad.bu"));
}

}  // namespace
}  // namespace plb
