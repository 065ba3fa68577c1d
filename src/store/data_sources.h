// Data sources: the process-wide map from a data-source name (any letter case) to a backend and a
// location, with a pool of open connections per source. Connection::Open takes its handle here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/variant.h"
#include "store/backend.h"

namespace cb {

struct DataSourceSpec {
  std::string backend = "sqlite";
  std::string location;  // SQLite: a file path or a "file:" URI; PostgreSQL: the URI
  // The time a record set stamps on the time columns a new row leaves empty; null: the system
  // clock. (A statement inserting rows gets the column default: the system's local time.)
  std::shared_ptr<const Clock> clock;
  // Keep one connection open while registered (an in-memory database lives as long as one is).
  bool keep_open = false;
};

// Registers (or replaces) a data source. Connections already handed out keep working; idle
// ones of a replaced source are closed.
void RegisterDataSource(const std::string& name, DataSourceSpec spec);
void UnregisterDataSource(const std::string& name);
bool IsDataSourceRegistered(const std::string& name);

// "sqlite:/srv/board/data/corkboard.db" or "postgresql://user@host/db" (any libpq URI), the
// forms of the host's configuration. Raises ScriptError for another backend.
DataSourceSpec ParseDataSourceSpec(const std::string& text);

// The value of "DATA SOURCE=" (or "DSN=") of a connection string; empty when absent.
std::string DataSourceNameOf(const std::string& connection_string);

// How long another process's commit may go unnoticed by the caches of this one: the database is
// asked whether anything changed at most this often, however many pages read the caches.
inline constexpr std::chrono::milliseconds kWatchInterval{1};

// A connection of a pool, returned to it (after rolling back an open transaction) on
// destruction.
class PooledHandle {
 public:
  struct Source;
  PooledHandle(std::shared_ptr<Source> source, std::unique_ptr<BackendConnection> con);
  ~PooledHandle();
  PooledHandle(const PooledHandle&) = delete;
  PooledHandle& operator=(const PooledHandle&) = delete;

  BackendConnection& backend() { return *con_; }
  // Counts writes to this source: a count remembered at one write generation holds until the
  // next write, whether it came through this process's connections (NoteWrite, seen at once) or
  // through any other connection to the same database, another process's included (seen within
  // kWatchInterval).
  uint64_t WriteGeneration();
  void NoteWrite();
  // A remembered row count of a statement, valid at the current generation.
  bool CachedCount(const std::string& key, int64_t* count);
  void RememberCount(const std::string& key, uint64_t generation, int64_t count);
  // A remembered window of rows of a read-only statement (the page of a thread or a topic list
  // that every visitor reads alike), valid at the current generation; null when there is none.
  // When it is missing, read() reads it, one caller per key at a time: the pages that find it
  // missing together wait for the first one's rows rather than all reading them.
  using Rows = std::vector<std::vector<Variant>>;
  std::shared_ptr<const Rows> SharedWindow(const std::string& key,
                                           const std::function<Rows()>& read);
  // The registered name of the data source (as registered, any letter case).
  const std::string& SourceName() const;
  // "Now" by the data source's clock.
  DateTime Now() const;

 private:
  std::shared_ptr<Source> source_;
  std::unique_ptr<BackendConnection> con_;
};

// How often a remembered row count of the named source served a page, and how often it had to
// be counted (for monitoring and tests).
struct CountCacheStats {
  uint64_t hits = 0;
  uint64_t misses = 0;
};
CountCacheStats CountCacheStatsOf(const std::string& name);

// A pooled connection of the data source the connection string names; the schema is created or
// migrated on the first connection of a source. Raises ScriptError (err::kDatabaseOpen) when
// the name is not registered or the database cannot be opened.
std::unique_ptr<PooledHandle> AcquireConnection(const std::string& connection_string);

// For tests and tools: a fresh in-memory SQLite board registered under a new name, with the
// schema created. Returns the connection string that opens it.
std::string RegisterMemoryDataSource(std::shared_ptr<const Clock> clock = nullptr);

}  // namespace cb
