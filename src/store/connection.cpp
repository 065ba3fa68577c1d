// Connection: a pooled backend handle, statements translated once per text and run one at a
// time, and the identity of the last insert for "select @@identity".
#include "store/connection.h"

#include "store/backend.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "store/recordset_impl.h"
#include "store/schema.h"
#include "store/sql_translate.h"
#include "store/store_error.h"

namespace cb {

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string& connection_string, const std::string& /*user*/,
                      const std::string& /*password*/, int /*options*/) {
  if (handle_) RaiseOpen();
  try {
    handle_ = AcquireConnection(connection_string);
  } catch (const DatabaseError& e) {
    Fail(e);
  } catch (const ScriptError& e) {
    RecordError({e.number(), e.description(), e.source(), "IM002"});
    throw;
  }
  live_ = std::make_shared<int>(0);
  identity_ = Variant::Null();
  errors_.clear();
}

int Connection::State() const { return handle_ ? adStateOpen : adStateClosed; }

void Connection::Close() {
  if (!handle_) RaiseClosed();
  live_.reset();
  handle_.reset();  // back to the pool, an open transaction rolled back
}

PooledHandle& Connection::handle() {
  if (!handle_) RaiseClosed();
  return *handle_;
}

BackendConnection& Connection::backend() { return handle().backend(); }

void Connection::RecordError(ConnectionError e) {
  errors_.clear();
  errors_.push_back(std::move(e));
}

void Connection::Fail(const DatabaseError& e) {
  RecordError({e.number(), e.description(), e.source(), e.sql_state()});
  throw e;
}

std::unique_ptr<Recordset> Connection::Execute(const std::string& sql) {
  BackendConnection& be = backend();
  auto rs = std::make_unique<Recordset>();
  try {
    std::shared_ptr<const Translation> tr = TranslateCached(sql, be.dialect());
    switch (tr->kind) {
      case StatementKind::kNoOp:
        break;
      case StatementKind::kIdentity:
        rs->AttachImpl(std::make_unique<RecordsetImpl>(*this, std::vector<std::string>{""},
                                                       std::vector<Variant>{identity_}));
        break;
      case StatementKind::kSelect:
        rs->AttachImpl(std::make_unique<RecordsetImpl>(*this, tr, adOpenForwardOnly, adLockReadOnly,
                                                       /*eager=*/true));
        break;
      default:
        rs = RunWrite(*tr);
    }
  } catch (const DatabaseError& e) {
    Fail(e);
  }
  errors_.clear();
  return rs;
}

std::unique_ptr<Recordset> Connection::RunWrite(const Translation& tr) {
  BackendConnection& be = backend();
  auto st = be.Prepare(tr.sql, tr.original);
  for (size_t i = 0; i < tr.params.size(); ++i) st->Bind(static_cast<int>(i + 1), tr.params[i]);
  try {
    while (st->Step()) {
    }
  } catch (...) {
    st->Reset();
    handle_->NoteWrite();
    throw;
  }
  st->Reset();
  handle_->NoteWrite();
  if (tr.kind == StatementKind::kInsert) {
    // Like SQL Server, an insert into a table without an identity leaves none to read.
    const TableDef* t = FindTable(tr.insert_table);
    bool identity = t && !t->identity.empty() && be.Changes() > 0;
    identity_ = identity ? Variant(be.LastInsertId()) : Variant::Null();
  }
  return std::make_unique<Recordset>();
}

void Connection::BeginTrans() {
  try {
    backend().Begin();
  } catch (const DatabaseError& e) {
    Fail(e);
  }
}

void Connection::CommitTrans() {
  try {
    backend().Commit();
    handle_->NoteWrite();
  } catch (const DatabaseError& e) {
    Fail(e);
  }
}

void Connection::RollbackTrans() {
  try {
    backend().Rollback();
    handle_->NoteWrite();
  } catch (const DatabaseError& e) {
    Fail(e);
  }
}

}  // namespace cb
