#include "platform/hand_off.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/child_process.h"
#include "support/test_env.h"

namespace plb::platform {
namespace {

using plb::test::ForkChild;
using plb::test::WaitChild;

// A command text far beyond the old 1023-byte limit, with multi-byte characters across every
// boundary a cut could fall on.
std::string LongCommandText() {
  std::string text = "mode=upload,sessionid=abc,";
  while (text.size() < 300000) text += "写真アルバム,";
  return text;
}

TEST(HandOff, AnotherProcessHandsOverTheWholeTextAndGetsTheAnswer) {
  HandOffServer server;
  server.Listen();
  const std::string text = LongCommandText();
  // The child is the second start; its exit code reports what it saw.
  pid_t second = ForkChild([&] {
    HandOffResult activate = SendHandOff({HandOffType::kActivate, 0, ""});
    HandOffResult command = SendHandOff({HandOffType::kCommandText, 0, text});
    if (activate.status != HandOffStatus::kAnswered || command.status != HandOffStatus::kAnswered) return 2;
    return command.answer == 1 ? 0 : 3;
  });
  std::vector<HandOffMessage> received;
  auto handler = [&](const HandOffMessage& m) {
    received.push_back(m);
    return m.type == HandOffType::kCommandText ? 1 : 0;
  };
  for (int i = 0; i < 100 && received.size() < 2; ++i) server.ServeFor(100, handler);
  EXPECT_EQ(WaitChild(second), 0);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].type, HandOffType::kActivate);
  EXPECT_EQ(received[1].type, HandOffType::kCommandText);
  EXPECT_EQ(received[1].kind, 0);
  EXPECT_EQ(received[1].text, text);
}

TEST(HandOff, CloseCarriesItsParameter) {
  HandOffServer server;
  server.Listen();
  HandOffMessage got;
  std::thread window([&] {
    while (server.ServeFor(50, [&](const HandOffMessage& m) {
      got = m;
      return 0;
    }) == 0) {
    }
  });
  HandOffResult r = SendHandOff({HandOffType::kClose, 4, ""});
  window.join();
  EXPECT_EQ(r.status, HandOffStatus::kAnswered);
  EXPECT_EQ(got.type, HandOffType::kClose);
  EXPECT_EQ(got.kind, 4);
}

TEST(HandOff, WithoutAListeningWindowTheSenderIsToldSoAtOnce) {
  const std::string path = DefaultHandOffPath();
  EXPECT_EQ(SendHandOff({HandOffType::kActivate, 0, ""}, path, 5000).status, HandOffStatus::kNoWindowListening);

  // The socket file of an instance that ended without removing it.
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendHandOff({HandOffType::kActivate, 0, ""}, path, 5000).status, HandOffStatus::kNoWindowListening);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));

  // The next instance's window takes the name over.
  HandOffServer server(path);
  server.Listen();
  server.Close();
  EXPECT_FALSE(std::filesystem::exists(path)) << "closing removes the socket file";
}

TEST(HandOff, AHungInstanceCostsTheSenderOnlyItsTimeOut) {
  HandOffServer server;
  server.Listen();  // listens, but its window never serves
  for (const std::string& text : {std::string("short"), std::string(8 << 20, 'x')}) {
    auto start = std::chrono::steady_clock::now();
    HandOffResult r = SendHandOff({HandOffType::kCommandText, 0, text}, server.Path(), 300);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, HandOffStatus::kTimedOut) << text.size();
    EXPECT_LT(took, std::chrono::seconds(3)) << text.size();
  }
}

TEST(HandOff, ConnectionsOfOtherUsersAreRefusedUnanswered) {
  HandOffServer server;
  server.Listen();
  server.SetAllowedUidForTesting(::geteuid() + 1);
  bool called = false;
  std::thread window([&] {
    while (server.RefusedCount() == 0)
      server.ServeFor(50, [&](const HandOffMessage&) {
        called = true;
        return 1;
      });
  });
  HandOffResult r = SendHandOff({HandOffType::kCommandText, 0, "x"}, server.Path(), 5000);
  window.join();
  EXPECT_EQ(r.status, HandOffStatus::kFailed);
  EXPECT_FALSE(called);
}

TEST(HandOff, AReallyForeignProcessIsRefusedByItsUserId) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
  // A folder anyone may enter, so that only the peer check stands in the way.
  std::string folder = plb::test::TestRoot() + "/open";
  std::filesystem::create_directories(folder);
  ::chmod(plb::test::TestRoot().c_str(), 0755);
  ::chmod(folder.c_str(), 0777);
  HandOffServer server(folder + "/socket");
  server.Listen();
  ::chmod(server.Path().c_str(), 0666);
  pid_t foreign = ForkChild([&] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
    HandOffResult r = SendHandOff({HandOffType::kCommandText, 0, "evil"}, server.Path(), 5000);
    return r.status == HandOffStatus::kFailed ? 0 : 3;
  });
  bool called = false;
  for (int i = 0; i < 100 && server.RefusedCount() == 0; ++i) {
    server.ServeFor(50, [&](const HandOffMessage&) {
      called = true;
      return 1;
    });
  }
  EXPECT_EQ(WaitChild(foreign), 0);
  EXPECT_EQ(server.RefusedCount(), 1);
  EXPECT_FALSE(called);
}

