// Replacing a photo whole (saving with EXIF, rewriting EXIF blocks): the new file keeps what the
// old one carried besides its bytes.
#include "images/codec/photo_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_env.h"

namespace plb {
namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(WritePhotoAtomically, TheNewFileKeepsModeOwnerAndExtendedAttributes) {
  const std::string path = test::TestRoot() + "/photo.jpg";
  std::ofstream(path, std::ios::binary) << "old bytes";
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  if (::setxattr(path.c_str(), "user.rating", "5", 1, 0) != 0) GTEST_SKIP() << "no user xattrs on this file system";
  ASSERT_EQ(::setxattr(path.c_str(), "user.comment", "by the sea", 10, 0), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  WritePhotoAtomically(path, "new bytes, longer than before");

  EXPECT_EQ(Read(path), "new bytes, longer than before");
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0604u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  char value[32] = {};
  ASSERT_EQ(::getxattr(path.c_str(), "user.rating", value, sizeof value), 1);
  EXPECT_EQ(std::string(value, 1), "5");
  ASSERT_EQ(::getxattr(path.c_str(), "user.comment", value, sizeof value), 10);
  EXPECT_EQ(std::string(value, 10), "by the sea");
}

}  // namespace
}  // namespace plb
