// The page workers. (Closing, which drops the waiting jobs and lets the running ones finish, is
// checked through the server: http_server_test's full queue.)
#include "host/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <latch>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace cb {
namespace {

using Fate = WorkerPool::Fate;
using std::chrono::steady_clock;

// Jobs that record how they ended; the "blocking" ones wait until released.
class Jobs {
 public:
  WorkerPool::Job Blocking(std::string name) {
    return [this, name](Fate fate) {
      if (fate == Fate::kRun) {
        started_.count_down();
        release_.get_future().wait();
      }
      Record(name, fate);
    };
  }
  WorkerPool::Job Quick(std::string name) {
    return [this, name](Fate fate) { Record(name, fate); };
  }
  void WaitStarted() { started_.wait(); }
  void Release() { release_.set_value(); }
  std::vector<std::string> Ended() { return ended_.all(); }

 private:
  void Record(const std::string& name, Fate fate) {
    ended_.Add(name + (fate == Fate::kRun ? " ran" : " dropped"));
  }
  std::latch started_{1};
  std::promise<void> release_;
  test::LineLog ended_;
};

TEST(WorkerPoolTest, TakesOneJobPerWorkerPlusTheQueueAndRefusesTheRest) {
  Jobs jobs;
  WorkerPool pool(1, 1);
  ASSERT_TRUE(pool.TrySubmit(jobs.Blocking("a")));
  jobs.WaitStarted();
  EXPECT_TRUE(pool.TrySubmit(jobs.Quick("b")));   // waits in the queue
  EXPECT_FALSE(pool.TrySubmit(jobs.Quick("c")));  // no room: refused, never run
  jobs.Release();
  EXPECT_TRUE(pool.WaitIdle(steady_clock::now() + std::chrono::seconds(5)));
  EXPECT_EQ(jobs.Ended(), (std::vector<std::string>{"a ran", "b ran"}));
  // Room again once the worker is free.
  EXPECT_TRUE(pool.TrySubmit(jobs.Quick("d")));
  EXPECT_TRUE(pool.WaitIdle(steady_clock::now() + std::chrono::seconds(5)));
  EXPECT_EQ(jobs.Ended().back(), "d ran");
}

TEST(WorkerPoolTest, AThrowingJobLeavesTheWorkerServing) {
  WorkerPool pool(1, 0);
  std::atomic<int> ran{0};
  ASSERT_TRUE(pool.TrySubmit([](Fate) { throw std::runtime_error("boom"); }));
  ASSERT_TRUE(pool.WaitIdle(steady_clock::now() + std::chrono::seconds(5)));
  ASSERT_TRUE(pool.TrySubmit([&](Fate) { ++ran; }));
  ASSERT_TRUE(pool.WaitIdle(steady_clock::now() + std::chrono::seconds(5)));
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace cb
