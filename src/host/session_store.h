// Visitor sessions in memory: created under a random 128-bit id, found again by the id from the
// visitor's cookie, dropped after an idle time. The clock and the id source are injectable.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/context.h"

namespace cb {

// 32 lower-case hex digits from the kernel's secure random source.
std::string RandomSessionId();

class SessionStore {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using NowFn = std::function<TimePoint()>;
  using IdFn = std::function<std::string()>;

  explicit SessionStore(std::chrono::seconds idle_timeout, NowFn now = &DefaultNow,
                        IdFn new_id = &RandomSessionId);

  // The live session of that id, its idle time restarted; null when unknown or expired.
  std::shared_ptr<Session> Find(std::string_view id);
  // A new session with a fresh id, not yet kept: pages that store nothing leave no session behind.
  std::shared_ptr<Session> NewSession() const;
  // Keeps a session made by NewSession so that its id finds it from now on.
  void Keep(std::shared_ptr<Session> session);
  // Drops every session idle for longer than the timeout; returns how many were dropped.
  size_t Sweep();
  size_t size() const;
  std::chrono::seconds idle_timeout() const { return idle_timeout_; }

  // The name of the cookie that carries the id.
  static constexpr std::string_view kCookieName = "CBSESSION";

 private:
  static TimePoint DefaultNow() { return std::chrono::steady_clock::now(); }
  struct Entry {
    std::shared_ptr<Session> session;
    TimePoint last_used;
  };
  void SweepIfDue(TimePoint now);  // mu_ held
  size_t SweepLocked(TimePoint now);

  std::chrono::seconds idle_timeout_;
  NowFn now_;
  IdFn new_id_;
  mutable std::mutex mu_;
  std::unordered_map<std::string, Entry> sessions_;
  TimePoint last_sweep_;
};

}  // namespace cb
