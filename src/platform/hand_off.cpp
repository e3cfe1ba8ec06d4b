#include "platform/hand_off.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/private_temp.h"

namespace plb::platform {

namespace {

constexpr size_t kHeaderSize = 9;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

enum class IoResult { kDone, kTimedOut, kClosed, kError };

// Waits for events on fd until the deadline.
IoResult WaitFor(int fd, short events, Clock::time_point deadline) {
  while (true) {
    struct pollfd p = {fd, events, 0};
    int n = ::poll(&p, 1, MsLeft(deadline));
    if (n > 0) return IoResult::kDone;
    if (n == 0) return IoResult::kTimedOut;
    if (errno != EINTR) return IoResult::kError;
  }
}

IoResult WriteAll(int fd, const uint8_t* data, size_t size, Clock::time_point deadline) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      IoResult r = WaitFor(fd, POLLOUT, deadline);
      if (r != IoResult::kDone) return r;
      continue;
    }
    return errno == EPIPE || errno == ECONNRESET ? IoResult::kClosed : IoResult::kError;
  }
  return IoResult::kDone;
}

// Reads exactly size bytes, appending them to out in pieces, so that a claimed length costs
// memory only as the bytes really arrive.
IoResult ReadExactly(int fd, size_t size, std::string& out, Clock::time_point deadline) {
  char buffer[65536];
  while (size > 0) {
    ssize_t n = ::recv(fd, buffer, size < sizeof buffer ? size : sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      out.append(buffer, static_cast<size_t>(n));
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return IoResult::kClosed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      IoResult r = WaitFor(fd, POLLIN, deadline);
      if (r != IoResult::kDone) return r;
      continue;
    }
    return errno == ECONNRESET ? IoResult::kClosed : IoResult::kError;
  }
  return IoResult::kDone;
}

}  // namespace

std::string DefaultHandOffPath() {
  return RuntimeFolder() + "/{21357E10-BDCB-4CDD-B2A3-905DD7ED653D}.socket";
}

HandOffServer::HandOffServer(std::string path) : path_(std::move(path)), allowed_uid_(::geteuid()) {}

HandOffServer::~HandOffServer() {
  Close();
}

void HandOffServer::Listen() {
  if (listener_) return;
  auto fail = [&](const std::string& why) { throw EHandOffError("Cannot listen on " + path_ + ": " + why); };
  sockaddr_un address;
  if (!MakeAddress(path_, address)) fail("the path is too long for a socket");
  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) fail("something else has that name");
    ::unlink(path_.c_str());
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) fail(std::strerror(errno));
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail(std::strerror(errno));
  // The private folder already keeps others out; the socket's own mode says the same.
  ::chmod(path_.c_str(), 0600);
  if (::listen(fd.Get(), 16) != 0) fail(std::strerror(errno));
  if (::lstat(path_.c_str(), &st) == 0) {
    socket_dev_ = st.st_dev;
    socket_ino_ = st.st_ino;
  }
  listener_ = std::move(fd);
  pending_.clear();
  refused_ = 0;
}

void HandOffServer::AcceptWaiting() {
  while (listener_) {
    UniqueFd connection(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!connection) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // EAGAIN: nothing more waiting
    }
    struct ucred peer;
    socklen_t length = sizeof peer;
    const bool ours =
        ::getsockopt(connection.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == allowed_uid_;
    if (!ours || pending_.size() >= kMaxPendingHandOffs) {
      ++refused_;
      continue;
    }
    pending_.push_back({std::move(connection), Clock::now() + std::chrono::milliseconds(kHandOffServerWaitMs), {}});
  }
}

