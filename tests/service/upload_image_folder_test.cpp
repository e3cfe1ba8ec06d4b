// The image-library folder layout and its cross-process read/write holds.
#include "service/upload/upload_image_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/test_env.h"

namespace plb {
namespace {

TEST(ImageLib, FolderLayoutAndHostileNames) {
  const std::string base = test::TestRoot() + "/data/Morvane/ImageLib";
  EXPECT_EQ(ImageLibFolder(), base);
  EXPECT_EQ(ImageLibBackUploadFolder(), base + "/BackUpload");
  EXPECT_EQ(ImageLibBackUploadFolder("abc"), base + "/BackUpload/abc");
  EXPECT_EQ(ImageLibCachePath("host", "book", "img1"), base + "/Cache/host/book/img1.jpg");
  EXPECT_EQ(ImageLibCachePath("", "", "img1"), base + "/Cache/Unknown/Unknown/img1.jpg");
  // Names from the service never leave the Cache folder, however they are spelt.
  EXPECT_EQ(ImageLibCachePath("..", "b", "n"), base + "/Cache/Unknown/b/n.jpg");
  EXPECT_EQ(ImageLibCachePath("a", "x/y", "n"), base + "/Cache/a/x%2Fy/n.jpg");
  EXPECT_EQ(ImageLibCachePath("a", "b", "../n"), base + "/Cache/a/b/..%2Fn.jpg");
  EXPECT_EQ(ImageLibCachePath("a", ".", "n"), base + "/Cache/a/Unknown/n.jpg");
  EXPECT_EQ(ImageLibBackUploadFolder("../../x"), base + "/BackUpload/..%2F..%2Fx");
  EXPECT_THROW(ImageLibCachePath("a", "b", ""), EImageLibError);
}

TEST(ImageLib, ReadHoldsShareAndAWriteHoldExcludes) {
  ASSERT_NE(ImageLibBeginRead("g", "s", "a", 500), 0);
  ASSERT_NE(ImageLibBeginRead("g", "s", "a", 500), 0);
  EXPECT_EQ(ImageLibBeginWrite("g", "s", "a", 50), 0);
  EXPECT_NE(ImageLibBeginWrite("g", "s", "other", 50), 0);  // another key is free
  ImageLibEndRead("g", "s", "a");
  EXPECT_EQ(ImageLibBeginWrite("g", "s", "a", 50), 0);  // one read hold remains
  ImageLibEndRead("g", "s", "a");
  ASSERT_NE(ImageLibBeginWrite("g", "s", "a", 50), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ImageLibBeginRead("g", "s", "a", 200), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
  ImageLibEndWrite("g", "s", "a");
  EXPECT_NE(ImageLibBeginRead("g", "s", "a", 0), 0);
  ImageLibEndRead("g", "s", "a");
  ImageLibEndRead("g", "s", "never held");  // an End without a hold does nothing
}

TEST(ImageLib, AHoldOfAnotherProcessExcludesUntilItEnds) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int got = ImageLibBeginWrite("host", "book", "photo", 1000);
    const char c = got ? '1' : '0';
    (void)!write(ready[1], &c, 1);
    usleep(300 * 1000);
    _exit(0);  // ends holding: the kernel releases the lock
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  EXPECT_EQ(ImageLibBeginRead("host", "book", "photo", 50), 0);
  EXPECT_NE(ImageLibBeginRead("host", "book", "photo", -1), 0);  // waits for the child's end
  int status = 0;
  waitpid(child, &status, 0);
  ImageLibEndRead("host", "book", "photo");
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
}  // namespace plb
