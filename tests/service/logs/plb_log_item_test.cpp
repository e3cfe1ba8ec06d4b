// The usage counters: page time accounting, the hand-over of a period as a ".upl" file, and the
// counter file read back from disk, where anything may be found.
#include "service/logs/plb_log_item.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/record_stream.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

constexpr double kSecond = 1.0 / 86400;

class Counters : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = test::TestRoot() + "/log";
    fs::create_directories(folder_);
    item_.Initialize(folder_);
  }
  std::string Slurp(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  double now_ = 45000.5;
  TPLBLogItem item_{[this] { return now_; }};
  std::string folder_;
};

TEST_F(Counters, RepeatedPageCountsEachShowButAddsTimeFromTheFirstSwitch) {
  now_ += 10 * kSecond;  // 10 s on the service page
  item_.PageShown(1);
  now_ += 20 * kSecond;
  item_.PageShown(1);
  now_ += 30 * kSecond;
  item_.PageShown(1);
  now_ += 5 * kSecond;
  item_.PageShown(0);
  EXPECT_EQ(item_.GetPageCount(1), 3);
  EXPECT_EQ(item_.GetPageSecond(1), 55);
  EXPECT_EQ(item_.GetPageCount(0), 1);
  EXPECT_EQ(item_.GetPageSecond(0), 10);
  // Writing brings the current page up to now; page 2 is never switched to.
  now_ += 7 * kSecond;
  TPLBLogItem copy;
  copy.Decode(item_.Encode());
  EXPECT_EQ(copy.GetPageSecond(0), 17);
  EXPECT_EQ(copy.GetPageCount(2), 0);
  EXPECT_EQ(copy.GetPageSecond(2), 0);
}

TEST_F(Counters, SpanSecondsDropMillisecondsAndNeverGoNegative) {
  EXPECT_EQ(SpanSeconds(1.0 + 2.0 / 24 + 3.0 / 1440 + 4.9 * kSecond), 86400 + 7200 + 180 + 4);
  EXPECT_EQ(SpanSeconds(-1), 0);
  EXPECT_EQ(SpanSeconds(0), 0);
  EXPECT_EQ(SpanSeconds(1e300), 2147483647);
  EXPECT_EQ(SpanSeconds(std::nan("")), 0);
}

TEST_F(Counters, ZeroPhotoUploadAddsNoRecord) {
  item_.Uploaded(0, 30);
  item_.Uploaded(4, 12);
  item_.Uploaded(2, 8);
  const TUploadTimeRecord record = item_.GetUploadTimeRecord();
  EXPECT_EQ(record.count, 2);
  EXPECT_EQ(record.total_seconds, 20);
  EXPECT_EQ(record.photo_counts, (std::vector<int32_t>{4, 2}));
  EXPECT_EQ(record.seconds, (std::vector<int32_t>{12, 8}));
}

TEST_F(Counters, PeriodHandOverWritesTheOldPeriodOnce) {
  item_.SetLogUrl("http://127.0.0.1/log1");
  item_.SetLogLongSessionId("P1");  // the first id: nothing to hand over
  EXPECT_FALSE(fs::exists(folder_ + "/P1.upl"));
  item_.PageShown(1);
  item_.SetLogLongSessionId("P1");  // the same id: nothing happens
  EXPECT_FALSE(fs::exists(folder_ + "/P1.upl"));
  EXPECT_EQ(item_.GetPageCount(1), 1);

  item_.SetLogUrl("http://127.0.0.1/log2");
  item_.SetLogLongSessionId("P2");
  ASSERT_TRUE(fs::exists(folder_ + "/P1.upl"));
  EXPECT_EQ(item_.GetPageCount(1), 0) << "counters reset once written";
  EXPECT_EQ(item_.LogLongSessionId(), "P2");
  TPLBLogItem sent;
  ASSERT_TRUE(sent.InportDataFromFile(folder_ + "/P1.upl"));
  EXPECT_EQ(sent.LogLongSessionId(), "P1");
  EXPECT_EQ(sent.LogUrl(), "http://127.0.0.1/log2") << "the URL the information has just set";
  EXPECT_EQ(sent.GetPageCount(1), 1);

  // While "P2.upl" still waits, a new period keeps counting under the new id.
  item_.PageShown(1);
  fs::copy_file(folder_ + "/P1.upl", folder_ + "/P2.upl");
  const std::string waiting = Slurp(folder_ + "/P2.upl");
  item_.SetLogLongSessionId("P3");
  EXPECT_EQ(Slurp(folder_ + "/P2.upl"), waiting);
  EXPECT_EQ(item_.GetPageCount(1), 1);
  EXPECT_EQ(item_.LogLongSessionId(), "P3");
}