HandOffServer::Progress HandOffServer::ReadArrived(Pending& connection) const {
  char buffer[65536];
  while (true) {
    // The header says how much is to come; it is checked as soon as it is there, so a claimed
    // length costs memory only as the bytes really arrive.
    size_t wanted = kHeaderSize;
    if (connection.bytes.size() >= kHeaderSize) {
      const auto* h = reinterpret_cast<const uint8_t*>(connection.bytes.data());
      if (h[0] < 1 || h[0] > 3) return Progress::kRefused;
      const uint32_t text_length = GetLe32(h + 5);
      if (text_length > kMaxHandOffText) return Progress::kRefused;
      wanted += text_length;
    }
    if (connection.bytes.size() == wanted) return Progress::kWhole;
    const size_t size = std::min(sizeof buffer, wanted - connection.bytes.size());
    const ssize_t n = ::recv(connection.fd.Get(), buffer, size, MSG_DONTWAIT);
    if (n > 0) {
      connection.bytes.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return Progress::kRefused;  // closed before the message was whole
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? Progress::kWaiting : Progress::kRefused;
  }
}

void HandOffServer::Answer(Pending connection, const HandOffHandler& handler) {
  const auto* h = reinterpret_cast<const uint8_t*>(connection.bytes.data());
  HandOffMessage message;
  message.type = static_cast<HandOffType>(h[0]);
  message.kind = static_cast<int32_t>(GetLe32(h + 1));
  message.text = std::move(connection.bytes);
  message.text.erase(0, kHeaderSize);
  uint8_t answer[4];
  PutLe32(answer, static_cast<uint32_t>(handler(message)));
  // The sender has written everything and only reads now: four bytes fit at once, or the sender
  // is gone. Either way there is nothing to wait for.
  WriteAll(connection.fd.Get(), answer, sizeof answer, Clock::now());
}

int HandOffServer::ServeReady(const HandOffHandler& handler) {
  AcceptWaiting();
  int handled = 0;
  const Clock::time_point now = Clock::now();
  for (size_t i = 0; i < pending_.size();) {
    const Progress progress = ReadArrived(pending_[i]);
    if (progress == Progress::kWaiting && now < pending_[i].deadline) {
      ++i;
      continue;
    }
    Pending connection = std::move(pending_[i]);
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
    if (progress != Progress::kWhole) {
      ++refused_;
      continue;
    }
    Answer(std::move(connection), handler);
    ++handled;
  }
  return handled;
}

std::vector<int> HandOffServer::PendingFds() const {
  std::vector<int> fds;
  for (const Pending& connection : pending_) fds.push_back(connection.fd.Get());
  return fds;
}

int HandOffServer::MsUntilNextTimeOut() const {
  int next = -1;
  for (const Pending& connection : pending_) {
    const int left = MsLeft(connection.deadline);
    if (next < 0 || left < next) next = left;
  }
  return next;
}

int HandOffServer::ServeFor(int timeout_ms, const HandOffHandler& handler) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (listener_) {
    std::vector<struct pollfd> watched = {{listener_.Get(), POLLIN, 0}};
    for (int fd : PendingFds()) watched.push_back({fd, POLLIN, 0});
    int wait = MsLeft(end);
    const int next = MsUntilNextTimeOut();
    if (next >= 0 && next < wait) wait = next;
    if (::poll(watched.data(), watched.size(), wait) < 0 && errno != EINTR) return 0;
    const int handled = ServeReady(handler);
    if (handled > 0 || MsLeft(end) == 0) return handled;
  }
  return 0;
}

void HandOffServer::Close() {
  pending_.clear();
  if (!listener_) return;
  listener_.Reset();
  struct stat st;
  // A later instance may already listen under the same name; its socket is not ours to remove.
  if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == socket_dev_ && st.st_ino == socket_ino_) {
    ::unlink(path_.c_str());
  }
}

HandOffResult SendHandOff(const HandOffMessage& message, const std::string& path, int timeout_ms) {
  HandOffResult result;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  auto failed = [&](HandOffStatus status, std::string detail) {
    result.status = status;
    result.detail = std::move(detail);
    return result;
  };
  if (message.text.size() > kMaxHandOffText) return failed(HandOffStatus::kFailed, "the text is too long to hand over");
  sockaddr_un address;
  if (!MakeAddress(path, address)) return failed(HandOffStatus::kFailed, "the socket path is too long");

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) return failed(HandOffStatus::kFailed, std::strerror(errno));
  while (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EINTR) continue;
    if (errno == ENOENT || errno == ECONNREFUSED) return failed(HandOffStatus::kNoWindowListening, "no window listens");
    if (errno != EAGAIN) return failed(HandOffStatus::kFailed, std::strerror(errno));
    // The listener's queue is full: it is busy or hung; try again until the deadline.
    if (MsLeft(deadline) == 0) return failed(HandOffStatus::kTimedOut, "the running instance does not accept");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  std::string request(kHeaderSize, '\0');
  auto* h = reinterpret_cast<uint8_t*>(request.data());
  h[0] = static_cast<uint8_t>(message.type);
  PutLe32(h + 1, static_cast<uint32_t>(message.kind));
  PutLe32(h + 5, static_cast<uint32_t>(message.text.size()));
  request += message.text;
  switch (WriteAll(fd.Get(), reinterpret_cast<const uint8_t*>(request.data()), request.size(), deadline)) {
    case IoResult::kDone:
      break;
    case IoResult::kTimedOut:
      return failed(HandOffStatus::kTimedOut, "the running instance does not read");
    case IoResult::kClosed:
      return failed(HandOffStatus::kFailed, "the running instance refused the message");
    case IoResult::kError:
      return failed(HandOffStatus::kFailed, std::strerror(errno));
  }

  std::string answer;
  switch (ReadExactly(fd.Get(), 4, answer, deadline)) {
    case IoResult::kDone:
      result.status = HandOffStatus::kAnswered;
      result.answer = static_cast<int32_t>(GetLe32(reinterpret_cast<const uint8_t*>(answer.data())));
      return result;
    case IoResult::kTimedOut:
      return failed(HandOffStatus::kTimedOut, "the running instance does not answer");
    case IoResult::kClosed:
      return failed(HandOffStatus::kFailed, "the running instance refused the message");
    case IoResult::kError:
      break;
  }
  return failed(HandOffStatus::kFailed, std::strerror(errno));
}

}  // namespace plb::platform
