// The state board processes share on PostgreSQL: the tables cb_session and cb_shared_value (made
// on first use, beside the board's own), and notices over LISTEN/NOTIFY on one channel.
#include <libpq-fe.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "store/data_sources.h"
#include "store/shared_state.h"
#include "store/store_error.h"

namespace cb {

namespace {

constexpr const char* kChannel = "corkboard";
// Each committed change of a session row, by id, whoever made it (so a process can keep sessions).
constexpr const char* kSessionChannel = "corkboard_session";
// Idle connections kept for the shared tables; more are opened while pages need them.
constexpr size_t kMaxIdle = 4;
// An advisory lock key of its own, so that two processes starting at once make the tables once.
constexpr const char* kSetUpLock = "SELECT pg_advisory_xact_lock(7723101)";
constexpr const char* kSetUp =
    "CREATE TABLE IF NOT EXISTS cb_session (id text PRIMARY KEY, address text NOT NULL,"
    " data text NOT NULL, expires int8 NOT NULL);"
    "CREATE INDEX IF NOT EXISTS cb_session_expires ON cb_session (expires);"
    "CREATE INDEX IF NOT EXISTS cb_session_address ON cb_session (address, expires);"
    "CREATE TABLE IF NOT EXISTS cb_shared_value (name text PRIMARY KEY, value text NOT NULL);"
    "CREATE OR REPLACE FUNCTION cb_session_changed() RETURNS trigger LANGUAGE plpgsql AS $$"
    " BEGIN PERFORM pg_notify('corkboard_session',"
    " CASE WHEN TG_OP = 'DELETE' THEN OLD.id ELSE NEW.id END); RETURN NULL; END $$;"
    "CREATE OR REPLACE TRIGGER cb_session_changed AFTER INSERT OR UPDATE OR DELETE ON cb_session"
    " FOR EACH ROW EXECUTE FUNCTION cb_session_changed()";

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Keep-alives find a peer gone without a word (a cut network) within about 15 s: until then the
// listening connection would look alive while it hears nothing, and sessions kept on its word.
PGconn* Connect(const std::string& location) {
  const char* keys[] = {"dbname",
                        "client_encoding",
                        "application_name",
                        "keepalives_idle",
                        "keepalives_interval",
                        "keepalives_count",
                        nullptr};
  const char* values[] = {location.c_str(), "UTF8", "corkboard", "5", "3", "3", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (PQstatus(conn) != CONNECTION_OK) {
    std::string msg = PQerrorMessage(conn);
    PQfinish(conn);
    throw DatabaseError(err::kDatabaseOpen, msg + " (PostgreSQL)", "", 0, "08001");
  }
  PQsetNoticeProcessor(
      conn, [](void*, const char*) {}, nullptr);
  return conn;
}

// Runs sql with text parameters; raises the server's message on failure.
Result Run(PGconn* conn, const std::string& sql, const std::vector<std::string>& params = {}) {
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p.c_str());
  Result r(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                        nullptr, nullptr, 0));
  const ExecStatusType status = PQresultStatus(r.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const char* state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
    throw DatabaseError(err::kDatabase, std::string(PQerrorMessage(conn)) + " (PostgreSQL)", sql, 0,
                        state ? state : "HY000");
  }
  return r;
}

class PgSharedState : public SharedState {
 public:
  explicit PgSharedState(std::string location) : location_(std::move(location)) {
    Use([](PGconn* c) {
      Run(c, "BEGIN");
      Run(c, kSetUpLock);
      Result r(PQexec(c, kSetUp));
      if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
        Run(c, "ROLLBACK");
        throw DatabaseError(err::kDatabase, PQerrorMessage(c), kSetUp, 0, "HY000");
      }
      Run(c, "COMMIT");
    });
  }

  ~PgSharedState() override {
    stop_ = true;
    if (listener_.joinable()) listener_.join();
    for (PGconn* c : idle_) PQfinish(c);
  }

  std::optional<StoredSession> LoadSession(const std::string& id, int64_t now) override {
    std::optional<StoredSession> found;
    Use([&](PGconn* c) {
      Result r = Run(c, "SELECT data, expires FROM cb_session WHERE id = $1 AND expires > $2::int8",
                     {id, std::to_string(now)});
      if (PQntuples(r.get()) == 1) {
        found = StoredSession{PQgetvalue(r.get(), 0, 0), std::stoll(PQgetvalue(r.get(), 0, 1))};
      }
    });
    return found;
  }

  void SaveSession(const std::string& id, const std::string& address, const std::string& data,
                   int64_t expires) override {
    Use([&](PGconn* c) {
      Run(c,
          "INSERT INTO cb_session (id, address, data, expires) VALUES ($1, $2, $3, $4::int8) "
          "ON CONFLICT (id) DO UPDATE SET data = excluded.data, expires = excluded.expires",
          {id, address, data, std::to_string(expires)});
    });
  }

  void UpdateSession(const std::string& id, const std::string& data, int64_t expires) override {
    Use([&](PGconn* c) {
      Run(c, "UPDATE cb_session SET data = $2, expires = $3::int8 WHERE id = $1",
          {id, data, std::to_string(expires)});
    });
  }

  void DropSession(const std::string& id) override {
    Use([&](PGconn* c) { Run(c, "DELETE FROM cb_session WHERE id = $1", {id}); });
  }