TEST_F(Counters, ServiceIdCannotNameAFileOutsideTheLogFolder) {
  item_.SetLogUrl("http://127.0.0.1/log");
  item_.SetLogLongSessionId("../../escape");
  item_.SetLogLongSessionId("next");
  EXPECT_FALSE(fs::exists(test::TestRoot() + "/escape.upl"));
  int upl = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) upl += entry.path().extension() == ".upl";
  EXPECT_EQ(upl, 1);
}

TEST_F(Counters, CounterFileRoundTripsByteForByteAcrossRuns) {
  item_.SetLogUrl("http://127.0.0.1/ログ");
  item_.SetLogLongSessionId("P1");
  item_.PageShown(1);
  now_ += 3 * kSecond;
  item_.Uploaded(5, 61);
  item_.Finalize();
  const std::string written = Slurp(folder_ + "/PLBLOG");
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.substr(0, 4), std::string("\x01\xA0\0\0", 4));

  TPLBLogItem next_run{[this] { return now_; }};
  next_run.Initialize(folder_);
  EXPECT_EQ(next_run.LogLongSessionId(), "P1");
  EXPECT_EQ(next_run.GetPageSecond(1), 3);
  EXPECT_EQ(next_run.GetUploadTimeRecord().total_seconds, 61);
  next_run.Finalize();
  EXPECT_EQ(Slurp(folder_ + "/PLBLOG"), written);
}

// Files found on disk: each is refused or read as far as it is sound, without a crash or a
// huge allocation, and what was read before the fault is kept.
TEST_F(Counters, DamagedFilesAreReadAsFarAsTheyAreSound) {
  const auto encode = [](auto&& fill) {
    std::string bytes;
    RecordWriter out(bytes);
    fill(out);
    out.Flush();
    return bytes;
  };
  const std::string header = encode([](RecordWriter& out) {
    out.U32(kPLBLogVersion);
    out.Text("http://u");
    out.Text("P9");
    out.F64(45000);
    for (int page = 0; page < 3; ++page) {
      out.I32(page + 1);
      out.F64(0.5);
    }
  });
  const struct {
    const char* name;
    std::string bytes;
    std::string id;     // the period id read
    int records;
  } cases[] = {
      {"wrong version", encode([](RecordWriter& out) { out.U32(40960); }), "", 0},
      {"empty", "", "", 0},
      {"huge text length", encode([](RecordWriter& out) {
         out.U32(kPLBLogVersion);
         out.U32(0x7ffffff0);
       }), "", 0},
      {"cut in the counters", header.substr(0, header.size() - 3), "P9", 0},
      {"huge record count", header + encode([](RecordWriter& out) { out.U32(0x7fffffff); }), "P9", 0},
      {"wrong record version", header + encode([](RecordWriter& out) {
         out.U32(2);
         out.U32(kPLBLogVersion);
         out.I32(3);
         out.I32(4);
         out.U32(7);
         out.I32(1);
         out.I32(1);
       }), "P9", 1},
      {"whole", header + encode([](RecordWriter& out) {
         out.U32(1);
         out.U32(kPLBLogVersion);
         out.I32(3);
         out.I32(4);
       }), "P9", 1},
  };
  for (const auto& c : cases) {
    const std::string path = folder_ + "/case.upl";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
    TPLBLogItem item;
    const bool whole = item.InportDataFromFile(path);
    EXPECT_EQ(whole, std::string(c.name) == "whole") << c.name;
    EXPECT_EQ(item.LogLongSessionId(), c.id) << c.name;
    EXPECT_EQ(item.GetUploadTimeRecord().count, c.records) << c.name;
  }
  // The version fault carries its own text.
  TPLBLogItem item;
  try {
    item.Decode(encode([](RecordWriter& out) { out.U32(7); }));
    ADD_FAILURE() << "no error";
  } catch (const EPLBLogItemError& e) {
    EXPECT_EQ(e.Message(), "未対応のバージョン Ver = 7");
  }
  // A file too large to be a counter file is not read at all.
  const std::string big = folder_ + "/big.upl";
  std::ofstream(big, std::ios::binary) << header << std::string(kMaxPLBLogFileBytes, '\0');
  TPLBLogItem big_item;
  EXPECT_FALSE(big_item.InportDataFromFile(big));
  EXPECT_EQ(big_item.LogLongSessionId(), "");
}

}  // namespace
}  // namespace plb
