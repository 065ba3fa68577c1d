// The mail queue: notices wait in a folder of the data folder and a background thread sends them,
// retrying with growing pauses; a graceful stop tries each once more, and what is left is sent
// after the next start.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/environment.h"

namespace cb {

struct MailQueueOptions {
  // The pause after the first failed attempt; each further failure doubles it up to the longest.
  std::chrono::milliseconds first_retry = std::chrono::seconds(30);
  std::chrono::milliseconds longest_retry = std::chrono::hours(1);
  // Attempts before a mail is given up and moved to the "failed" folder inside the queue's.
  int attempts = 12;
  // Bounds on one SMTP attempt; nobody waits for it, so they can be generous.
  std::chrono::milliseconds connect_timeout = std::chrono::seconds(10);
  std::chrono::milliseconds total_timeout = std::chrono::seconds(30);
  // How long Stop goes on sending what waits.
  std::chrono::milliseconds drain_time = std::chrono::seconds(10);
  // Where failures are reported (one line each, without newline); standard error when empty.
  std::function<void(const std::string&)> log;
};

class MailQueue final : public MailSpool {
 public:
  // folder: where waiting mails are kept, one .eml file each (made mode 0700 when missing); mails
  // left there by an earlier run are sent first. transport: carries every mail in place of the
  // server each was queued for (tests); null for SMTP.
  explicit MailQueue(std::string folder, MailQueueOptions options = {},
                     std::shared_ptr<MailTransport> transport = nullptr);
  ~MailQueue() override;  // Stop
  MailQueue(const MailQueue&) = delete;
  MailQueue& operator=(const MailQueue&) = delete;

  // Writes the mail to the folder (synced) and wakes the sender. Fails when it cannot be
  // written, or after Stop.
  Outcome Accept(const std::string& server, const std::string& from,
                 const std::vector<std::string>& recipients, const std::string& message) override;
  // Takes no more mail, tries every waiting one once more (within drain_time), ends the thread.
  // Mails still unsent stay in the folder. Idempotent.
  void Stop();

  // Mails waiting now (for monitoring and tests).
  size_t waiting();

 private:
  struct Entry {
    std::string path;
    std::chrono::steady_clock::time_point due;
    int failures = 0;
  };
  void Run();
  // Sends the mail of entry unless another process holds or has sent it.
  void Send(Entry entry, std::chrono::milliseconds total, std::unique_lock<std::mutex>& lock);
  // One attempt at the mail of that file; the reason when it failed.
  Outcome Attempt(const std::string& path, std::chrono::milliseconds total);
  void Settle(const Entry& entry, const Outcome& outcome);
  std::chrono::milliseconds Backoff(int failures) const;
  void Log(const std::string& line) const;

  const std::string folder_;
  const MailQueueOptions options_;
  const std::shared_ptr<MailTransport> transport_;
  std::mutex mu_;
  std::condition_variable wake_;
  std::vector<Entry> entries_;  // in the order queued
  bool stopping_ = false;
  std::chrono::steady_clock::time_point drain_deadline_{};
  std::thread thread_;
};

}  // namespace cb
