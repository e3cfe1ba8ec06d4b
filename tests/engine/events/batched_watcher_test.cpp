#include "engine/events/batched_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace plb {
namespace {

using namespace std::chrono_literals;

// A record names its poster and its place in that poster's sequence.
struct Rec {
  int poster;
  int seq;
  bool operator==(const Rec&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rec& r) {
  return out << r.poster << "#" << r.seq;
}

std::vector<Rec> Sequence(int poster, int from, int to) {
  std::vector<Rec> out;
  for (int i = from; i < to; ++i) out.push_back({poster, i});
  return out;
}

// Records what the watcher delivers, and whether anything came after its stop had returned.
class BatchedWatcherTest : public ::testing::Test {
 protected:
  void Deliver(const Rec& r) {
    std::lock_guard guard(lock_);
    if (stopped_) ++late_;
    delivered_.push_back(r);
  }
  void Stop() {
    watcher_.Stop();
    std::lock_guard guard(lock_);
    stopped_ = true;
  }
  std::vector<Rec> Delivered() {
    std::lock_guard guard(lock_);
    return delivered_;
  }
  int Late() {
    std::lock_guard guard(lock_);
    return late_;
  }
  void PostFrom(int poster, int count) {
    for (int i = 0; i < count; ++i) watcher_.Post({poster, i});
  }
  template <class Done>
  void WaitUntil(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(done());
  }
  // Every poster's records arrived exactly once, in posting order.
  void ExpectEveryPosterWholeAndInOrder(int posters, int each) {
    std::map<int, int> next;
    for (const Rec& r : Delivered()) {
      ASSERT_EQ(r.seq, next[r.poster]) << "poster " << r.poster << ": lost, repeated or out of order";
      ++next[r.poster];
    }
    for (int p = 0; p < posters; ++p) EXPECT_EQ(next[p], each) << "poster " << p;
  }

  std::mutex lock_;
  std::vector<Rec> delivered_;
  bool stopped_ = false;
  int late_ = 0;
  TBatchedWatcher<Rec> watcher_{"TTestWatcher"};
};

TEST_F(BatchedWatcherTest, AStopCutsTheBatchShortAndKeepsItsRestInFrontOfLaterPosts) {
  std::atomic<bool> inGate{false};
  PostFrom(0, 10);  // the first cycle takes all ten
  watcher_.Start([&](TBatch<Rec>& batch) {
    while (const Rec* r = batch.Next()) {
      Deliver(*r);
      if (inGate.exchange(true)) continue;
      // Held inside the first batch until the stop is requested.
      for (int i = 0; i < 2000 && !batch.StopRequested(); ++i) std::this_thread::sleep_for(5ms);
    }
  });
  WaitUntil([&] { return inGate.load(); });
  std::thread poster([&] { PostFrom(1, 1000); });  // posts while the watcher stops
  Stop();
  poster.join();

  EXPECT_EQ(Delivered(), (std::vector<Rec>{{0, 0}}));
  EXPECT_EQ(Late(), 0);
  EXPECT_EQ(watcher_.Pending(), 9u + 1000u);
  watcher_.RunCycle();  // by hand, as tools whose watcher is stopped do
  std::vector<Rec> expected = Sequence(0, 0, 10);
  for (const Rec& r : Sequence(1, 0, 1000)) expected.push_back(r);
  EXPECT_EQ(Delivered(), expected);
  EXPECT_EQ(watcher_.Pending(), 0u);
}

TEST_F(BatchedWatcherTest, RecordsPostedWhileStoppingAreDeliveredOnceOrKeptButNeverAfterTheStop) {
  watcher_.Start([&](TBatch<Rec>& batch) {
    while (const Rec* r = batch.Next()) Deliver(*r);
  });
  constexpr int kPosters = 4, kEach = 5000;
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) posters.emplace_back([&, p] { PostFrom(p, kEach); });
  WaitUntil([&] { return !Delivered().empty(); });
  Stop();
  for (auto& p : posters) p.join();

