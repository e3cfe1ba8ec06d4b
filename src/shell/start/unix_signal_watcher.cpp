#include "shell/start/unix_signal_watcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <QSocketNotifier>

namespace plb::shell {
namespace {

// The self-pipe: a signal handler may only write a byte; the UI thread reads it.
int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_watching = 0;
volatile sig_atomic_t g_noted = 0;

void OnSignal(int signal_number) {
  if (!g_watching) {
    g_noted = g_noted + 1;
    return;
  }
  const int saved = errno;
  unsigned char byte = static_cast<unsigned char>(signal_number);
  if (g_pipe[1] >= 0) {
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
  }
  errno = saved;
}

void SetHandlers(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject* parent) : QObject(parent) {
  if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalWatcher::OnReadable);
  g_watching = 1;
  SetHandlers(OnSignal);
}

UnixSignalWatcher::~UnixSignalWatcher() {
  g_watching = 0;
}

int UnixSignalWatcher::NotedWithoutWatcher() {
  return g_noted;
}

void UnixSignalWatcher::RestoreDefaultHandlers() {
  SetHandlers(SIG_DFL);
}

void UnixSignalWatcher::OnReadable() {
  unsigned char byte = 0;
  while (::read(g_pipe[0], &byte, 1) == 1) emit terminationRequested(byte);
}

}  // namespace plb::shell
