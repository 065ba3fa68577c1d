// The mass mailing queue's thread: one mail component per recipient, progress counted as it goes
// and marked in the spool, so a restart neither loses nor repeats a mail already handled.
#include "mail/mass_mail.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "mail/mail.h"
#include "runtime/script_error.h"

namespace cb {

namespace {

namespace fs = std::filesystem;

fs::path SpoolFolder(const std::string& data_folder) { return fs::path(data_folder) / "massmail"; }

// A spool file is a run of fields, each its length in bytes, LF, the bytes, LF.
void PutField(std::string& out, const std::string& field) {
  out += std::to_string(field.size()) + "\n" + field + "\n";
}

std::optional<std::string> TakeField(std::string_view& in) {
  const size_t lf = in.find('\n');
  if (lf == std::string_view::npos || lf == 0 || lf > 12) return std::nullopt;
  size_t size = 0;
  for (char c : in.substr(0, lf)) {
    if (c < '0' || c > '9') return std::nullopt;
    size = size * 10 + static_cast<size_t>(c - '0');
  }
  if (in.size() < lf + 1 + size + 1 || in[lf + 1 + size] != '\n') return std::nullopt;
  std::string field(in.substr(lf + 1, size));
  in.remove_prefix(lf + 1 + size + 1);
  return field;
}

std::string SpoolText(const MassMailing& m, const DateTime& started) {
  std::string out;
  for (const std::string* field : {&m.server, &m.from_name, &m.from_address, &m.to_name,
                                   &m.subject, &m.body}) {
    PutField(out, *field);
  }
  PutField(out, started.YmdHms());
  PutField(out, std::to_string(m.addresses.size()));
  for (const std::string& address : m.addresses) PutField(out, address);
  return out;
}

std::optional<std::string> ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The mailing a spool file holds and the date it was started; nothing when it is damaged.
std::optional<std::pair<MassMailing, DateTime>> ReadSpool(const fs::path& file,
                                                          const std::string& data_folder) {
  std::optional<std::string> text = ReadWhole(file);
  if (!text) return std::nullopt;
  std::string_view in = *text;
  MassMailing m;
  m.data_folder = data_folder;
  for (std::string* field : {&m.server, &m.from_name, &m.from_address, &m.to_name, &m.subject,
                             &m.body}) {
    std::optional<std::string> value = TakeField(in);
    if (!value) return std::nullopt;
    *field = std::move(*value);
  }
  std::optional<std::string> started = TakeField(in);
  std::optional<std::string> count = TakeField(in);
  if (!started || !count) return std::nullopt;
  std::optional<DateTime> when = DateTime::Parse(*started);
  if (count->empty() || count->size() > 9 ||
      count->find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  for (size_t n = std::stoul(*count); n > 0; --n) {
    std::optional<std::string> address = TakeField(in);
    if (!address) return std::nullopt;
    m.addresses.push_back(std::move(*address));
  }
  return std::make_pair(std::move(m), when.value_or(DateTime()));
}

// Written beside its place and renamed there, readable by the board's user alone: it holds the
// members' addresses.
void WriteSpool(const fs::path& file, const std::string& text) {
  const fs::path folder = file.parent_path();
  std::error_code ec;
  if (fs::create_directories(folder, ec)) chmod(folder.c_str(), 0700);
  const fs::path temp = file.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    chmod(temp.c_str(), 0600);
    out << text;
    out.close();
    if (!out) throw ScriptError(err::kInvalidProcedureCall, "无法写入文件 " + temp.string());
  }
  fs::rename(temp, file, ec);
  if (ec) throw ScriptError(err::kInvalidProcedureCall, "无法写入文件 " + file.string());
}

void MarkHandled(const std::string& spool, bool sent) {
  std::ofstream(spool + ".done", std::ios::binary | std::ios::app) << (sent ? 's' : 'f');
}

}  // namespace

MassMailQueue& MassMailQueue::Board() {
  static MassMailQueue queue;
  return queue;
}

MassMailQueue::MassMailQueue() { InitMailLibrary(); }

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
  job.progress.id = next_id_;
  job.progress.started = now;
  const std::string digits = std::to_string(now.year() * 10000 + now.month() * 100 + now.day());
  job.spool = (SpoolFolder(mailing.data_folder) /
               (digits + "-" + std::to_string(getpid()) + "-" + std::to_string(next_id_) + ".job"))
                  .string();
  WriteSpool(job.spool, SpoolText(mailing, now));
  job.mailing = std::move(mailing);
  spooled_.insert(job.spool);
  Enqueue(std::move(job));
  return next_id_ - 1;
}

void MassMailQueue::Resume(const std::string& data_folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(SpoolFolder(data_folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->path().extension() == ".job") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::lock_guard<std::mutex> lock(mu_);
  for (const fs::path& file : files) {
    if (spooled_.count(file.string())) continue;
    auto spooled = ReadSpool(file, data_folder);
    if (!spooled) continue;  // damaged: left for the operator to look at
    spooled_.insert(file.string());
    Job job;
    job.progress.id = next_id_;
    job.progress.started = spooled->second;
    job.mailing = std::move(spooled->first);
    job.spool = file.string();
    const std::string marks = ReadWhole(file.string() + ".done").value_or("");
    job.next = std::min(marks.size(), job.mailing.addresses.size());
    job.progress.sent = static_cast<size_t>(std::count(marks.begin(), marks.end(), 's'));
    job.progress.failed = job.next - std::min(job.next, job.progress.sent);
    Enqueue(std::move(job));
  }
}

void MassMailQueue::Enqueue(Job job) {
  ++next_id_;
  job.progress.subject = job.mailing.subject;
  job.progress.total = job.mailing.addresses.size();
  jobs_.push_back(std::move(job));
  // Forget the oldest finished mailings past the number kept.
  while (jobs_.size() > kKept && jobs_.front().progress.finished) jobs_.pop_front();
  if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
  changed_.notify_all();
}

MassMailQueue::Job* MassMailQueue::FindJob(long id) {
  for (Job& job : jobs_) {
    if (job.progress.id == id) return &job;
  }
  return nullptr;
}

void MassMailQueue::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_) {
    auto pending = std::find_if(jobs_.begin(), jobs_.end(),
                                [](const Job& j) { return !j.progress.finished; });
    if (pending == jobs_.end()) {
      changed_.wait(lock);
      continue;
    }
    const long id = pending->progress.id;
    const MassMailing mailing = pending->mailing;
    const std::string spool = pending->spool;
    for (size_t i = pending->next; i < mailing.addresses.size(); ++i) {
      lock.unlock();
      MailComponent mail(clock_);
      mail.Server(mailing.server);
      mail.DataFolder(mailing.data_folder);
      mail.FromName(mailing.from_name);
      mail.FromAddress(mailing.from_address);
      mail.AddRecipient(mailing.to_name, mailing.addresses[i]);
      mail.Charset("gb2312");
      mail.ContentType("text/html");
      mail.Subject(mailing.subject);
      mail.Body(mailing.body);
      const bool sent = mail.Send();
      MarkHandled(spool, sent);
      lock.lock();
      Job* job = FindJob(id);
      job->next = i + 1;
      if (sent) {
        ++job->progress.sent;
      } else {
        ++job->progress.failed;
        job->progress.last_error = mail.ErrorText();
      }
      changed_.notify_all();
      if (stopping_) return;
    }
    Job* job = FindJob(id);
    job->progress.finished = true;
    job->mailing.addresses.clear();
    std::error_code ec;
    fs::remove(spool + ".done", ec);
    fs::remove(spool, ec);
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
