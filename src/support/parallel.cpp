#include "support/parallel.h"

#include <thread>

namespace torvane {

THelperThread& THelperThread::Instance() {
  // Never destroyed: the thread waits for work until the process ends.
  static THelperThread* helper = new THelperThread;
  return *helper;
}

bool THelperThread::TryStart(const std::function<void()>& task) {
  std::unique_lock lock(mutex_);
  if (busy_) return false;
  if (!started_) {
    try {
      std::thread(&THelperThread::Loop, this).detach();
    } catch (const std::system_error&) {
      return false;
    }
    started_ = true;
  }
  busy_ = true;
  done_ = false;
  error_ = nullptr;
  task_ = &task;
  changed_.notify_all();
  return true;
}

void THelperThread::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return done_; });
  std::exception_ptr error = error_;
  error_ = nullptr;
  busy_ = false;
  if (error) std::rethrow_exception(error);
}

void THelperThread::Loop() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return task_ != nullptr; });
    const std::function<void()>* task = task_;
    task_ = nullptr;
    lock.unlock();
    std::exception_ptr error;
    try {
      (*task)();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    done_ = true;
    changed_.notify_all();
  }
}

}  // namespace torvane
