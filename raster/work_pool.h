// Threads that share out work: the files of a batch and, within a file, its frames. One pool
// serves a whole run, so `-j N` means N threads in all: a ParallelFor runs its items on the
// thread that calls it and on every worker that is free, and a worker busy with a file helps with
// no other file's frames until it is done.
//
// The pool is handed to whoever may use it (ReductionOptions::workers, cGIF::Workers); the core
// keeps no pool of its own. Without a pool, or with a pool of one thread, everything runs on the
// calling thread in order. Results never depend on the number of threads: ParallelFor's items
// are independent, and each writes only its own slot of the result.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lumatrim {

class WorkPool {
 public:
  // A pool for threads threads in all: the caller of ParallelFor and threads - 1 workers.
  explicit WorkPool(unsigned threads);
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  unsigned Threads() const { return unsigned(workers_.size()) + 1; }

  // Runs body(i) for every i below count and returns when all have ended. The first failure an
  // item throws is thrown here once every item has ended (the others still run).
  void ParallelFor(size_t count, const std::function<void(size_t)>& body);

 private:
  struct Job;
  void Work(std::stop_token stop);
  // Runs items of job until none is left to start; answers whether it ran any.
  static bool RunItems(Job& job);

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<std::shared_ptr<Job>> jobs_;  // jobs with items not yet started
  std::vector<std::jthread> workers_;
};

// body(i) for every i below count, on pool's threads, or in order on this thread without a pool.
void ParallelFor(WorkPool* pool, size_t count, const std::function<void(size_t)>& body);

}  // namespace lumatrim
