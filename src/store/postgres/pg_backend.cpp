// PostgreSQL connections and statements over libpq, in text format.
#include "store/postgres/pg_backend.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "runtime/convert.h"
#include "store/byte_lru.h"
#include "store/store_error.h"

namespace cb {

namespace {

// The types PQprepare is given: text for a parameter number the statement skips (a count keeps
// its parameters' numbers but drops the select list that held the first ones), which the server
// could not infer; 0 (inferred) for the others. Empty when no number is skipped.
std::vector<Oid> ParameterTypes(std::string_view sql) {
  constexpr Oid kTextOid = 25;
  std::vector<bool> used;
  char quote = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if (c != '$' || i + 1 >= sql.size() || sql[i + 1] < '0' || sql[i + 1] > '9') continue;
    size_t n = 0;
    while (i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9') {
      n = n * 10 + static_cast<size_t>(sql[++i] - '0');
    }
    if (n == 0) continue;
    if (used.size() < n) used.resize(n, false);
    used[n - 1] = true;
  }
  if (std::find(used.begin(), used.end(), false) == used.end()) return {};
  std::vector<Oid> types(used.size(), 0);
  for (size_t k = 0; k < used.size(); ++k) {
    if (!used[k]) types[k] = kTextOid;
  }
  return types;
}

// Built-in type numbers of the result columns the board reads.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kTimestamp = 1114, kNumeric = 1700;

constexpr size_t kLargestStatement = 256 << 10;

// Classes of SQLSTATE the pages' error handler reports alike on every backend.
std::string SqlState(const char* state) {
  std::string s = state ? state : "HY000";
  if (s.rfind("23", 0) == 0) return "23000";
  if (s.rfind("08", 0) == 0) return "08S01";
  return s;
}

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// The SQLSTATE as one number (six bits a character, as the server numbers its own errors), for
// the logs' backend code.
int StateCode(const char* state) {
  int code = 0;
  for (int i = 0; state && i < 5 && state[i]; ++i) code |= ((state[i] - '0') & 0x3F) << (6 * i);
  return code;
}

[[noreturn]] void FailResult(PGconn* conn, const PGresult* r, const std::string& statement) {
  std::string msg = Trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(conn));
  if (msg.empty()) msg = Trimmed(PQerrorMessage(conn));
  const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  if (!state && PQstatus(conn) == CONNECTION_BAD) state = "08006";
  throw DatabaseError(err::kDatabase, msg + " (PostgreSQL " + (state ? state : "?") + ")",
                      statement, StateCode(state), SqlState(state));
}

bool Succeeded(const PGresult* r) {
  ExecStatusType s = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

// The session's time zone: the board's local offset now, so that column defaults stamp the
// same local time that the board writes.
std::string LocalOffset() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  long minutes = local.tm_gmtoff / 60;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%c%02ld:%02ld", minutes < 0 ? '-' : '+', std::labs(minutes) / 60,
                std::labs(minutes) % 60);
  return buf;
}

class PgConnection;

class PgStatement : public BackendStatement {
 public:
  PgStatement(PgConnection* con, std::string name, PGresult* description, uint64_t session);
  ~PgStatement() override;

  void set_original(const std::string& s) { original_ = s; }
  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  std::string ColumnName(int i) const override { return names_[i]; }
  ColumnKind KindOf(int i) const override { return kinds_[i]; }
  void Bind(int index, const SqlValue& v) override;
  bool Step() override;
  SqlValue Column(int i) const override;
  void Reset() override {
    result_.reset();
    row_ = -1;
    for (auto& p : params_) p.reset();
  }

 private:
  PgConnection* con_;
  std::string name_;
  uint64_t session_;
  std::vector<std::string> names_;
  std::vector<ColumnKind> kinds_;
  std::vector<Oid> types_;
  std::vector<std::optional<std::string>> params_;
  std::string original_;
  Result result_;
  int row_ = -1;
};

class PgConnection : public BackendConnection {
 public:
  explicit PgConnection(const std::string& location) : location_(location) { Connect(); }
  ~PgConnection() override {
    statements_.Clear();
    PQfinish(conn_);
  }

  const Dialect& dialect() const override { return dialect_; }
  PGconn* conn() { return conn_; }
  uint64_t session() const { return session_; }

