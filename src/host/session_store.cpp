// Visitor sessions in memory: two least-recently-used tiers, swept by idle time, capped; or the
// kept ones in the table every process of the board shares.
#include "host/session_store.h"

#include <algorithm>
#include <list>
#include <unordered_map>

namespace cb {

std::string RandomSessionId(Random& random) { return random.Hex(16); }

// One tier of sessions: found by id, listed least recently used first overall and per address,
// so that the idle sweep and the caps both take from the front of a list.
class SessionStore::Tier {
 public:
  Tier(size_t total, size_t per_address) { SetCaps(total, per_address); }

  void SetCaps(size_t total, size_t per_address) {
    total_ = std::max<size_t>(total, 1);
    per_address_ = std::max<size_t>(per_address, 1);
  }

  // The session of id with its idle time restarted, or null.
  std::shared_ptr<Session> Touch(const std::string& id, TimePoint now) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return nullptr;
    Entry& e = it->second;
    e.last_used = now;
    all_.splice(all_.end(), all_, e.in_all);
    auto& mine = by_address_[e.address];
    mine.splice(mine.end(), mine, e.in_address);
    return e.session;
  }

  // Removes the session of id; returns it (null when absent) and its address.
  std::shared_ptr<Session> Take(const std::string& id, std::string* address) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return nullptr;
    std::shared_ptr<Session> session = it->second.session;
    *address = it->second.address;
    Erase(it);
    return session;
  }

  // Adds a session; past a cap the least recently used of its address, then of all, leave.
  void Insert(const std::string& id, std::shared_ptr<Session> session, const std::string& address,
              TimePoint now) {
    if (entries_.count(id)) Erase(entries_.find(id));
    auto& mine = by_address_[address];
    all_.push_back(id);
    mine.push_back(id);
    entries_.emplace(
        id, Entry{std::move(session), address, now, std::prev(all_.end()), std::prev(mine.end())});
    while (mine.size() > per_address_) Erase(entries_.find(mine.front()));
    while (entries_.size() > total_) Erase(entries_.find(all_.front()));
  }

  size_t DropIdle(TimePoint now, std::chrono::seconds timeout) {
    size_t dropped = 0;
    while (!all_.empty()) {
      auto it = entries_.find(all_.front());
      if (now - it->second.last_used <= timeout) break;
      Erase(it);
      ++dropped;
    }
    return dropped;
  }

  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::shared_ptr<Session> session;
    std::string address;
    TimePoint last_used;
    std::list<std::string>::iterator in_all, in_address;
  };

  void Erase(std::unordered_map<std::string, Entry>::iterator it) {
    Entry& e = it->second;
    all_.erase(e.in_all);
    auto mine = by_address_.find(e.address);
    mine->second.erase(e.in_address);
    if (mine->second.empty()) by_address_.erase(mine);
    entries_.erase(it);
  }

  std::unordered_map<std::string, Entry> entries_;
  std::list<std::string> all_;  // least recently used first
  std::unordered_map<std::string, std::list<std::string>> by_address_;
  size_t total_ = 1, per_address_ = 1;
};

SessionStore::SessionStore(std::chrono::seconds idle_timeout, const Clock& clock, Random& random)
    : idle_timeout_(idle_timeout), clock_(clock), random_(random) {
  SessionLimits defaults;
  kept_ = std::make_unique<Tier>(defaults.total, defaults.per_address);
  trial_ = std::make_unique<Tier>(defaults.trial_total, defaults.per_address);
}

SessionStore::~SessionStore() {
  if (shared_) shared_->WatchSessions(nullptr);
}

void SessionStore::SetLimits(const SessionLimits& limits) {
  std::lock_guard lock(mu_);
  limits_ = limits;
  kept_->SetCaps(limits.total, limits.per_address);
  trial_->SetCaps(limits.trial_total, limits.per_address);
}

std::shared_ptr<Session> SessionStore::Find(std::string_view id) {
  TimePoint now = clock_.Steady();
  std::string key(id);
  if (shared_) return FindShared(key);
  std::lock_guard lock(mu_);
  kept_->DropIdle(now, idle_timeout_);
  trial_->DropIdle(now, idle_timeout_);
  if (auto session = kept_->Touch(key, now)) return session;
  std::string address;
  std::shared_ptr<Session> session = trial_->Take(key, &address);
  if (session) kept_->Insert(key, session, address, now);
  return session;
}

std::shared_ptr<Session> SessionStore::NewSession() const {
  return std::make_shared<Session>(RandomSessionId(random_));
}

void SessionStore::Keep(std::shared_ptr<Session> session, const std::string& address) {
  TimePoint now = clock_.Steady();
  std::string id = session->id();
  bool trial = session->OnlyRecomputable();
  if (shared_ && !trial) return Store(*session, address);
  std::lock_guard lock(mu_);
  Tier& tier = trial ? *trial_ : *kept_;
  tier.DropIdle(now, idle_timeout_);
  tier.Insert(id, std::move(session), address, now);
}

