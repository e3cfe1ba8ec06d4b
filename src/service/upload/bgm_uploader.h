#pragma once
// Sends one sound file as the music of a photo book, on the caller's thread (the music page runs
// it on a thread of its own). What comes back is the command the program carries out next: the
// book's page the service names.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace plb {

class TBgmUploader {
 public:
  struct Result {
    bool success = false;
    std::string next_command;  // on success: the next page, as a command; may be empty
    std::string message;       // on failure: what to tell the user
  };
  // Bytes of the request sent so far, and in all.
  using Progress = std::function<void(uint64_t sent, uint64_t total)>;

  Result Upload(const std::string& plumora_id, const std::string& path, Progress progress = nullptr);
  // From any thread: the request in flight is dropped and Upload answers a failure.
  void Cancel() { cancelled_ = true; }

 private:
  std::atomic<bool> cancelled_{false};
};

}  // namespace plb
