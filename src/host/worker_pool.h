// The threads that run pages, away from the network threads: a fixed number of workers and a
// bounded queue. A job that finds the queue full is refused at once instead of waiting unseen.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace cb {

class WorkerPool {
 public:
  // A job learns whether it runs, or was dropped unrun because the pool closed before its turn.
  enum class Fate { kRun, kDropped };
  using Job = std::function<void(Fate)>;

  // workers: threads, at least one; queue_limit: jobs that may wait while every worker is busy.
  WorkerPool(size_t workers, size_t queue_limit);
  ~WorkerPool();  // Close, then Join
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues the job; false (the job destroyed unrun) when the queue is full or the pool closed.
  bool TrySubmit(Job job);
  // Takes no more jobs and drops the waiting ones, each called with kDropped on this thread.
  // Running jobs go on. Idempotent.
  void Close();
  // Waits until no job runs or the deadline passes; true when none runs. Call after Close.
  bool WaitIdle(std::chrono::steady_clock::time_point deadline);
  // Closes and ends the threads, waiting for the running jobs however long they take.
  void Join();

  // Jobs waiting for a worker now (for monitoring and tests).
  size_t queued();
  size_t workers() const { return threads_.size(); }
  size_t queue_limit() const { return queue_limit_; }

 private:
  void Work();

  const size_t queue_limit_;
  std::mutex mu_;
  std::condition_variable wake_;  // a job was queued, or the pool closed
  std::condition_variable idle_;  // a job ended
  std::deque<Job> queue_;
  size_t running_ = 0;
  bool closed_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace cb
