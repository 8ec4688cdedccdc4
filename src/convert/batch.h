// A batch: files converted one after another or several at once, each with its own documents,
// their outcomes handed back to the caller in the order the files came, between files.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "support/parallel.h"

namespace torvane {

// Takes items from next (bool next(Item&), false at the end) and runs work(worker, item) on each,
// up to jobs at once; worker is the index (below jobs) of the thread that runs it, so that each
// can keep its own documents. deliver(item, result) runs on the calling thread, in the order next
// gave the items; waiting(item) runs there before it waits for that item's result. At most
// kBatchWindowPerJob items per job are between next and deliver, so memory does not grow with the
// number of items.
// With several jobs each worker works serially inside a file. An exception of work ends the
// batch and reaches the caller once every worker has stopped.
// Enough that the workers do not run dry while the delivering thread, woken for half of them at
// once, waits for a core.
inline constexpr std::size_t kBatchWindowPerJob = 8;

template <typename Item, typename Result, typename Next, typename Work, typename Deliver, typename Waiting>
void RunBatch(std::size_t jobs, Next next, Work work, Deliver deliver, Waiting waiting) {
  if (jobs <= 1) {
    Item item{};
    while (next(item)) {
      waiting(static_cast<const Item&>(item));
      Result result = work(std::size_t{0}, static_cast<const Item&>(item));
      deliver(item, result);
    }
    return;
  }
  struct TSlot {
    Item item{};
    std::optional<Result> result;
    std::exception_ptr failure;
  };
  std::deque<TSlot> slots;  // in input order; the front is delivered next
  std::size_t undispatched = 0;  // the last slots, not yet taken by a worker
  bool stopping = false;
  // While the delivering thread waits: how many finished slots at the front wake it. It waits for
  // half the window, so that it wakes once for several files rather than for each, taking a core
  // from the workers every time.
  std::size_t wanted = 0;
  std::mutex mutex;
  std::condition_variable workReady, resultReady;
  auto finishedAtFront = [&] {
    std::size_t finished = 0;
    while (finished < slots.size() && (slots[finished].result || slots[finished].failure)) ++finished;
    return finished;
  };

  auto workerLoop = [&](std::size_t worker) {
    SerialWorkOnThisThread = true;
    std::unique_lock lock(mutex);
    for (;;) {
      workReady.wait(lock, [&] { return stopping || undispatched > 0; });
      if (stopping) return;
      TSlot& slot = slots[slots.size() - undispatched--];
      lock.unlock();
      std::optional<Result> result;
      std::exception_ptr failure;
      try {
        result.emplace(work(worker, static_cast<const Item&>(slot.item)));
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      slot.result = std::move(result);
      slot.failure = failure;
      if (wanted != 0 && finishedAtFront() >= wanted) {
        wanted = 0;
        // Woken without the lock held, so that it does not wake only to wait for it.
        lock.unlock();
        resultReady.notify_one();
        lock.lock();
      }
    }
  };
  std::vector<std::thread> workers;
  auto stop = [&] {
    {
      std::lock_guard guard(mutex);
      stopping = true;
    }
    workReady.notify_all();
    for (std::thread& thread : workers) thread.join();
  };
  try {
    for (std::size_t i = 0; i < jobs; ++i) workers.emplace_back(workerLoop, i);
    const std::size_t window = kBatchWindowPerJob * jobs;
    bool more = true;
    for (;;) {
      std::unique_lock lock(mutex);
      while (more && slots.size() < window) {
        Item item{};
        lock.unlock();
        more = next(item);
        lock.lock();
        if (!more) break;
        slots.push_back({std::move(item), std::nullopt, nullptr});
        ++undispatched;
        workReady.notify_one();
      }
      if (slots.empty()) break;
      TSlot& front = slots.front();
      lock.unlock();
      waiting(static_cast<const Item&>(front.item));
      lock.lock();
      if (!front.result && !front.failure) {
        wanted = std::min(window / 2, slots.size());
        resultReady.wait(lock, [&] { return finishedAtFront() >= std::min(window / 2, slots.size()); });
        wanted = 0;
      }
      if (front.failure) std::rethrow_exception(front.failure);
      lock.unlock();
      deliver(front.item, *front.result);
      lock.lock();
      slots.pop_front();
    }
  } catch (...) {
    stop();
    throw;
  }
  stop();
}

}  // namespace torvane
