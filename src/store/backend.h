// The backend seam: a database connection that prepares and runs translated statements, with
// its dialect and schema. One implementation per folder (store/sqlite/, store/postgres/).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/datetime.h"
#include "store/dialect.h"
#include "store/sql_value.h"

namespace cb {

// A prepared statement. Reset before every run by the connection that hands it out; a row read
// with Step stays readable until the next Step or Reset.
class BackendStatement {
 public:
  virtual ~BackendStatement() = default;
  virtual int ColumnCount() const = 0;
  virtual std::string ColumnName(int i) const = 0;
  virtual ColumnKind KindOf(int i) const = 0;
  virtual void Bind(int index, const SqlValue& v) = 0;  // index from 1
  virtual bool Step() = 0;                              // true when a row is ready
  virtual SqlValue Column(int i) const = 0;
  virtual void Reset() = 0;
};

class BackendConnection {
 public:
  virtual ~BackendConnection() = default;
  virtual const Dialect& dialect() const = 0;
  // A statement prepared from translated text, from this connection's cache when it was
  // prepared before; reset, with no bindings. Raises DatabaseError (with `original` as the
  // statement) when the backend refuses it.
  virtual std::shared_ptr<BackendStatement> Prepare(const std::string& sql,
                                                    const std::string& original) = 0;
  // What the cache of prepared statements holds, in bytes (bounded).
  virtual size_t CachedStatementBytes() const = 0;
  virtual int64_t Changes() const = 0;  // rows changed by the last statement
  virtual int64_t LastInsertId() const = 0;
  // BEGIN that takes the write lock at once, so a transaction never fails half-way on a busy
  // database; Commit and Rollback end it.
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
  // Inside a transaction: keeps other processes out of schema changes until it ends (SQLite's
  // write lock already does).
  virtual void LockSchema() {}
  // Runs schema statements (no results, no parameters).
  virtual void ExecScript(const std::string& sql) = 0;
  // Changes when another connection has committed since this one last asked.
  virtual uint64_t DataVersion() = 0;
  // False when the connection is known to be broken (the server closed it while it sat idle in
  // the pool, as a restart does): the pool drops it and opens another.
  virtual bool Usable() { return true; }
};

// A migration brings the schema from version - 1 to version.
struct Migration {
  int version;
  std::vector<std::string> statements;
  // Work the statements alone cannot say, run after them in the same transaction.
  std::function<void(BackendConnection&)> step;
};

// Opens connections of one kind of database.
class Backend {
 public:
  virtual ~Backend() = default;
  // location: the backend's address of the database (a file path, a URI).
  virtual std::unique_ptr<BackendConnection> Open(const std::string& location) = 0;
  virtual const std::vector<Migration>& Migrations() const = 0;
};

// The backend registered under this name ("sqlite"), or nullptr.
Backend* FindBackend(const std::string& name);

}  // namespace cb
