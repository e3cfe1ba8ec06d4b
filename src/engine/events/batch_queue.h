#pragma once
// A queue that any thread fills and one reader empties whole, and the batch such a reader hands
// out record by record. Records cut off by a stop go back to the front of their queue, so a stop
// loses nothing and keeps the posting order.
#include <atomic>
#include <cstddef>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

namespace plb {

template <class Record>
class TBatchQueue {
 public:
  void Post(Record record) {
    Post(std::move(record), [] {});
  }
  // underLock runs after the append, before another thread can take the record: a flag it
  // raises is never seen cleared while the record waits.
  template <class UnderLock>
  void Post(Record record, UnderLock&& underLock) {
    std::lock_guard guard(lock_);
    records_.push_back(std::move(record));
    underLock();
  }

  std::vector<Record> TakeAll() {
    return TakeAll([](size_t) {});
  }
  // underLock gets the number of records taken, before another thread can post.
  template <class UnderLock>
  std::vector<Record> TakeAll(UnderLock&& underLock) {
    std::lock_guard guard(lock_);
    std::vector<Record> taken;
    taken.swap(records_);
    underLock(taken.size());
    return taken;
  }

  // Puts records taken earlier back in front of those posted since.
  void PutBack(std::vector<Record> records) {
    if (records.empty()) return;
    std::lock_guard guard(lock_);
    records.insert(records.end(), std::make_move_iterator(records_.begin()), std::make_move_iterator(records_.end()));
    records_.swap(records);
  }

  size_t Size() const {
    std::lock_guard guard(lock_);
    return records_.size();
  }

 private:
  mutable std::mutex lock_;
  std::vector<Record> records_;
};

// Records taken from a queue, handed out in posting order until a stop is requested.
template <class Record>
class TBatch {
 public:
  // stop: the request looked at before every record; null for a batch no stop cuts short.
  TBatch(std::vector<Record> records, const std::atomic<bool>* stop) : records_(std::move(records)), stop_(stop) {}

  bool Empty() const { return records_.empty(); }
  // The next record; null once all are out or a stop was requested.
  const Record* Next() {
    if (next_ >= records_.size() || StopRequested()) return nullptr;
    return &records_[next_++];
  }
  bool StopRequested() const { return stop_ && stop_->load(); }
  const std::atomic<bool>* StopSignal() const { return stop_; }
  // The records not handed out yet are not wanted (nobody to deliver them to).
  void DropRest() { next_ = records_.size(); }
  // The records not handed out and not dropped, to go back to their queue.
  std::vector<Record> TakeRest() {
    std::vector<Record> rest(std::make_move_iterator(records_.begin() + static_cast<std::ptrdiff_t>(next_)),
                             std::make_move_iterator(records_.end()));
    next_ = records_.size();
    return rest;
  }

 private:
  std::vector<Record> records_;
  size_t next_ = 0;
  const std::atomic<bool>* stop_;
};

}  // namespace plb