  std::shared_ptr<BackendStatement> Prepare(const std::string& sql,
                                            const std::string& original) override {
    EnsureConnected(original);
    std::shared_ptr<PgStatement> st;
    if (auto* cached = statements_.Get(sql)) st = *cached;
    if (!st) {
      std::string name = "cb" + std::to_string(++next_statement_);
      Guarded([&] {
        const std::vector<Oid> types = ParameterTypes(sql);
        Result r(PQprepare(conn_, name.c_str(), sql.c_str(), static_cast<int>(types.size()),
                           types.empty() ? nullptr : types.data()));
        if (!Succeeded(r.get())) FailResult(conn_, r.get(), original);
        Result d(PQdescribePrepared(conn_, name.c_str()));
        if (!Succeeded(d.get())) FailResult(conn_, d.get(), original);
        st = std::make_shared<PgStatement>(this, name, d.get(), session_);
      });
      statements_.Put(sql, st, sql.size() * 2);
    }
    st->Reset();
    st->set_original(original);
    return st;
  }

  // Runs a prepared statement; inside a transaction a failing statement is undone alone, as
  // SQL Server does, and the transaction goes on.
  PGresult* Execute(const std::string& name, const std::vector<const char*>& values,
                    const std::string& original) {
    PGresult* out = nullptr;
    Guarded([&] {
      Result r(PQexecPrepared(conn_, name.c_str(), static_cast<int>(values.size()), values.data(),
                              nullptr, nullptr, 0));
      if (!Succeeded(r.get())) FailResult(conn_, r.get(), original);
      const char* tuples = PQcmdTuples(r.get());
      changes_ = tuples && *tuples ? std::atoll(tuples) : 0;
      out = r.release();
    });
    return out;
  }

  size_t CachedStatementBytes() const override { return statements_.bytes(); }
  int64_t Changes() const override { return changes_; }
  // lastval() fails in a session that has not drawn a number yet (an insert that named its
  // numbers, as a restore from the archive does); inside a transaction that failure would abort
  // it, so there it runs under a savepoint of its own.
  int64_t LastInsertId() const override {
    const bool in_transaction = PQtransactionStatus(conn_) == PQTRANS_INTRANS;
    if (in_transaction) Result begin(PQexec(conn_, "SAVEPOINT cb_lastval"));
    Result r(PQexec(conn_, "SELECT lastval()"));
    const bool found = Succeeded(r.get()) && PQntuples(r.get()) > 0;
    if (in_transaction) {
      Result end(PQexec(conn_, found ? "RELEASE SAVEPOINT cb_lastval"
                                     : "ROLLBACK TO SAVEPOINT cb_lastval"));
    }
    return found ? std::atoll(PQgetvalue(r.get(), 0, 0)) : 0;
  }

  void Begin() override { Run("BEGIN"); }
  void Commit() override { Run("COMMIT"); }
  void Rollback() override {
    if (InTransaction()) Run("ROLLBACK");
  }
  bool InTransaction() const override {
    PGTransactionStatusType s = PQtransactionStatus(conn_);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR;
  }
  void LockSchema() override { Run("SELECT pg_advisory_xact_lock(7723001)"); }

  void ExecScript(const std::string& sql) override {
    EnsureConnected(sql);
    Result r(PQexec(conn_, sql.c_str()));
    if (!Succeeded(r.get())) FailResult(conn_, r.get(), sql);
  }

  // The snapshot changes whenever any writing transaction of the cluster starts or ends, in
  // this process or another.
  uint64_t DataVersion() override {
    EnsureConnected("data version");
    Result r(PQexec(conn_, "SELECT pg_current_snapshot()::text"));
    if (!Succeeded(r.get()) || PQntuples(r.get()) == 0) return ++fallback_version_;
    return std::hash<std::string>()(PQgetvalue(r.get(), 0, 0));
  }

  // An idle connection has nothing to read but notifications; a server that ended the session
  // left its farewell and the end of the stream, which reading notices.
  bool Usable() override {
    for (int i = 0; i < 2 && conn_ && PQstatus(conn_) == CONNECTION_OK; ++i) {
      pollfd p{PQsocket(conn_), POLLIN, 0};
      if (poll(&p, 1, 0) <= 0 || !PQconsumeInput(conn_)) break;
    }
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
  }

