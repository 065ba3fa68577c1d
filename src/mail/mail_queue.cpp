// The mail queue: the folder of waiting mails, the sender thread, its retries and the drain.
#include "mail/mail_queue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "mail/mail.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/random.h"

namespace cb {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// The envelope lines a queued mail file opens with; the composed mail follows them.
constexpr std::string_view kServerLine = "X-Queue-Server: ";
constexpr std::string_view kSenderLine = "X-Sender: ";
constexpr std::string_view kReceiverLine = "X-Receiver: ";
constexpr std::string_view kFailedFolder = "failed";

struct QueuedMail {
  std::string server;
  std::string from;
  std::vector<std::string> recipients;
  std::string message;
};

std::optional<QueuedMail> ReadQueuedMail(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  QueuedMail mail;
  size_t pos = 0;
  for (;;) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) return std::nullopt;
    std::string_view line(text.data() + pos, end - pos);
    if (line.starts_with(kServerLine)) {
      mail.server = line.substr(kServerLine.size());
    } else if (line.starts_with(kSenderLine)) {
      mail.from = line.substr(kSenderLine.size());
    } else if (line.starts_with(kReceiverLine)) {
      mail.recipients.emplace_back(line.substr(kReceiverLine.size()));
    } else {
      break;
    }
    pos = end + 2;
  }
  mail.message = text.substr(pos);
  if (mail.recipients.empty()) return std::nullopt;
  return mail;
}

// Mails left by an earlier run, oldest first (the names begin with the time they were queued).
std::vector<std::string> WaitingFiles(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (it->is_regular_file() && p.extension() == ".eml" && p.filename().string()[0] != '.') {
      files.push_back(p.string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Every process of a board may send from one folder: a mail goes out only under its file's lock,
// which the kernel lets go when its holder dies, so a dead process's mail is taken up at once.
class Claim {
 public:
  enum State { kMine, kBusy, kGone };
  explicit Claim(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat st;
    if (fd_ < 0) {
      state_ = kGone;
    } else if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      state_ = kBusy;
    } else if (::fstat(fd_, &st) != 0 || st.st_nlink == 0) {
      state_ = kGone;  // sent and removed by another process between open and lock
    }
  }
  ~Claim() {
    if (fd_ >= 0) ::close(fd_);
  }
  Claim(const Claim&) = delete;
  Claim& operator=(const Claim&) = delete;
  State state() const { return state_; }

 private:
  int fd_;
  State state_ = kMine;
};

bool HasControlOrBlank(std::string_view s) {
  return std::any_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; });
}

}  // namespace

MailQueue::MailQueue(std::string folder, MailQueueOptions options,
                     std::shared_ptr<MailTransport> transport)
    : folder_(std::move(folder)), options_(std::move(options)), transport_(std::move(transport)) {
  for (std::string& path : WaitingFiles(folder_)) {
    entries_.push_back({std::move(path), SteadyClock::now(), 0});
  }
  thread_ = std::thread([this] { Run(); });
}

MailQueue::~MailQueue() { Stop(); }

Outcome MailQueue::Accept(const std::string& server, const std::string& from,
                          const std::vector<std::string>& recipients, const std::string& message) {
  if (server.empty() || HasControlOrBlank(server)) return Outcome::Failure("邮件服务器设置无效");
  std::string envelope =
      std::string(kServerLine) + server + "\r\n" + std::string(kSenderLine) + from + "\r\n";
  for (const std::string& r : recipients) envelope += std::string(kReceiverLine) + r + "\r\n";
  {
    std::lock_guard lock(mu_);
    if (stopping_) return Outcome::Failure("邮件队列已经停止");
  }
  std::string path;
  Outcome written = WriteMailFile(folder_, envelope + message, SystemClock::Shared().Now(),
                                  SecureRandom::Shared(), &path);
  if (!written) return written;
  {
    std::lock_guard lock(mu_);
    entries_.push_back({std::move(path), SteadyClock::now(), 0});
  }
  wake_.notify_all();
  return {};
}

