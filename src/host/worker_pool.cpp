// The page workers and their bounded queue.
#include "host/worker_pool.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace cb {

WorkerPool::WorkerPool(size_t workers, size_t queue_limit) : queue_limit_(queue_limit) {
  workers = std::max<size_t>(workers, 1);
  threads_.reserve(workers);
  for (size_t i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() { Join(); }

bool WorkerPool::TrySubmit(Job job) {
  {
    std::lock_guard lock(mu_);
    // Room for one job per worker plus the queue: jobs not yet picked up by an idle worker count
    // against the workers, not the queue.
    if (closed_ || running_ + queue_.size() >= threads_.size() + queue_limit_) return false;
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

void WorkerPool::Close() {
  std::deque<Job> dropped;
  {
    std::lock_guard lock(mu_);
    closed_ = true;
    dropped.swap(queue_);
  }
  wake_.notify_all();
  for (Job& job : dropped) {
    try {
      job(Fate::kDropped);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "worker pool: dropped job failed: %s\n", e.what());
    } catch (...) {
    }
  }
}

bool WorkerPool::WaitIdle(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mu_);
  return idle_.wait_until(lock, deadline, [&] { return running_ == 0 && queue_.empty(); });
}

void WorkerPool::Join() {
  Close();
  for (auto& t : threads_) {
    if (t.joinable()) t.join();
  }
}

size_t WorkerPool::queued() {
  std::lock_guard lock(mu_);
  return queue_.size();
}

void WorkerPool::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mu_);
      wake_.wait(lock, [&] { return closed_ || !queue_.empty(); });
      if (queue_.empty()) return;  // closed, nothing left
      job = std::move(queue_.front());
      queue_.pop_front();
      ++running_;
    }
    try {
      job(Fate::kRun);
    } catch (const std::exception& e) {
      // Jobs answer their own failures; this only keeps the worker alive if one slips through.
      std::fprintf(stderr, "worker pool: job failed: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "worker pool: job failed\n");
    }
    job = nullptr;  // its captures go before the pool counts it as ended
    {
      std::lock_guard lock(mu_);
      --running_;
    }
    idle_.notify_all();
  }
}

}  // namespace cb
