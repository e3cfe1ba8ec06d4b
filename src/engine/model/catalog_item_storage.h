#pragma once
// Where catalog items live. A large library is a million objects of one size, nearly all made at
// start while the catalog loads; taking them from large blocks backed by huge pages, where the
// system offers them, spares the allocator's work for each object and most of the page faults.
// A freed item's place is reused by the next one; blocks stay for the life of the process.
// Under AddressSanitizer every item is an allocation of its own, so that faults stay visible.
#include <cstddef>

namespace plb::item_storage {

// Room for an object of size bytes, aligned for any type.
void* Allocate(std::size_t size);
// Gives back what Allocate gave for the same size.
void Release(void* p, std::size_t size) noexcept;

}  // namespace plb::item_storage
