// The SQLite backend: connections in WAL mode with a busy timeout, statements cached per
// connection, the SQL Server functions the pages use, and the board's schema as SQLite DDL.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "store/backend.h"

namespace cb {

class SqliteDialect : public Dialect {
 public:
  std::string_view name() const override { return "sqlite"; }
  std::string Function(std::string_view sqlserver_name) const override;
  // The rowid, which is also the identity of a table that has one.
  std::string LocatorColumn(std::string_view table_ref, std::string_view) const override {
    return std::string(table_ref) + ".rowid";
  }
  std::string LocatorCondition(int param_index, std::string_view) const override {
    return "rowid = " + Parameter(param_index);
  }
  std::string CaseInsensitive() const override { return " COLLATE NOCASE"; }
  // The trigram index <table>_search of post and archivelist (see SqliteSearchStatements).
  size_t ContainsMinChars() const override { return 3; }
  std::pair<std::string, std::string> ContainsCondition(std::string_view table,
                                                        std::string_view table_ref,
                                                        std::string_view column) const override;
  std::string ContainsValue(std::string_view text) const override;
  std::string IndexHint(std::string_view index) const override {
    return "INDEXED BY " + QuoteName(index);
  }
};

// Prepared statements kept per connection, in bytes (their text and SQLite's own memory): the
// shapes the pages send fit many times over.
inline constexpr size_t kSqliteStatementCacheBytes = 2 << 20;

class SqliteBackend : public Backend {
 public:
  std::unique_ptr<BackendConnection> Open(const std::string& location) override;
  const std::vector<Migration>& Migrations() const override;
};

// Registers datalength, ascii, year, month, day and a LIKE with SQL Server's rules ([...]
// classes, letters matched without case) on a connection. The schema itself (defaults,
// triggers) uses only SQLite's own functions, so the stock sqlite3 shell can write to a board.
void RegisterSqliteFunctions(sqlite3* db);

// The column default of a board time: local time in the stored form, as the board writes it.
inline constexpr const char* kSqliteLocalNow = "strftime('%Y-%m-%d %H:%M:%S','now','localtime')";

// The SQL Server LIKE: % and _, [abc], [a-z] and [^...] classes, an optional escape character;
// ASCII letters match without regard to case. Both texts are UTF-8.
bool SqlServerLike(std::string_view pattern, std::string_view text, char32_t escape = 0);

// The board's schema for SQLite, one statement per entry.
std::vector<std::string> SqliteSchemaStatements();

// The tables whose subject and message have a trigram index: FTS5 tables named <table>_search,
// keyed by the table's rowid, holding the texts with ASCII letters lower-cased, kept by
// triggers. A phrase query of a lower-cased text then finds exactly the rows that
// "subject LIKE '%text%'" finds (ASCII letters without case, every other character as it is).
inline constexpr const char* kSqliteSearchedTables[] = {"post", "archivelist"};
// The statements that create the indexes and their triggers and fill them from the tables.
std::vector<std::string> SqliteSearchStatements();

}  // namespace cb
