// Work over many independent records, split between two threads: conversions are bound by
// arithmetic, and every machine this runs on has a second core.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <system_error>

namespace torvane {

// Below this many records a second thread costs more than it saves.
inline constexpr std::size_t kParallelMinimum = 4096;

// Set on a thread that is one of several converting files side by side: the cores are busy
// already, and a second thread per file would only add its start and its waits.
inline thread_local bool SerialWorkOnThisThread = false;

// The one thread that runs the second halves of InParallel, started at its first use and kept:
// two halves at once then cost a wake-up, not a new thread, which a file of a few thousand records
// would feel. One caller at a time has it; another finds it busy.
class THelperThread {
 public:
  static THelperThread& Instance();
  // Starts task on the helper and answers true; false when it is busy or cannot be started.
  bool TryStart(const std::function<void()>& task);
  // Waits until the started task has ended; raises what it raised.
  void Finish();

 private:
  THelperThread() = default;
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  const std::function<void()>* task_ = nullptr;
  bool busy_ = false, started_ = false, done_ = false;
  std::exception_ptr error_;
};

// Runs first here and second at the same time on another thread (after first, here, when no
// thread can be had or the thread works serially); an exception of either reaches the caller once
// both have ended.
template <typename First, typename Second>
void InParallel(const First& first, const Second& second) {
  if (SerialWorkOnThisThread) {
    first();
    second();
    return;
  }
  const std::function<void()> task = [&second] { second(); };
  THelperThread& helper = THelperThread::Instance();
  if (helper.TryStart(task)) {
    try {
      first();
    } catch (...) {
      try {
        helper.Finish();
      } catch (...) {
      }
      throw;
    }
    helper.Finish();
    return;
  }
  std::future<void> other;
  try {
    other = std::async(std::launch::async, second);
  } catch (const std::system_error&) {
    first();
    second();
    return;
  }
  try {
    first();
  } catch (...) {
    other.wait();
    throw;
  }
  other.get();
}

// Runs body(begin, end) over [0, count), in two halves at once when count is large.
template <typename Body>
void ForInHalves(std::size_t count, const Body& body) {
  if (count < kParallelMinimum) {
    body(std::size_t{0}, count);
    return;
  }
  std::size_t middle = count / 2;
  InParallel([&] { body(std::size_t{0}, middle); }, [&] { body(middle, count); });
}

}  // namespace torvane