  // Types of extensions (citext), looked up once per connection.
  ColumnKind KindOfType(Oid type) {
    auto it = extra_kinds_.find(type);
    if (it != extra_kinds_.end()) return it->second;
    ColumnKind kind = ColumnKind::kUnknown;
    std::string sql = "SELECT typname FROM pg_type WHERE oid = " + std::to_string(type);
    Result r(PQexec(conn_, sql.c_str()));
    if (Succeeded(r.get()) && PQntuples(r.get()) == 1) {
      std::string name = PQgetvalue(r.get(), 0, 0);
      if (name == "citext") kind = ColumnKind::kText;
    }
    extra_kinds_[type] = kind;
    return kind;
  }

 private:
  void Connect() {
    // A server that does not answer fails the page after 10 s rather than holding its worker;
    // the location may set its own connect_timeout, which comes later and wins.
    const char* keys[] = {"connect_timeout", "dbname", "client_encoding", "application_name",
                          nullptr};
    const char* values[] = {"10", location_.c_str(), "UTF8", "corkboard", nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK) {
      std::string msg = Trimmed(PQerrorMessage(conn_));
      PQfinish(conn_);
      conn_ = nullptr;
      throw DatabaseError(err::kDatabaseOpen, msg + " (PostgreSQL)", "", 0, "08001");
    }
    ++session_;
    Setup();
  }

  void Setup() {
    // Notices ("already exists, skipping") are no business of the board's log.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    std::string sql = "SET DateStyle = 'ISO, YMD'; SET TimeZone = '" + LocalOffset() +
                      "'; SET standard_conforming_strings = on";
    Result r(PQexec(conn_, sql.c_str()));
    if (!Succeeded(r.get())) FailResult(conn_, r.get(), sql);
  }

  // A connection the server dropped (a restart) is made again before the next statement; the
  // statements prepared on the old session are gone with it.
  void EnsureConnected(const std::string& statement) {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) return;
    statements_.Clear();
    extra_kinds_.clear();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
      throw DatabaseError(err::kDatabase, Trimmed(PQerrorMessage(conn_)) + " (PostgreSQL)",
                          statement, 0, "08S01");
    }
    ++session_;
    Setup();
  }

  template <typename F>
  void Guarded(F&& run) {
    bool savepoint = PQtransactionStatus(conn_) == PQTRANS_INTRANS;
    if (savepoint) Run("SAVEPOINT cb_statement");
    try {
      run();
    } catch (const DatabaseError&) {
      if (savepoint && PQstatus(conn_) == CONNECTION_OK) {
        Result r(PQexec(conn_, "ROLLBACK TO SAVEPOINT cb_statement"));
      }
      throw;
    }
    if (savepoint) Run("RELEASE SAVEPOINT cb_statement");
  }

  void Run(const char* sql) {
    EnsureConnected(sql);
    Result r(PQexec(conn_, sql));
    if (!Succeeded(r.get())) FailResult(conn_, r.get(), sql);
  }

  std::string location_;
  PGconn* conn_ = nullptr;
  uint64_t session_ = 0;
  PgDialect dialect_;
  uint64_t next_statement_ = 0;
  int64_t changes_ = 0;
  uint64_t fallback_version_ = 0;
  std::map<Oid, ColumnKind> extra_kinds_;
  ByteLru<std::shared_ptr<PgStatement>> statements_{kPgStatementCacheBytes, kLargestStatement};
};

PgStatement::PgStatement(PgConnection* con, std::string name, PGresult* d, uint64_t session)
    : con_(con), name_(std::move(name)), session_(session) {
  params_.resize(static_cast<size_t>(PQnparams(d)));
  for (int i = 0; i < PQnfields(d); ++i) {
    names_.push_back(PQfname(d, i));
    Oid t = PQftype(d, i);
    types_.push_back(t);
    ColumnKind k = ColumnKind::kUnknown;
    switch (t) {
      case kInt2:  // the schema's flags, and nothing else, are smallint
        k = ColumnKind::kFlag;
        break;
      case kInt4:
      case kInt8:
      case kOid:
        k = ColumnKind::kInteger;
        break;
      case kFloat4:
      case kFloat8:
      case kNumeric:
        k = ColumnKind::kReal;
        break;
      case kTimestamp:
        k = ColumnKind::kDate;
        break;
      case kBool:
        k = ColumnKind::kFlag;
        break;
      case 25:    // text
      case 1043:  // varchar
        k = ColumnKind::kText;
        break;
      default:
        k = con->KindOfType(t);
    }
    kinds_.push_back(k);
  }
}

