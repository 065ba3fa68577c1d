// Visitor sessions in memory, swept by idle time.
#include "host/session_store.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace cb {

std::string RandomSessionId() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no secure random source for session ids");
    }
    got += static_cast<size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id += kHex[b >> 4];
    id += kHex[b & 15];
  }
  return id;
}

SessionStore::SessionStore(std::chrono::seconds idle_timeout, NowFn now, IdFn new_id)
    : idle_timeout_(idle_timeout),
      now_(std::move(now)),
      new_id_(std::move(new_id)),
      last_sweep_(now_()) {}

std::shared_ptr<Session> SessionStore::Find(std::string_view id) {
  TimePoint now = now_();
  std::lock_guard lock(mu_);
  SweepIfDue(now);
  auto it = sessions_.find(std::string(id));
  if (it == sessions_.end()) return nullptr;
  if (now - it->second.last_used > idle_timeout_) {
    sessions_.erase(it);
    return nullptr;
  }
  it->second.last_used = now;
  return it->second.session;
}

std::shared_ptr<Session> SessionStore::NewSession() const {
  return std::make_shared<Session>(new_id_());
}

void SessionStore::Keep(std::shared_ptr<Session> session) {
  TimePoint now = now_();
  std::lock_guard lock(mu_);
  SweepIfDue(now);
  std::string id = session->id();
  sessions_.insert_or_assign(std::move(id), Entry{std::move(session), now});
}

size_t SessionStore::Sweep() {
  TimePoint now = now_();
  std::lock_guard lock(mu_);
  return SweepLocked(now);
}

size_t SessionStore::size() const {
  std::lock_guard lock(mu_);
  return sessions_.size();
}

void SessionStore::SweepIfDue(TimePoint now) {
  // A full pass at most once a minute keeps the cost off the common path.
  if (now - last_sweep_ >= std::chrono::minutes(1)) SweepLocked(now);
}

size_t SessionStore::SweepLocked(TimePoint now) {
  last_sweep_ = now;
  return std::erase_if(sessions_,
                       [&](const auto& kv) { return now - kv.second.last_used > idle_timeout_; });
}

}  // namespace cb
