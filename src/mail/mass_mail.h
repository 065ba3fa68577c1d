// The mass mailing queue: mailings the control panel starts are sent one mail per recipient on a
// thread of the program's own, so the page that starts one answers at once, and the page that
// shows their progress reads it here. Mailings run one after another, in the order started. Each
// one is also kept in the data folder's massmail/ with a mark per address handled, so a mailing
// cut short by a stop continues where it was when the program starts again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/datetime.h"

namespace cb {

// One mailing: the same sender, subject and body to every address, each in a mail of its own.
struct MassMailing {
  std::string server;       // as the SmtpServer setting names it
  std::string data_folder;  // where a relative "dir:" outbox and the spool folder lie
  std::string from_name;
  std::string from_address;
  std::string to_name;  // every recipient's display name
  std::string subject;
  std::string body;  // the whole HTML text
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

  MassMailQueue();
  // Finishes the mail in hand and waits for the thread; the rest stays spooled.
  ~MassMailQueue();
  MassMailQueue(const MassMailQueue&) = delete;
  MassMailQueue& operator=(const MassMailQueue&) = delete;

  // The program's one queue.
  static MassMailQueue& Board();

  // Spools a mailing, queues it and returns its number; the thread starts with the first mailing.
  // Throws ScriptError when the spool file cannot be written (nothing is queued then).
  long Start(MassMailing mailing, DateTime now);
  // Queues the unfinished mailings spooled in that data folder and not queued yet.
  void Resume(const std::string& data_folder);
  // The mailings remembered, newest first.
  std::vector<MassMailProgress> Recent() const;
  std::optional<MassMailProgress> Find(long id) const;
  // Waits until that mailing has finished; false when time ran out first.
  bool WaitFinished(long id, std::chrono::milliseconds timeout) const;

 private:
  struct Job {
    MassMailing mailing;
    MassMailProgress progress;
    std::string spool;  // the job file; its ".done" holds one mark per address handled
    size_t next = 0;    // the first address not handled yet
  };
  void Enqueue(Job job);  // with mu_ held
  void Run();
  Job* FindJob(long id);

  mutable std::mutex mu_;
  mutable std::condition_variable changed_;
  std::deque<Job> jobs_;  // oldest first; unfinished ones at the back
  std::set<std::string> spooled_;  // job files queued by this program
  long next_id_ = 1;
  bool stopping_ = false;
  std::thread worker_;
  SystemClock clock_;
};

}  // namespace cb