PgStatement::~PgStatement() {
  // Only on the session that prepared it, and never inside a transaction it could spoil.
  if (session_ != con_->session() || PQstatus(con_->conn()) != CONNECTION_OK) return;
  if (PQtransactionStatus(con_->conn()) != PQTRANS_IDLE) return;
  std::string sql = "DEALLOCATE " + name_;
  Result r(PQexec(con_->conn(), sql.c_str()));
}

void PgStatement::Bind(int index, const SqlValue& v) {
  if (index < 1 || static_cast<size_t>(index) > params_.size()) {
    throw DatabaseError(err::kDatabase, "parameter out of range", original_, 0, "07009");
  }
  auto& slot = params_[static_cast<size_t>(index - 1)];
  if (const int64_t* i = std::get_if<int64_t>(&v)) {
    slot = std::to_string(*i);
  } else if (const double* d = std::get_if<double>(&v)) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", *d);
    slot = buf;
  } else if (const std::string* s = std::get_if<std::string>(&v)) {
    slot = *s;
    // PostgreSQL text holds no NUL character: dropped, rather than the text cut short there.
    if (slot->find('\0') != std::string::npos) std::erase(*slot, '\0');
  } else {
    slot.reset();
  }
}

bool PgStatement::Step() {
  if (!result_) {
    std::vector<const char*> values;
    for (const auto& p : params_) values.push_back(p ? p->c_str() : nullptr);
    result_.reset(con_->Execute(name_, values, original_));
    row_ = -1;
  }
  ++row_;
  return row_ < PQntuples(result_.get());
}

SqlValue PgStatement::Column(int i) const {
  if (!result_ || PQgetisnull(result_.get(), row_, i)) return std::monostate{};
  const char* text = PQgetvalue(result_.get(), row_, i);
  int n = PQgetlength(result_.get(), row_, i);
  switch (types_[i]) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return static_cast<int64_t>(std::strtoll(text, nullptr, 10));
    case kBool:
      return static_cast<int64_t>(text[0] == 't' ? 1 : 0);
    case kFloat4:
    case kFloat8:
      return std::strtod(text, nullptr);
    case kNumeric: {
      std::string s(text, n);
      if (s.find_first_of(".eEN") == std::string::npos) {
        return static_cast<int64_t>(std::strtoll(text, nullptr, 10));
      }
      return std::strtod(text, nullptr);
    }
    default:
      return std::string(text, n);
  }
}

// The regular-expression special characters outside a class.
bool Special(char c) {
  return std::string_view("\\.^$*+?()[]{}|").find(c) != std::string_view::npos;
}

}  // namespace

std::string PgDialect::Function(std::string_view name) const {
  if (name == "isnull") return "coalesce";
  if (name == "year" || name == "month" || name == "day" || name == "datalength" ||
      name == "ascii") {
    return "cb_" + std::string(name);  // defined by the schema with SQL Server's meaning
  }
  return std::string(name);
}

std::string PgDialect::QuoteName(std::string_view name) const {
  return Dialect::QuoteName(ToLower(name));
}

std::string PgDialect::LikePattern(std::string_view pattern, char escape) const {
  return LikeToRegex(pattern, escape);
}

std::string LikeToRegex(std::string_view p, char escape) {
  std::string out = "^";
  for (size_t i = 0; i < p.size(); ++i) {
    char c = p[i];
    if (escape && c == escape && i + 1 < p.size()) {
      c = p[++i];
      if (Special(c)) out += '\\';
      out += c;
    } else if (c == '%') {
      out += ".*";
    } else if (c == '_') {
      out += '.';
    } else if (c == '[' && p.find(']', i + 1) != std::string_view::npos) {
      size_t close = p.find(']', i + 1);
      if (close == i + 1) close = p.find(']', close + 1);  // "[]...]": ] first is a member
      if (close == std::string_view::npos) {
        out += "\\[";
        continue;
      }
      std::string_view members = p.substr(i + 1, close - i - 1);
      out += '[';
      for (size_t k = 0; k < members.size(); ++k) {
        char m = members[k];
        if (m == '\\') {
          out += "\\\\";
        } else if (m == '[') {
          out += "\\[";
        } else {
          out += m;
        }
      }
      out += ']';
      i = close;
    } else if (Special(c)) {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out + "$";
}

std::unique_ptr<BackendConnection> PgBackend::Open(const std::string& location) {
  return std::make_unique<PgConnection>(location);
}

}  // namespace cb
