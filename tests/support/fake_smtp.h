// FakeSmtp: an SMTP server on a thread of the test process, on a free loopback port, that records
// every mail it accepts (envelope and message). Recipients at refused.example are refused; the
// server can be told to drop connections or to stall, for the failure cases. FakeTransport: the
// same record without a socket, for the queue and the pages' environment.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/environment.h"

namespace cb::test {

class FakeHost;

class FakeSmtp {
 public:
  enum class Mode {
    kAccept,  // a well-behaved server
    kDrop,    // hangs up once the message has been sent, before accepting it
    kStall,   // accepts connections and never says a word
  };
  struct Mail {
    std::string from;
    std::vector<std::string> recipients;
    std::string message;  // as sent, CRLF line ends, dot-stuffing undone, without the final "."
    bool operator==(const Mail&) const = default;
  };

  explicit FakeSmtp(Mode mode = Mode::kAccept);
  ~FakeSmtp();
  FakeSmtp(const FakeSmtp&) = delete;
  FakeSmtp& operator=(const FakeSmtp&) = delete;

  // "127.0.0.1:port", as the board's SmtpServer setting takes it.
  std::string address() const;
  // Points the board of a page test at this server.
  void Serve(FakeHost& host) const;
  // Changes the behaviour for the connections that follow (a dead server coming back).
  void SetMode(Mode mode) { mode_ = mode; }
  // The mails accepted so far, in order of arrival.
  std::vector<Mail> mails() const;

 private:
  void Loop();
  void Converse(int fd);

  std::atomic<Mode> mode_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};  // written to when the server is to stop
  int port_ = 0;
  mutable std::mutex mu_;
  std::vector<Mail> mails_;
  std::thread thread_;
};

// Each delivery takes `delay`, then fails with the reason given while failures are left, else is
// kept. Safe across the mail queue's threads.
class FakeTransport final : public MailTransport {
 public:
  explicit FakeTransport(int failures = 0, std::string reason = "try later")
      : failures_(failures), reason_(std::move(reason)) {}
  Outcome Deliver(const std::string& from, const std::vector<std::string>& recipients,
                  const std::string& message) override;
  void Fail(int failures, std::string reason) {
    std::lock_guard lock(mu_);
    failures_ = failures;
    reason_ = std::move(reason);
  }
  std::vector<FakeSmtp::Mail> mails() const {
    std::lock_guard lock(mu_);
    return mails_;
  }
  std::chrono::milliseconds delay{0};

 private:
  mutable std::mutex mu_;
  int failures_;
  std::string reason_;
  std::vector<FakeSmtp::Mail> mails_;
};

}  // namespace cb::test
