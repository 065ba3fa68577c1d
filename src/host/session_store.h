// Visitor sessions: created under a random 128-bit id, found again by the id from the visitor's
// cookie, dropped after an idle time or, past the caps, least recently used first. Kept in memory,
// or on a board several processes serve in the shared session table.
// A new session holding only recomputable values waits in a small trial tier until its visitor
// sends the cookie back. Idle times run on the environment's steady clock, ids come from its
// random source. Sessions read from the shared table are kept while the table's changes are
// watched, and forgotten when any process changes them.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/context.h"
#include "runtime/datetime.h"
#include "runtime/random.h"
#include "store/shared_state.h"

namespace cb {

// 32 lower-case hex digits (128 bits) from random.
std::string RandomSessionId(Random& random = SecureRandom::Shared());

struct SessionLimits {
  size_t total = 100000;       // sessions kept at most
  size_t per_address = 200;    // sessions kept at most for one visitor address
  size_t trial_total = 10000;  // new sessions waiting for their cookie to come back
};

class SessionStore {
 public:
  using TimePoint = Clock::SteadyTime;

  // clock and random must outlive the store.
  explicit SessionStore(std::chrono::seconds idle_timeout,
                        const Clock& clock = SystemClock::Shared(),
                        Random& random = SecureRandom::Shared());
  ~SessionStore();
  SessionStore(const SessionStore&) = delete;
  SessionStore& operator=(const SessionStore&) = delete;

  void SetLimits(const SessionLimits& limits);
  // From now on kept sessions live in shared, where every process of the board finds them; the
  // trial tier stays in this process (a trial session found elsewhere is simply made again).
  void Share(std::shared_ptr<SharedState> shared);
  // After a page: a session read from the shared table is written back when its values changed,
  // or when a quarter of its idle time has passed since it was last written (its expiry moves on).
  void Finish(const std::shared_ptr<Session>& session);

  // The live session of that id, its idle time restarted; null when unknown or expired. A trial
  // session found again has proved that its visitor keeps cookies and is kept from now on.
  std::shared_ptr<Session> Find(std::string_view id);
  // A new session with a fresh id, not yet kept: pages that store nothing leave no session behind.
  std::shared_ptr<Session> NewSession() const;
  // Keeps a session made by NewSession for the visitor at address, in the trial tier when it
  // holds only recomputable values.
  void Keep(std::shared_ptr<Session> session, const std::string& address);
  // Gives a kept session a new id (the old one no longer finds it) and keeps it for good.
  void Renew(const std::shared_ptr<Session>& session, const std::string& address);
  // Drops every session idle for longer than the timeout; returns how many were dropped.
  size_t Sweep();
  // Sessions kept, the trial tier included; and the trial tier alone.
  size_t size() const;
  size_t trial_size() const;
  std::chrono::seconds idle_timeout() const { return idle_timeout_; }

  // The name of the cookie that carries the id.
  static constexpr std::string_view kCookieName = "CBSESSION";

 private:
  class Tier;
  std::chrono::seconds idle_timeout_;
  const Clock& clock_;
  Random& random_;
  mutable std::mutex mu_;
  std::unique_ptr<Tier> kept_;
  std::unique_ptr<Tier> trial_;
  std::shared_ptr<SharedState> shared_;
  SessionLimits limits_;
  TimePoint last_purge_{};

  // Sessions read from the shared table, kept while its changes are watched; the epoch moves on
  // each change heard or made, so a read that raced a change is not kept.
  mutable std::mutex read_mu_;
  std::unordered_map<std::string, StoredSession> read_;
  uint64_t read_epoch_ = 0;

  std::shared_ptr<Session> FindShared(const std::string& id);
  std::optional<StoredSession> ReadShared(const std::string& id);
  // Forgets the kept read of id (null: of every session).
  void Forget(const std::string* id);
  // Writes a session anew in the shared table, with a fresh expiry.
  void Store(Session& session, const std::string& address);
  int64_t Expiry() const;
};

}  // namespace cb