  size_t DropExpiredSessions(int64_t now) override {
    size_t dropped = 0;
    Use([&](PGconn* c) {
      Result r = Run(c, "DELETE FROM cb_session WHERE expires <= $1::int8", {std::to_string(now)});
      dropped = std::stoul(PQcmdTuples(r.get()));
    });
    return dropped;
  }

  void CapSessions(const std::string& address, size_t keep) override {
    Use([&](PGconn* c) {
      Run(c,
          "DELETE FROM cb_session WHERE address = $1 AND id NOT IN (SELECT id FROM cb_session "
          "WHERE address = $1 ORDER BY expires DESC LIMIT $2::int8)",
          {address, std::to_string(keep)});
    });
  }

  std::string ChangeValue(const std::string& name,
                          const std::function<void(std::string&)>& change) override {
    std::string value;
    Use([&](PGconn* c) {
      Run(c, "BEGIN");
      try {
        Run(c, "INSERT INTO cb_shared_value VALUES ($1, '') ON CONFLICT DO NOTHING", {name});
        Result r = Run(c, "SELECT value FROM cb_shared_value WHERE name = $1 FOR UPDATE", {name});
        value = PQgetvalue(r.get(), 0, 0);
        const std::string before = value;
        change(value);
        if (value != before) {
          Run(c, "UPDATE cb_shared_value SET value = $2 WHERE name = $1", {name, value});
        }
        Run(c, "COMMIT");
      } catch (...) {
        PQclear(PQexec(c, "ROLLBACK"));
        throw;
      }
    });
    return value;
  }

  void Publish(const std::string& notice) override {
    Use([&](PGconn* c) { Run(c, "SELECT pg_notify($1, $2)", {kChannel, notice}); });
  }

  void Listen(std::function<void(const std::string*)> on_notice) override {
    std::lock_guard lock(listeners_mu_);
    on_notice_ = std::move(on_notice);
    StartListening();
  }

  void WatchSessions(std::function<void(const std::string*)> on_change) override {
    std::lock_guard lock(listeners_mu_);
    on_session_ = std::move(on_change);
    StartListening();
  }

  bool WatchingSessions() const override { return watching_; }

 private:
  // Runs work on an idle connection (or a new one); a connection that failed is not kept.
  template <typename F>
  void Use(F&& work) {
    PGconn* c = nullptr;
    {
      std::lock_guard lock(mu_);
      if (!idle_.empty()) {
        c = idle_.back();
        idle_.pop_back();
      }
    }
    if (c && PQstatus(c) != CONNECTION_OK) PQreset(c);
    if (!c) c = Connect(location_);
    try {
      work(c);
    } catch (...) {
      Give(c);
      throw;
    }
    Give(c);
  }

  void Give(PGconn* c) {
    std::lock_guard lock(mu_);
    if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) == PQTRANS_IDLE &&
        idle_.size() < kMaxIdle) {
      idle_.push_back(c);
    } else {
      PQfinish(c);
    }
  }

  // Called with listeners_mu_ held.
  void StartListening() {
    if (!listener_.joinable() && (on_notice_ || on_session_)) {
      listener_ = std::thread([this] { ListenLoop(); });
    }
  }

  // One connection listens on both channels; when it is lost it is made again (once a second)
  // and the listeners told that notices may have been missed meanwhile. Session changes are
  // reported as not watched from the moment the connection is found lost.
  void ListenLoop() {
    bool lost = false;
    while (!stop_) {
      PGconn* c = nullptr;
      try {
        c = Connect(location_);
        Run(c, std::string("LISTEN ") + kChannel);
        Run(c, std::string("LISTEN ") + kSessionChannel);
      } catch (const std::exception&) {
        if (c) PQfinish(c);
        lost = true;
        Pause(std::chrono::seconds(1));
        continue;
      }
      if (lost) Tell(on_notice_, nullptr);
      // A change committed before LISTEN took effect was not heard: sessions kept so far go.
      Tell(on_session_, nullptr);
      watching_ = true;
      lost = true;
      while (!stop_ && PQstatus(c) == CONNECTION_OK) {
        pollfd fd{PQsocket(c), POLLIN, 0};
        if (poll(&fd, 1, 200) > 0 && !PQconsumeInput(c)) break;
        while (PGnotify* n = PQnotifies(c)) {
          const std::string channel = n->relname, text = n->extra;
          PQfreemem(n);
          Tell(channel == kSessionChannel ? on_session_ : on_notice_, &text);
        }
      }
      watching_ = false;
      Tell(on_session_, nullptr);
      PQfinish(c);
    }
  }

  // A listener's failure must not end the thread that every later notice needs.
  void Tell(const std::function<void(const std::string*)>& listener, const std::string* notice) {
    std::lock_guard lock(listeners_mu_);
    if (!listener) return;
    try {
      listener(notice);
    } catch (...) {
    }
  }

  void Pause(std::chrono::milliseconds d) {
    for (auto end = std::chrono::steady_clock::now() + d;
         !stop_ && std::chrono::steady_clock::now() < end;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  const std::string location_;
  std::mutex mu_;
  std::vector<PGconn*> idle_;
  std::mutex listeners_mu_;  // held while a listener runs, so none runs after it is replaced
  std::function<void(const std::string*)> on_notice_, on_session_;
  std::atomic<bool> watching_{false};
  std::atomic<bool> stop_{false};
  std::thread listener_;
};

}  // namespace

std::shared_ptr<SharedState> OpenSharedState(const DataSourceSpec& spec) {
  if (spec.backend != "postgres") return nullptr;
  return std::make_shared<PgSharedState>(spec.location);
}

}  // namespace cb
