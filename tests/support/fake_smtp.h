// FakeSmtp: an SMTP server on a thread of the test process, on a free loopback port, that records
// every mail it accepts (envelope and message). Recipients at refused.example are refused; the
// server can be told to drop connections or to stall, for the failure cases.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace cb::test
