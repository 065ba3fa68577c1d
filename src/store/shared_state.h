// What several board processes on one database share beyond the board's tables: visitor sessions,
// values every process changes one at a time (attempt tables, the online table), and notices.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cb {

struct DataSourceSpec;

// Times are seconds of the board's wall clock (DateTime::seconds()).
struct StoredSession {
  std::string data;  // the encoded values
  int64_t expires = 0;
};

class SharedState {
 public:
  virtual ~SharedState() = default;

  // The session of id while it has not expired at now.
  virtual std::optional<StoredSession> LoadSession(const std::string& id, int64_t now) = 0;
  // Writes the session (a new one, or new values) for the visitor at address.
  virtual void SaveSession(const std::string& id, const std::string& address,
                           const std::string& data, int64_t expires) = 0;
  // Rewrites a session still in the table (one dropped meanwhile, by a sign-out through another
  // process, stays dropped).
  virtual void UpdateSession(const std::string& id, const std::string& data, int64_t expires) = 0;
  virtual void DropSession(const std::string& id) = 0;
  // Drops expired sessions; returns how many.
  virtual size_t DropExpiredSessions(int64_t now) = 0;
  // Keeps only the keep sessions of address that expire last.
  virtual void CapSessions(const std::string& address, size_t keep) = 0;

  // Runs change on the stored text of name ("" at first) while holding it against every other
  // process, and stores what change leaves when it differs; returns that text.
  virtual std::string ChangeValue(const std::string& name,
                                  const std::function<void(std::string&)>& change) = 0;

  // Sends a notice to every process listening (this one included).
  virtual void Publish(const std::string& notice) = 0;
  // From now on calls on_notice (on a thread of its own) with each notice; with null after a
  // lost connection to the database was made again, when notices may have been missed. A null
  // on_notice stops listening.
  virtual void Listen(std::function<void(const std::string* notice)> on_notice) = 0;

  // From now on calls on_change (on the listening thread) with the id of each session row that
  // any process wrote or dropped, once committed; with null whenever changes may have been missed.
  virtual void WatchSessions(std::function<void(const std::string* id)> /*on_change*/) {}
  // Whether every session change reaches on_change now: not before watching started, nor while
  // its connection is lost. Sessions read earlier may be kept only while this holds.
  virtual bool WatchingSessions() const { return false; }
};

// The shared state of a board on PostgreSQL; null for a board that one process serves (SQLite).
std::shared_ptr<SharedState> OpenSharedState(const DataSourceSpec& spec);

}  // namespace cb
