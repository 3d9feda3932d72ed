#include "raster/work_pool.h"

#include <atomic>
#include <exception>

namespace lumatrim {

struct WorkPool::Job {
  size_t count = 0;
  const std::function<void(size_t)>* body = nullptr;
  std::atomic<size_t> next{0};      // the next item to start
  std::atomic<size_t> finished{0};  // items that have ended
  std::mutex mutex;                 // guards failure and the wait for the last item
  std::condition_variable done;
  std::exception_ptr failure;
};

WorkPool::WorkPool(unsigned threads) {
  for (unsigned i = 1; i < threads; ++i) {
    workers_.emplace_back([this](std::stop_token stop) { Work(stop); });
  }
}

WorkPool::~WorkPool() {
  for (std::jthread& worker : workers_) worker.request_stop();
  wake_.notify_all();
}

bool WorkPool::RunItems(Job& job) {
  bool ran = false;
  for (size_t i = job.next++; i < job.count; i = job.next++) {
    ran = true;
    try {
      (*job.body)(i);
    } catch (...) {
      std::lock_guard lock(job.mutex);
      if (!job.failure) job.failure = std::current_exception();
    }
    if (++job.finished == job.count) {
      std::lock_guard lock(job.mutex);
      job.done.notify_all();
    }
  }
  return ran;
}

void WorkPool::Work(std::stop_token stop) {
  while (true) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, stop, [this] { return !jobs_.empty(); });
      if (stop.stop_requested()) return;
      job = jobs_.front();
      // A job whose items have all started leaves the queue; its caller waits for the rest.
      if (job->next.load() >= job->count) {
        jobs_.pop_front();
        continue;
      }
    }
    RunItems(*job);
  }
}

void WorkPool::ParallelFor(size_t count, const std::function<void(size_t)>& body) {
  if (count == 0) return;
  auto job = std::make_shared<Job>();
  job->count = count;
  job->body = &body;
  if (!workers_.empty() && count > 1) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(job);
    }
    wake_.notify_all();
  }
  RunItems(*job);
  {
    std::unique_lock lock(job->mutex);
    job->done.wait(lock, [&] { return job->finished.load() == job->count; });
  }
  {
    // Gone from the queue before body goes out of scope (a worker may not have dropped it yet).
    std::lock_guard lock(mutex_);
    std::erase(jobs_, job);
  }
  if (job->failure) std::rethrow_exception(job->failure);
}

void ParallelFor(WorkPool* pool, size_t count, const std::function<void(size_t)>& body) {
  if (pool != nullptr) return pool->ParallelFor(count, body);
  for (size_t i = 0; i < count; ++i) body(i);
}

}  // namespace lumatrim