void SessionStore::Renew(const std::shared_ptr<Session>& session, const std::string& address) {
  TimePoint now = clock_.Steady();
  std::string fresh = RandomSessionId(random_);
  std::string old = session->id();
  {
    std::lock_guard lock(mu_);
    std::string kept_address = address;
    if (!kept_->Take(old, &kept_address)) trial_->Take(old, &kept_address);
    session->ResetId(fresh);
    if (!shared_) return kept_->Insert(fresh, session, kept_address, now);
  }
  shared_->DropSession(old);
  Forget(&old);
  Store(*session, address);
}

void SessionStore::Share(std::shared_ptr<SharedState> shared) {
  {
    std::lock_guard lock(mu_);
    shared_ = std::move(shared);
  }
  if (shared_) shared_->WatchSessions([this](const std::string* id) { Forget(id); });
}

void SessionStore::Forget(const std::string* id) {
  std::lock_guard lock(read_mu_);
  ++read_epoch_;
  if (id) {
    read_.erase(*id);
  } else {
    read_.clear();
  }
}

std::optional<StoredSession> SessionStore::ReadShared(const std::string& id) {
  const int64_t now = clock_.Now().seconds();
  const bool watching = shared_->WatchingSessions();
  uint64_t epoch = 0;
  if (watching) {
    std::lock_guard lock(read_mu_);
    auto it = read_.find(id);
    if (it != read_.end() && it->second.expires > now) return it->second;
    if (it != read_.end()) read_.erase(it);
    epoch = read_epoch_;
  }
  std::optional<StoredSession> stored = shared_->LoadSession(id, now);
  if (stored && watching) {
    std::lock_guard lock(read_mu_);
    if (epoch == read_epoch_ && shared_->WatchingSessions()) {
      if (read_.size() >= std::max<size_t>(limits_.total, 1)) read_.erase(read_.begin());
      read_.emplace(id, *stored);
    }
  }
  return stored;
}

int64_t SessionStore::Expiry() const { return clock_.Now().seconds() + idle_timeout_.count(); }

std::shared_ptr<Session> SessionStore::FindShared(const std::string& id) {
  std::string address;
  std::shared_ptr<Session> promoted;
  {
    std::lock_guard lock(mu_);
    trial_->DropIdle(clock_.Steady(), idle_timeout_);
    promoted = trial_->Take(id, &address);
  }
  if (promoted) {
    Store(*promoted, address);
    return promoted;
  }
  std::optional<StoredSession> stored = ReadShared(id);
  if (!stored) return nullptr;
  auto session = std::make_shared<Session>(id);
  session->Decode(stored->data);
  session->SetStored(std::move(stored->data), stored->expires);
  return session;
}

void SessionStore::Store(Session& session, const std::string& address) {
  std::string data = session.Encoded();
  const int64_t expires = Expiry();
  const std::string id = session.id();
  shared_->SaveSession(id, address, data, expires);
  Forget(&id);
  session.SetStored(std::move(data), expires);
  shared_->CapSessions(address, std::max<size_t>(limits_.per_address, 1));
  // Expired rows go once a minute; until then finding one by id already ignores it.
  const TimePoint now = clock_.Steady();
  bool purge = false;
  {
    std::lock_guard lock(mu_);
    if (last_purge_ == TimePoint{} || now - last_purge_ >= std::chrono::minutes(1)) {
      last_purge_ = now;
      purge = true;
    }
  }
  if (purge) shared_->DropExpiredSessions(clock_.Now().seconds());
}

void SessionStore::Finish(const std::shared_ptr<Session>& session) {
  if (!shared_ || session->stored_expires() < 0) return;
  std::string data = session->Encoded();
  const int64_t expires = Expiry();
  const bool stale =
      session->stored_expires() - clock_.Now().seconds() < idle_timeout_.count() * 3 / 4;
  if (data == session->stored_data() && !stale) return;
  const std::string id = session->id();
  shared_->UpdateSession(id, data, expires);
  Forget(&id);
  session->SetStored(std::move(data), expires);
}

size_t SessionStore::Sweep() {
  TimePoint now = clock_.Steady();
  if (shared_) {
    const int64_t wall = clock_.Now().seconds();
    {
      std::lock_guard lock(read_mu_);  // reads of sessions nobody came back for
      std::erase_if(read_, [wall](const auto& entry) { return entry.second.expires <= wall; });
    }
    std::lock_guard lock(mu_);
    return shared_->DropExpiredSessions(wall) + trial_->DropIdle(now, idle_timeout_);
  }
  std::lock_guard lock(mu_);
  return kept_->DropIdle(now, idle_timeout_) + trial_->DropIdle(now, idle_timeout_);
}

size_t SessionStore::size() const {
  std::lock_guard lock(mu_);
  return kept_->size() + trial_->size();
}

size_t SessionStore::trial_size() const {
  std::lock_guard lock(mu_);
  return trial_->size();
}

}  // namespace cb
