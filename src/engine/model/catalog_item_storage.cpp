#include "engine/model/catalog_item_storage.h"

#include <sys/mman.h>

#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

#include "engine/model/catalog_item.h"

namespace plb::item_storage {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif

constexpr std::size_t kSlot = (sizeof(TCatalogItem) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                              alignof(std::max_align_t);
constexpr std::size_t kBlock = std::size_t{2} << 20;  // one huge page

struct FreeSlot {
  FreeSlot* next;
};

class Pool {
 public:
  void* Take() {
    std::lock_guard guard(lock_);
    if (free_ != nullptr) return std::exchange(free_, free_->next);
    if (left_ < kSlot) NewBlock();
    void* p = next_;
    next_ += kSlot;
    left_ -= kSlot;
    return p;
  }

  void Give(void* p) noexcept {
    std::lock_guard guard(lock_);
    free_ = new (p) FreeSlot{free_};
  }

 private:
  void NewBlock() {
    void* block = std::aligned_alloc(kBlock, kBlock);
    if (block == nullptr) throw std::bad_alloc();
    ::madvise(block, kBlock, MADV_HUGEPAGE);  // a hint: without huge pages the block still serves
    next_ = static_cast<char*>(block);
    left_ = kBlock;
  }

  std::mutex lock_;
  FreeSlot* free_ = nullptr;
  char* next_ = nullptr;
  std::size_t left_ = 0;
};

Pool& ThePool() {
  static Pool* pool = new Pool;  // never destroyed: items may be freed during exit
  return *pool;
}

bool Pooled(std::size_t size) { return kPooled && size <= kSlot; }

}  // namespace

void* Allocate(std::size_t size) {
  return Pooled(size) ? ThePool().Take() : ::operator new(size);
}

void Release(void* p, std::size_t size) noexcept {
  if (p == nullptr) return;
  if (Pooled(size)) {
    ThePool().Give(p);
  } else {
    ::operator delete(p);
  }
}

}  // namespace plb::item_storage