  EXPECT_EQ(Late(), 0);
  EXPECT_EQ(Delivered().size() + watcher_.Pending(), static_cast<size_t>(kPosters * kEach));
  watcher_.RunCycle();
  ExpectEveryPosterWholeAndInOrder(kPosters, kEach);
}

TEST_F(BatchedWatcherTest, RecordsADeliveryPostsGoOutInALaterCycle) {
  std::mutex cycles;
  std::map<int, int> cycleOf;  // seq -> the cycle that delivered it
  int cycle = 0;
  watcher_.Start([&](TBatch<Rec>& batch) {
    if (batch.Empty()) return;
    std::lock_guard guard(cycles);
    ++cycle;
    while (const Rec* r = batch.Next()) {
      cycleOf[r->seq] = cycle;
      Deliver(*r);
      if (r->seq < 4) watcher_.Post({0, r->seq + 1});
    }
  });
  watcher_.Post({0, 0});
  WaitUntil([&] { return Delivered().size() == 5; });
  Stop();
  EXPECT_EQ(Delivered(), Sequence(0, 0, 5));
  std::lock_guard guard(cycles);
  for (int seq = 1; seq < 5; ++seq) EXPECT_GT(cycleOf[seq], cycleOf[seq - 1]) << seq;
}

TEST_F(BatchedWatcherTest, AFailingDeliveryEndsTheWatcherAndKeepsWhatItDidNotTake) {
  PostFrom(0, 5);
  watcher_.Start([&](TBatch<Rec>& batch) {
    while (const Rec* r = batch.Next()) {
      Deliver(*r);
      if (r->seq == 2) throw std::runtime_error("broken listener");
    }
  });
  WaitUntil([&] { return !watcher_.Running(); });
  PostFrom(1, 1);
  EXPECT_EQ(Delivered(), Sequence(0, 0, 3));
  EXPECT_EQ(watcher_.Pending(), 3u);
  Stop();
}

TEST(BatchQueueTest, PutBackGoesInFrontOfLaterPostsAndDropRestLeavesNothing) {
  TBatchQueue<int> queue;
  for (int i : {1, 2, 3}) queue.Post(i);
  std::atomic<bool> stop{false};
  TBatch<int> cut(queue.TakeAll(), &stop);
  EXPECT_EQ(*cut.Next(), 1);
  stop = true;
  EXPECT_EQ(cut.Next(), nullptr);
  queue.Post(4);
  queue.PutBack(cut.TakeRest());
  EXPECT_EQ(queue.TakeAll(), (std::vector<int>{2, 3, 4}));

  for (int i : {5, 6}) queue.Post(i);
  TBatch<int> dropped(queue.TakeAll(), nullptr);
  dropped.Next();
  dropped.DropRest();
  EXPECT_EQ(dropped.Next(), nullptr);
  EXPECT_TRUE(dropped.TakeRest().empty());
}

// Posters that wake the watcher after every record, as the catalog-update bus does: every record
// still arrives once and in order, the burst in batches rather than one delivery per record, and
// a stop right after a wake ends the loop.
TEST_F(BatchedWatcherTest, WokenCyclesKeepEveryRecordOnceInOrderAndStillBatchABurst) {
  std::atomic<int> deliveries{0};
  watcher_.Start([&](TBatch<Rec>& batch) {
    if (batch.Empty()) return;
    ++deliveries;
    while (const Rec* r = batch.Next()) Deliver(*r);
  });
  constexpr int kPosters = 4, kEach = 5000;
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) {
        watcher_.Post({p, i});
        watcher_.Wake();
      }
    });
  }
  for (auto& p : posters) p.join();
  WaitUntil([&] { return Delivered().size() == static_cast<size_t>(kPosters * kEach); });
  watcher_.Wake();
  Stop();

  EXPECT_EQ(Late(), 0);
  ExpectEveryPosterWholeAndInOrder(kPosters, kEach);
  EXPECT_LT(deliveries.load() * 10, kPosters * kEach) << "a wake per record must not cost a delivery per record";
  EXPECT_FALSE(watcher_.Running());
}

}  // namespace
}  // namespace plb
