#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessera {

/// A fixed set of threads that run one job at a time together with the caller.
class WorkerPool {
 public:
  /// threads >= 1 in all, the calling thread included. When the system refuses to start a
  /// thread, the pool keeps the ones it has: size() then falls short of requested().
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int size() const { return static_cast<int>(workers_.size()) + 1; }
  int requested() const { return requested_; }

  /// Runs job(thread) once on every thread, the caller being thread 0, and returns when all
  /// have returned. The first exception thrown by a job is rethrown here.
  void runOnAll(const std::function<void(int)>& job);

 private:
  void work(int thread);
  void stopAll();
  void finishOne(std::exception_ptr error);

  int requested_ = 1;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable done_;
  const std::function<void(int)>* job_ = nullptr;
  unsigned long generation_ = 0;
  int running_ = 0;
  bool stopping_ = false;
  std::exception_ptr error_;
};

/// The number of threads to use when none is asked for: every core the system reports.
int defaultThreadCount();

/// The most threads a run may ask for; more would only cost memory and start-up time.
inline constexpr int kMaxThreads = 1024;

}  // namespace tessera
