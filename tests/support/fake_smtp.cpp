// FakeSmtp: one conversation at a time over a plain socket, enough SMTP for libcurl.
#include "support/fake_smtp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "runtime/convert.h"
#include "support/fake_host.h"

namespace cb::test {

namespace {

// Reads CRLF lines from a connection; false once it closes or the server is to stop.
class LineReader {
 public:
  LineReader(int fd, int wake) : fd_(fd), wake_(wake) {}
  bool Next(std::string& line) {
    size_t end;
    while ((end = buf_.find("\r\n")) == std::string::npos) {
      pollfd p[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
      if (poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN)) return false;
      char chunk[4096];
      ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      buf_.append(chunk, static_cast<size_t>(n));
    }
    line = buf_.substr(0, end);
    buf_.erase(0, end + 2);
    return true;
  }

 private:
  int fd_;
  int wake_;
  std::string buf_;
};

void Say(int fd, const std::string& reply) {
  const std::string line = reply + "\r\n";
  send(fd, line.data(), line.size(), MSG_NOSIGNAL);
}

// "<a@b.c>" of "MAIL FROM:<a@b.c> SIZE=9" as "a@b.c".
std::string AddressOf(const std::string& command) {
  const size_t open = command.find('<');
  const size_t close = command.find('>', open);
  return open == std::string::npos || close == std::string::npos
             ? std::string()
             : command.substr(open + 1, close - open - 1);
}

}  // namespace

FakeSmtp::FakeSmtp(Mode mode) : mode_(mode) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
      listen(listener_, 8) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    throw std::runtime_error("the fake SMTP server cannot listen");
  }
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Loop(); });
}

FakeSmtp::~FakeSmtp() {
  (void)!write(wake_[1], "x", 1);
  thread_.join();
  for (int fd : {listener_, wake_[0], wake_[1]}) close(fd);
}

std::string FakeSmtp::address() const { return "127.0.0.1:" + std::to_string(port_); }

void FakeSmtp::Serve(FakeHost& host) const { host.Configure({{"SmtpServer", address()}}); }

std::vector<FakeSmtp::Mail> FakeSmtp::mails() const {
  std::lock_guard lock(mu_);
  return mails_;
}

void FakeSmtp::Loop() {
  for (;;) {
    pollfd p[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN)) return;
    int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    if (mode_ == Mode::kStall) {
      std::string ignored;
      LineReader(fd, wake_[0]).Next(ignored);  // until the client gives up
    } else {
      Converse(fd);
    }
    close(fd);
  }
}

void FakeSmtp::Converse(int fd) {
  LineReader in(fd, wake_[0]);
  Mail mail;
  Say(fd, "220 fake.test ESMTP");
  for (std::string line; in.Next(line);) {
    const std::string verb = ToLower(line.substr(0, 4));
    if (verb == "ehlo" || verb == "helo") {
      Say(fd, "250 fake.test");
    } else if (verb == "mail") {
      mail = Mail{AddressOf(line), {}, {}};
      Say(fd, "250 OK");
    } else if (verb == "rcpt") {
      const std::string address = AddressOf(line);
      if (ToLower(address).ends_with("@refused.example")) {
        Say(fd, "550 5.1.1 <" + address + ">: mailbox unavailable");
        continue;
      }
      mail.recipients.push_back(address);
      Say(fd, "250 OK");
    } else if (verb == "data") {
      Say(fd, "354 end with <CRLF>.<CRLF>");
      while (in.Next(line) && line != ".") {
        mail.message += (line.starts_with(".") ? line.substr(1) : line) + "\r\n";
      }
      if (mode_ == Mode::kDrop) return;
      {
        std::lock_guard lock(mu_);
        mails_.push_back(mail);
      }
      Say(fd, "250 accepted");
    } else if (verb == "quit") {
      Say(fd, "221 bye");
      return;
    } else {
      Say(fd, verb == "rset" || verb == "noop" ? "250 OK" : "502 not implemented");
    }
  }
}

Outcome FakeTransport::Deliver(const std::string& from, const std::vector<std::string>& recipients,
                               const std::string& message) {
  std::this_thread::sleep_for(delay);
  std::lock_guard lock(mu_);
  if (failures_ > 0) {
    --failures_;
    return Outcome::Failure(reason_);
  }
  mails_.push_back({from, recipients, message});
  return {};
}

}  // namespace cb::test
