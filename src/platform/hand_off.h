#pragma once
// The hand-off between a second start of the program and the running instance: a Unix-domain
// stream socket in the private runtime folder, on which the main window of the running instance
// listens. A second start connects, sends one message and reads one answer per connection.
//
// Wire format (all integers little-endian):
//   request  u8  type      1 activate (restore and raise the main window)
//                          2 command text (the forwarded command line; answered 1)
//                          3 close (close the main window; kind carries the parameter, 4)
//            i32 kind      the data kind of a command text (0), the close parameter (4), else 0
//            u32 length    the number of text bytes that follow, at most kMaxHandOffText
//            length bytes  the whole text, UTF-8, no terminator (empty for activate and close)
//   answer   i32           what the window's handler returned
// A server that refuses a message (another user, malformed or oversized request) closes the
// connection without an answer.
//
// Only the user's own processes are served: the server checks the peer's user id (SO_PEERCRED)
// besides the private folder's permissions. Nothing is ever cut short: a text is delivered whole
// or refused. The server never waits for a sender: it reads what has arrived and keeps the
// connection until its message is whole, for at most kHandOffServerWaitMs, so a sender that goes
// silent costs the window nothing and is dropped when its time is up.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/unique_fd.h"

namespace plb::platform {

PLB_DECLARE_ERROR(EHandOffError, Error);

enum class HandOffType : uint8_t { kActivate = 1, kCommandText = 2, kClose = 3 };

struct HandOffMessage {
  HandOffType type = HandOffType::kActivate;
  int32_t kind = 0;
  std::string text;
};

inline constexpr uint32_t kMaxHandOffText = 16u << 20;
inline constexpr int kHandOffClientTimeoutMs = 10000;
inline constexpr int kHandOffServerWaitMs = 2000;
// Connections being read at one time; more are refused until one is done.
inline constexpr size_t kMaxPendingHandOffs = 16;

// The socket's path in the runtime folder.
std::string DefaultHandOffPath();

// The handler of the window: receives each accepted message and returns the answer.
using HandOffHandler = std::function<int32_t(const HandOffMessage&)>;

class HandOffServer {
 public:
  explicit HandOffServer(std::string path = DefaultHandOffPath());
  ~HandOffServer();
  HandOffServer(const HandOffServer&) = delete;
  HandOffServer& operator=(const HandOffServer&) = delete;

  // Starts listening. A socket file left behind by an ended instance is replaced (the caller
  // holds the instance lock, so no other instance can be listening); anything else under the
  // name is refused. Raises EHandOffError.
  void Listen();

  // The listening descriptor, to be watched for readability by an event loop; -1 when closed.
  int Fd() const { return listener_.Get(); }

  // Never blocks: accepts every connection that is waiting, reads what has arrived on each open
  // one, and for each message that is whole calls handler and writes the answer. A connection
  // whose message is not whole after kHandOffServerWaitMs is refused. Returns the number of
  // messages handled. An exception of handler closes that connection unanswered and is raised
  // again; the other connections stay.
  int ServeReady(const HandOffHandler& handler);

  // The connections whose messages are still arriving, to be watched for readability besides Fd().
  std::vector<int> PendingFds() const;

  // Milliseconds until the earliest pending connection runs out of time (0 when one has); -1 when
  // none is pending. ServeReady is due then even when nothing arrives.
  int MsUntilNextTimeOut() const;

  // For a plain thread: serves what arrives for up to timeout_ms, returning as soon as a message
  // has been handled.
  int ServeFor(int timeout_ms, const HandOffHandler& handler);

  // Stops listening and removes the socket file (only if it still is ours).
  void Close();

  // Connections refused since Listen (another user, malformed or oversized request).
  int RefusedCount() const { return refused_; }

  // Serve the processes of this user id instead of our own.
  void SetAllowedUidForTesting(uid_t uid) { allowed_uid_ = uid; }

  const std::string& Path() const { return path_; }

 private:
  // A connection whose message is still arriving: the bytes so far (header, then text).
  struct Pending {
    UniqueFd fd;
    std::chrono::steady_clock::time_point deadline;
    std::string bytes;
  };
  enum class Progress { kWaiting, kWhole, kRefused };

  void AcceptWaiting();
  Progress ReadArrived(Pending& connection) const;
  void Answer(Pending connection, const HandOffHandler& handler);

  std::string path_;
  UniqueFd listener_;
  std::vector<Pending> pending_;
  uid_t allowed_uid_;
  dev_t socket_dev_ = 0;
  ino_t socket_ino_ = 0;
  int refused_ = 0;
};

enum class HandOffStatus {
  kAnswered,           // answer holds the window's answer
  kNoWindowListening,  // no running instance has its main window listening
  kTimedOut,           // the running instance did not answer in time
  kFailed,             // anything else; detail says what
};

struct HandOffResult {
  HandOffStatus status = HandOffStatus::kFailed;
  int32_t answer = 0;
  std::string detail;
};

// Sends one message and waits for the answer, all within timeout_ms: a hung first instance must
// not hang every later start.
HandOffResult SendHandOff(const HandOffMessage& message, const std::string& path = DefaultHandOffPath(),
                          int timeout_ms = kHandOffClientTimeoutMs);

}  // namespace plb::platform
