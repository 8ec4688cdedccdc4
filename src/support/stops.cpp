#include "support/stops.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "support/outputfile.h"

namespace torvane {
namespace {

constexpr int kStops[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

}  // namespace

const char* StopSignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
    default: return "a signal";
  }
}

void HandleStops(TStopAnnouncer announce) {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : kStops) sigaddset(&stops, signal);
  // Every thread started later inherits the mask, so that only the waiting thread takes them.
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  std::thread([stops, announce = std::move(announce)] {
    int signal = 0;
    while (sigwait(&stops, &signal) != 0) {
    }
    bool removed = RemoveTemporaryFiles() > 0;
    if (announce) announce(signal, removed);
    // Die by the signal: its default action, taken by this thread, which alone lets it through.
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
  }).detach();
}

}  // namespace torvane