TEST(HandOff, MalformedRequestsAreRefusedAndTheServerGoesOn) {
  HandOffServer server;
  server.Listen();
  auto raw = [&](const std::string& bytes) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, server.Path().c_str());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    ::shutdown(fd, SHUT_WR);
    return fd;
  };
  std::vector<int> fds = {
      raw(std::string("\x07\0\0\0\0\0\0\0\0", 9)),          // unknown type
      raw(std::string("\x02\0\0\0\0\xff\xff\xff\xff", 9)),  // 4 GiB claimed
      raw(std::string("\x02\0\0\0\0\x10\0\0\0abc", 12)),    // shorter than claimed
      raw(std::string("\x02\0\0", 3)),                      // no whole header
  };
  int handled = server.ServeReady([](const HandOffMessage&) { return 1; });
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(server.RefusedCount(), 4);
  for (int fd : fds) {
    char c;
    EXPECT_EQ(::recv(fd, &c, 1, 0), 0) << "closed without an answer";
    ::close(fd);
  }
  std::thread window([&] { server.ServeFor(5000, [](const HandOffMessage&) { return 7; }); });
  EXPECT_EQ(SendHandOff({HandOffType::kActivate, 0, ""}, server.Path(), 5000).answer, 7);
  window.join();
}

// A client of the same user that connects and then says nothing: the window serves on a UI thread,
// so waiting for that client's bytes would freeze it, once per such connection.
TEST(HandOff, ASilentClientHoldsUpNeitherTheServerNorTheNextSender) {
  HandOffServer server;
  server.Listen();
  int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, server.Path().c_str());
  ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  auto unexpected = [](const HandOffMessage&) { return 0; };
  EXPECT_EQ(server.ServeReady(unexpected), 0);
  EXPECT_EQ(server.RefusedCount(), 0) << "the pass returned without waiting the silent client out";
  EXPECT_EQ(server.PendingFds().size(), 1u);
  EXPECT_GE(server.MsUntilNextTimeOut(), 0);

  HandOffResult sent;
  std::thread sender([&] { sent = SendHandOff({HandOffType::kCommandText, 0, "mode=x"}, server.Path(), 10000); });
  int refused_when_served = -1;
  std::string text;
  while (refused_when_served < 0) {
    server.ServeFor(100, [&](const HandOffMessage& m) {
      refused_when_served = server.RefusedCount();
      text = m.text;
      return 7;
    });
  }
  sender.join();
  EXPECT_EQ(sent.status, HandOffStatus::kAnswered);
  EXPECT_EQ(sent.answer, 7);
  EXPECT_EQ(text, "mode=x");
  EXPECT_EQ(refused_when_served, 0) << "served while the silent client still waited";

  // The silent client's wait is bounded: it is dropped unanswered when its time is up.
  while (server.RefusedCount() == 0) server.ServeFor(500, unexpected);
  EXPECT_TRUE(server.PendingFds().empty());
  EXPECT_EQ(server.MsUntilNextTimeOut(), -1);
  char c;
  EXPECT_EQ(::recv(silent, &c, 1, 0), 0) << "closed without an answer";
  ::close(silent);
}

// A message that arrives in pieces across several passes is put together, never cut short.
TEST(HandOff, AMessageArrivingInPiecesIsServedWhole) {
  HandOffServer server;
  server.Listen();
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, server.Path().c_str());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request = std::string("\x02\x00\x00\x00\x00\x05\x00\x00\x00", 9) + "hello";
  std::string got;
  auto handler = [&](const HandOffMessage& m) {
    got = m.text;
    return 3;
  };
  // Cut inside the header, at its end and inside the text.
  const std::vector<size_t> cuts = {0, 4, 9, 12, request.size()};
  for (size_t i = 1; i < cuts.size(); ++i) {
    const size_t size = cuts[i] - cuts[i - 1];
    ASSERT_EQ(::send(fd, request.data() + cuts[i - 1], size, MSG_NOSIGNAL), static_cast<ssize_t>(size));
    EXPECT_EQ(server.ServeReady(handler), cuts[i] == request.size() ? 1 : 0) << cuts[i];
  }
  EXPECT_EQ(got, "hello");
  EXPECT_EQ(server.RefusedCount(), 0);
  char answer[4];
  EXPECT_EQ(::recv(fd, answer, sizeof answer, 0), 4);
  EXPECT_EQ(answer[0], 3);
  ::close(fd);
}

TEST(HandOff, ListenRefusesANameThatIsNoSocket) {
  std::string path = plb::test::TestRoot() + "/not-a-socket";
  std::ofstream(path) << "data";
  HandOffServer server(path);
  EXPECT_THROW(server.Listen(), EHandOffError);
  HandOffServer too_long(plb::test::TestRoot() + "/" + std::string(200, 'x'));
  EXPECT_THROW(too_long.Listen(), EHandOffError);
  EXPECT_EQ(SendHandOff({}, too_long.Path(), 100).status, HandOffStatus::kFailed);
}

}  // namespace
}  // namespace plb::platform
