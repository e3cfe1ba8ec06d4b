#pragma once
// The bytes of a sound file sent as a photo book's music. A sound file is read whole into one
// request, so its size is checked before anything is allocated.
#include <cstdint>
#include <string>

namespace plb {

// Larger files are refused: the service takes one song, not a concert.
constexpr uint64_t kMaxSoundFileBytes = 100ull << 20;

// Reads path into bytes; empty answer on success, else why not (in the user's language).
std::string ReadSoundFile(const std::string& path, std::string& bytes);

}  // namespace plb
