// SQLite connections and statements.
#include "store/sqlite/sqlite_backend.h"

#include <cctype>

#include "runtime/convert.h"
#include "store/byte_lru.h"
#include "store/store_error.h"

namespace cb {

namespace {

constexpr int kBusyTimeoutMs = 10000;
// A statement over this is prepared for its one use and not kept.
constexpr size_t kLargestStatement = 256 << 10;

std::string SqlState(int code) {
  switch (code & 0xFF) {
    case SQLITE_CONSTRAINT:
      return "23000";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "HYT00";
    case SQLITE_ERROR:
      return "42000";
    default:
      return "HY000";
  }
}

[[noreturn]] void Fail(sqlite3* db, int code, const std::string& statement) {
  int ext = sqlite3_extended_errcode(db);
  if (ext == 0) ext = code;
  std::string msg = sqlite3_errmsg(db);
  throw DatabaseError(err::kDatabase, msg + " (SQLite " + std::to_string(ext) + ")", statement, ext,
                      SqlState(ext));
}

ColumnKind KindOfDecl(const char* decl) {
  if (!decl) return ColumnKind::kUnknown;
  std::string d = ToUpper(decl);
  if (d.rfind("DATETIME", 0) == 0) return ColumnKind::kDate;
  if (d.rfind("BIT", 0) == 0) return ColumnKind::kFlag;
  if (d.find("INT") != std::string::npos) return ColumnKind::kInteger;
  if (d.find("TEXT") != std::string::npos || d.find("CHAR") != std::string::npos) {
    return ColumnKind::kText;
  }
  if (d.find("REAL") != std::string::npos) return ColumnKind::kReal;
  return ColumnKind::kUnknown;
}

class SqliteStatement : public BackendStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {
    int n = sqlite3_column_count(stmt_);
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(stmt_, i);
      names_.push_back(name ? name : "");
      kinds_.push_back(KindOfDecl(sqlite3_column_decltype(stmt_, i)));
    }
  }
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }

  void set_original(const std::string& s) { original_ = s; }

  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  std::string ColumnName(int i) const override { return names_[i]; }
  ColumnKind KindOf(int i) const override { return kinds_[i]; }

  void Bind(int index, const SqlValue& v) override {
    int rc = SQLITE_OK;
    if (const int64_t* i = std::get_if<int64_t>(&v)) {
      rc = sqlite3_bind_int64(stmt_, index, *i);
    } else if (const double* d = std::get_if<double>(&v)) {
      rc = sqlite3_bind_double(stmt_, index, *d);
    } else if (const std::string* s = std::get_if<std::string>(&v)) {
      rc = sqlite3_bind_text64(stmt_, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else {
      rc = sqlite3_bind_null(stmt_, index);
    }
    if (rc != SQLITE_OK) Fail(db_, rc, original_);
  }

  bool Step() override {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    Fail(db_, rc, original_);
  }

  SqlValue Column(int i) const override {
    switch (sqlite3_column_type(stmt_, i)) {
      case SQLITE_INTEGER:
        return static_cast<int64_t>(sqlite3_column_int64(stmt_, i));
      case SQLITE_FLOAT:
        return sqlite3_column_double(stmt_, i);
      case SQLITE_NULL:
        return std::monostate{};
      default: {
        const void* p = sqlite3_column_blob(stmt_, i);
        int n = sqlite3_column_bytes(stmt_, i);
        return std::string(static_cast<const char*>(p), n);
      }
    }
  }

  void Reset() override {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::vector<std::string> names_;
  std::vector<ColumnKind> kinds_;
  std::string original_;
};

bool OnlyBlanks(const char* tail) {
  for (; tail && *tail; ++tail) {
    if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';') return false;
  }
  return true;
}

class SqliteConnection : public BackendConnection {
 public:
  explicit SqliteConnection(const std::string& location) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(location.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw DatabaseError(err::kDatabaseOpen,
                          msg + " (SQLite " + std::to_string(rc) + "): " + location, "", rc,
                          "08001");
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    // Double-quoted texts are names, as in SQL Server; never string literals.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    RegisterSqliteFunctions(db_);
    ExecScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF;");
  }
  ~SqliteConnection() override {
    statements_.Clear();
    version_.reset();
    sqlite3_close_v2(db_);
  }

  const Dialect& dialect() const override { return dialect_; }

  std::shared_ptr<BackendStatement> Prepare(const std::string& sql,
                                            const std::string& original) override {
    std::shared_ptr<SqliteStatement> st;
    if (auto* cached = statements_.Get(sql)) st = *cached;
    if (!st) {
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size() + 1),
                                  SQLITE_PREPARE_PERSISTENT, &raw, &tail);
      if (rc != SQLITE_OK) Fail(db_, rc, original);
      if (!raw || !OnlyBlanks(tail)) {
        sqlite3_finalize(raw);
        throw UnsupportedSql(raw ? "several statements in one" : "an empty statement", original);
      }
      st = std::make_shared<SqliteStatement>(db_, raw);
      size_t memory = static_cast<size_t>(sqlite3_stmt_status(raw, SQLITE_STMTSTATUS_MEMUSED, 0));
      statements_.Put(sql, st, sql.size() + memory);
    }
    st->Reset();
    st->set_original(original);
    return st;
  }

  size_t CachedStatementBytes() const override { return statements_.bytes(); }
  int64_t Changes() const override { return sqlite3_changes64(db_); }
  int64_t LastInsertId() const override { return sqlite3_last_insert_rowid(db_); }

  void Begin() override { Run("BEGIN IMMEDIATE"); }
  void Commit() override { Run("COMMIT"); }
  void Rollback() override {
    if (InTransaction()) Run("ROLLBACK");
  }
  bool InTransaction() const override { return !sqlite3_get_autocommit(db_); }

  void ExecScript(const std::string& sql) override {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
      std::string msg = err ? err : sqlite3_errstr(rc);
      sqlite3_free(err);
      throw DatabaseError(err::kDatabase, msg + " (SQLite " + std::to_string(rc) + ")", sql, rc,
                          SqlState(rc));
    }
  }

  uint64_t DataVersion() override {
    if (!version_) version_ = Prepare("PRAGMA data_version", "PRAGMA data_version");
    version_->Reset();
    uint64_t v = 0;
    if (version_->Step()) v = static_cast<uint64_t>(std::get<int64_t>(version_->Column(0)));
    version_->Reset();
    return v;
  }

 private:
  void Run(const char* sql) {
    auto st = Prepare(sql, sql);
    while (st->Step()) {
    }
    st->Reset();
  }

  sqlite3* db_ = nullptr;
  SqliteDialect dialect_;
  ByteLru<std::shared_ptr<SqliteStatement>> statements_{kSqliteStatementCacheBytes,
                                                        kLargestStatement};
  std::shared_ptr<BackendStatement> version_;
};

}  // namespace

std::string SqliteDialect::Function(std::string_view name) const {
  if (name == "isnull") return "ifnull";
  // Registered on every connection or built in with SQL Server's meaning.
  return std::string(name);
}

std::pair<std::string, std::string> SqliteDialect::ContainsCondition(
    std::string_view table, std::string_view table_ref, std::string_view column) const {
  if (column != "subject" && column != "message") return {};
  for (std::string_view searched : kSqliteSearchedTables) {
    if (table != searched) continue;
    return {std::string(table_ref) + ".rowid IN (SELECT rowid FROM " + std::string(table) +
                "_search WHERE " + std::string(column) + " MATCH",
            ")"};
  }
  return {};
}

// One phrase: the index holds ASCII letters lower-cased, as SQLite's lower() leaves them.
std::string SqliteDialect::ContainsValue(std::string_view text) const {
  std::string phrase = "\"";
  for (char c : text) {
    if (c == '"') phrase += '"';
    phrase += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  return phrase + "\"";
}

std::unique_ptr<BackendConnection> SqliteBackend::Open(const std::string& location) {
  return std::make_unique<SqliteConnection>(location);
}

}  // namespace cb
