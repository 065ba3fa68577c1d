// Connection: the page's handle to the board's database, opened with the composed connection
// string; it translates the pages' SQL Server statements and runs them on the mapped backend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/variant.h"

namespace cb {

class Recordset;
class BackendConnection;
class PooledHandle;
class DatabaseError;
struct Translation;

// Cursor and lock types as pages pass them.
enum CursorType {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};
enum LockType {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4
};
enum ObjectState { adStateClosed = 0, adStateOpen = 1 };

struct ConnectionError {
  long number = 0;
  std::string description;
  std::string source;
  std::string sql_state;
};

class Connection {
 public:
  Connection();
  ~Connection();  // returns the handle to its pool
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the data source named by "DATA SOURCE=" (see DataSources). Raises ScriptError.
  void Open(const std::string& connection_string, const std::string& user = "",
            const std::string& password = "", int options = -1);
  // Runs one statement. A select gives an open forward-only record set; other statements give a
  // closed one. Raises ScriptError with the backend's code and text and the statement.
  std::unique_ptr<Recordset> Execute(const std::string& sql);
  int State() const;
  void Close();
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  // The errors of the last failed statement on this connection (empty after a success).
  const std::vector<ConnectionError>& Errors() const { return errors_; }

  BackendConnection& backend();  // for Recordset; raises when closed
  void RecordError(ConnectionError e);
  void ClearErrors() { errors_.clear(); }

  // For Recordset: the pooled handle (raises when closed); a token that expires when the
  // connection closes; the identity "select @@identity" answers (set by every insert).
  PooledHandle& handle();
  std::weak_ptr<void> liveness() const { return live_; }
  void SetIdentity(Variant v) { identity_ = std::move(v); }
  // Records a database error in Errors() and raises it again.
  [[noreturn]] void Fail(const DatabaseError& e);

 private:
  std::unique_ptr<Recordset> RunWrite(const Translation& tr);

  std::unique_ptr<PooledHandle> handle_;
  std::vector<ConnectionError> errors_;
  std::shared_ptr<void> live_;
  Variant identity_;
};

}  // namespace cb
