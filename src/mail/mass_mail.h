// The mass mailing queue: mailings the control panel starts are sent one mail per recipient on a
// thread of the program's own, so the page that starts one answers at once, and the page that
// shows their progress reads it here. Mailings run one after another, in the order started.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/datetime.h"

namespace cb {

// One mailing: the same sender, subject and body to every address, each in a mail of its own.
struct MassMailing {
  std::string server;       // as the SmtpServer setting names it
  std::string data_folder;  // where a relative "dir:" outbox lies
  std::string from_name;
  std::string from_address;
  std::string to_name;      // every recipient's display name
  std::string subject;
  std::string body;         // the whole HTML text
  std::vector<std::string> addresses;
};

struct MassMailProgress {
  long id = 0;
  std::string subject;
  DateTime started;
  size_t total = 0;
  size_t sent = 0;
  size_t failed = 0;
  bool finished = false;
  std::string last_error;  // of the latest failed mail
};

class MassMailQueue {
 public:
  static constexpr size_t kKept = 20;  // finished mailings remembered for the progress page

  MassMailQueue() = default;
  // Finishes the mail in hand, drops the rest and waits for the thread.
  ~MassMailQueue();
  MassMailQueue(const MassMailQueue&) = delete;
  MassMailQueue& operator=(const MassMailQueue&) = delete;

  // The program's one queue.
  static MassMailQueue& Board();

  // Queues a mailing and returns its number; the thread starts with the first mailing.
  long Start(MassMailing mailing, DateTime now);
  // The mailings remembered, newest first.
  std::vector<MassMailProgress> Recent() const;
  std::optional<MassMailProgress> Find(long id) const;
  // Waits until that mailing has finished; false when time ran out first.
  bool WaitFinished(long id, std::chrono::milliseconds timeout) const;

 private:
  struct Job {
    MassMailing mailing;
    MassMailProgress progress;
  };
  void Run();
  Job* FindJob(long id);

  mutable std::mutex mu_;
  mutable std::condition_variable changed_;
  std::deque<Job> jobs_;  // oldest first; unfinished ones at the back
  long next_id_ = 1;
  bool stopping_ = false;
  std::thread worker_;
  SystemClock clock_;
};

}  // namespace cb