void MailQueue::Stop() {
  {
    std::lock_guard lock(mu_);
    if (stopping_) return;
    stopping_ = true;
    drain_deadline_ = SteadyClock::now() + options_.drain_time;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

size_t MailQueue::waiting() {
  std::lock_guard lock(mu_);
  return entries_.size();
}

void MailQueue::Run() {
  std::unique_lock lock(mu_);
  while (!stopping_) {
    auto next = std::min_element(entries_.begin(), entries_.end(),
                                 [](const Entry& a, const Entry& b) { return a.due < b.due; });
    if (next == entries_.end()) {
      wake_.wait(lock);
      continue;
    }
    // A copy: Accept may move the entries while the thread waits.
    const SteadyClock::time_point due = next->due;
    if (due > SteadyClock::now()) {
      wake_.wait_until(lock, due);
      continue;
    }
    Send(*next, options_.total_timeout, lock);
  }
  // Stopping: one more attempt for each waiting mail, due or not, while the drain time lasts.
  std::vector<Entry> left = entries_;
  for (const Entry& entry : left) {
    auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(drain_deadline_ - SteadyClock::now());
    if (remaining.count() <= 0) break;
    Send(entry, std::min(remaining, options_.total_timeout), lock);
  }
  if (!entries_.empty()) {
    Log("mail queue: " + std::to_string(entries_.size()) + " mail(s) left in " + folder_ +
        " for the next start");
  }
}

// Called and left with the lock held; the mail's own lock is held until it is settled.
void MailQueue::Send(Entry entry, std::chrono::milliseconds total,
                     std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  Claim claim(entry.path);
  const Outcome sent = claim.state() == Claim::kMine ? Attempt(entry.path, total) : Outcome();
  lock.lock();
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.path == entry.path; });
  if (claim.state() == Claim::kGone && it != entries_.end()) {
    entries_.erase(it);  // another process sent it
  } else if (claim.state() == Claim::kBusy && it != entries_.end()) {
    it->due = SteadyClock::now() + options_.first_retry;  // back here if that process dies
  } else if (claim.state() == Claim::kMine) {
    Settle(entry, sent);
  }
}

Outcome MailQueue::Attempt(const std::string& path, std::chrono::milliseconds total) {
  try {
    std::optional<QueuedMail> mail = ReadQueuedMail(path);
    if (!mail) return Outcome::Failure("unreadable queued mail");
    if (transport_) return transport_->Deliver(mail->from, mail->recipients, mail->message);
    SmtpTransport smtp(mail->server, std::min(options_.connect_timeout, total), total);
    return smtp.Deliver(mail->from, mail->recipients, mail->message);
  } catch (const std::exception& e) {
    return Outcome::Failure(e.what());
  }
}

// Under the lock: the sent mail leaves the folder; a failed one waits longer, or is given up.
void MailQueue::Settle(const Entry& entry, const Outcome& outcome) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.path == entry.path; });
  if (it == entries_.end()) return;
  std::error_code ec;
  if (outcome) {
    fs::remove(it->path, ec);
    entries_.erase(it);
    return;
  }
  const std::string name = fs::path(it->path).filename().string();
  if (++it->failures >= options_.attempts) {
    // Kept, not deleted: the operator can read why and move it back to send it again.
    fs::path failed = fs::path(folder_) / kFailedFolder;
    ::mkdir(failed.c_str(), 0700);
    fs::rename(it->path, failed / name, ec);
    Log("mail queue: " + name + " given up after " + std::to_string(it->failures) + " attempts: " +
        outcome.reason() + (ec ? " (could not be moved: " + ec.message() + ")" : ""));
    entries_.erase(it);
    return;
  }
  auto pause = Backoff(it->failures);
  it->due = SteadyClock::now() + pause;
  Log("mail queue: " + name + " not sent: " + outcome.reason() + "; next attempt in " +
      std::to_string(pause.count()) + " ms");
}

std::chrono::milliseconds MailQueue::Backoff(int failures) const {
  auto pause = options_.first_retry;
  for (int i = 1; i < failures && pause < options_.longest_retry; ++i) pause *= 2;
  return std::min(pause, options_.longest_retry);
}

void MailQueue::Log(const std::string& line) const {
  if (options_.log) return options_.log(line);
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace cb
