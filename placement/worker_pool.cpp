#include "placement/worker_pool.h"

#include <algorithm>
#include <system_error>

#include "geometry/assert.h"

namespace tessera {

WorkerPool::WorkerPool(int threads) : requested_(threads) {
  TESSERA_ASSERT(threads >= 1);
  workers_.reserve(static_cast<std::size_t>(std::max(threads - 1, 0)));
  for (int t = 1; t < threads; ++t) {
    try {
      workers_.emplace_back([this, t] { work(t); });
    } catch (const std::system_error&) {
      break;  // the system allows no more threads; the ones started do the work
    } catch (...) {
      stopAll();  // a joinable thread must not be destroyed
      throw;
    }
  }
}

WorkerPool::~WorkerPool() { stopAll(); }

void WorkerPool::stopAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  start_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

void WorkerPool::runOnAll(const std::function<void(int)>& job) {
  if (workers_.empty()) {
    job(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    running_ = static_cast<int>(workers_.size()) + 1;
    error_ = nullptr;
    ++generation_;
  }
  start_.notify_all();
  std::exception_ptr mine;
  try {
    job(0);
  } catch (...) {
    mine = std::current_exception();
  }
  finishOne(mine);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return running_ == 0; });
  job_ = nullptr;
  if (error_) std::rethrow_exception(error_);
}

void WorkerPool::finishOne(std::exception_ptr error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (error && !error_) error_ = error;
  if (--running_ == 0) done_.notify_all();
}

void WorkerPool::work(int thread) {
  unsigned long seen = 0;
  while (true) {
    const std::function<void(int)>* job = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      job = job_;
    }
    std::exception_ptr error;
    try {
      (*job)(thread);
    } catch (...) {
      error = std::current_exception();
    }
    finishOne(error);
  }
}

int defaultThreadCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace tessera
