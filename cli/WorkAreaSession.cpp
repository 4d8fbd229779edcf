#include "cli/WorkAreaSession.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "workarea/WorkArea.h"

namespace bootlume::cli {
namespace {

std::atomic<bool> interrupted{false};

sigset_t InterruptSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

bool InterruptPending() {
  sigset_t pending;
  const sigset_t signals = InterruptSignals();
  if (sigpending(&pending) != 0) return false;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    if (sigismember(&signals, signal) && sigismember(&pending, signal)) return true;
  }
  return false;
}

}  // namespace

std::mutex& WorkAreaSession::WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

bool WorkAreaSession::Interrupted() { return interrupted || InterruptPending(); }

WorkAreaSession::WorkAreaSession() {
  const sigset_t signals = InterruptSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int received = 0;
    if (sigwait(&signals, &received) != 0) return;
    interrupted = true;
    WriteMutex().lock();  // let an output being written finish; no other starts
    std::fputs("bootlume-cli: interrupted\n", stderr);
    RemoveWorkArea();
    ::_exit(128 + received);
  }).detach();
  PrepareWorkArea();
}

WorkAreaSession::~WorkAreaSession() {
  // The interrupt handler is removing the work area and ends the program.
  while (Interrupted()) ::pause();
  RemoveWorkArea();
  ReleaseWorkDirectory();
}

}  // namespace bootlume::cli
