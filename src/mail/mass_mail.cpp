// The mass mailing queue's thread: one mail component per recipient, progress counted as it goes.
#include "mail/mass_mail.h"

#include <algorithm>

#include "mail/mail.h"

namespace cb {

MassMailQueue& MassMailQueue::Board() {
  static MassMailQueue queue;
  return queue;
}

MassMailQueue::~MassMailQueue() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

long MassMailQueue::Start(MassMailing mailing, DateTime now) {
  std::lock_guard<std::mutex> lock(mu_);
  Job job;
  job.progress.id = next_id_++;
  job.progress.subject = mailing.subject;
  job.progress.started = now;
  job.progress.total = mailing.addresses.size();
  job.mailing = std::move(mailing);
  jobs_.push_back(std::move(job));
  // Forget the oldest finished mailings past the number kept.
  while (jobs_.size() > kKept && jobs_.front().progress.finished) jobs_.pop_front();
  if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
  changed_.notify_all();
  return jobs_.back().progress.id;
}

MassMailQueue::Job* MassMailQueue::FindJob(long id) {
  for (Job& job : jobs_) {
    if (job.progress.id == id) return &job;
  }
  return nullptr;
}

void MassMailQueue::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (true) {
    auto pending = std::find_if(jobs_.begin(), jobs_.end(),
                                [](const Job& j) { return !j.progress.finished; });
    if (stopping_) return;
    if (pending == jobs_.end()) {
      changed_.wait(lock);
      continue;
    }
    const long id = pending->progress.id;
    const MassMailing mailing = pending->mailing;
    for (const std::string& address : mailing.addresses) {
      lock.unlock();
      MailComponent mail(clock_);
      mail.Server(mailing.server);
      mail.DataFolder(mailing.data_folder);
      mail.FromName(mailing.from_name);
      mail.FromAddress(mailing.from_address);
      mail.AddRecipient(mailing.to_name, address);
      mail.Charset("gb2312");
      mail.ContentType("text/html");
      mail.Subject(mailing.subject);
      mail.Body(mailing.body);
      const bool sent = mail.Send();
      lock.lock();
      Job* job = FindJob(id);
      if (sent) {
        ++job->progress.sent;
      } else {
        ++job->progress.failed;
        job->progress.last_error = mail.ErrorText();
      }
      changed_.notify_all();
      if (stopping_) return;
    }
    FindJob(id)->progress.finished = true;
    FindJob(id)->mailing.addresses.clear();
    changed_.notify_all();
  }
}

std::vector<MassMailProgress> MassMailQueue::Recent() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<MassMailProgress> out;
  for (auto it = jobs_.rbegin(); it != jobs_.rend(); ++it) out.push_back(it->progress);
  return out;
}

std::optional<MassMailProgress> MassMailQueue::Find(long id) const {
  std::lock_guard<std::mutex> lock(mu_);
  for (const Job& job : jobs_) {
    if (job.progress.id == id) return job.progress;
  }
  return std::nullopt;
}

bool MassMailQueue::WaitFinished(long id, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mu_);
  return changed_.wait_for(lock, timeout, [&] {
    for (const Job& job : jobs_) {
      if (job.progress.id == id) return job.progress.finished;
    }
    return true;  // forgotten: long finished
  });
}

}  // namespace cb
