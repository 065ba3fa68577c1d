// The PostgreSQL backend (libpq): connections that reconnect by themselves, statements prepared
// once per connection, SQL Server's rules in the dialect (NULL order, LIKE, names), and the
// board's schema as PostgreSQL DDL with PL/pgSQL counter triggers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/backend.h"

namespace cb {

class PgDialect : public Dialect {
 public:
  std::string_view name() const override { return "postgres"; }
  std::string Function(std::string_view sqlserver_name) const override;
  // Unquoted names fold to lower case, so quoted ones are written lower-cased too.
  std::string QuoteName(std::string_view name) const override;
  std::string Parameter(int index) const override { return "$" + std::to_string(index); }
  std::string NumberParameter(int index, bool whole) const override {
    return Parameter(index) + (whole ? "::int8" : "::float8");
  }
  // The identity where there is one (a trigger that rewrites the new row moves its ctid), else
  // the row's place, ctid.
  std::string LocatorColumn(std::string_view table_ref, std::string_view identity) const override {
    return std::string(table_ref) + "." + (identity.empty() ? "ctid" : QuoteName(identity));
  }
  std::string LocatorCondition(int param_index, std::string_view identity) const override {
    return (identity.empty() ? std::string("ctid") : QuoteName(identity)) + " = " +
           Parameter(param_index);
  }
  bool ReturnsLocator() const override { return true; }
  std::string NullsOrder(bool descending) const override {
    return descending ? " NULLS LAST" : " NULLS FIRST";
  }
  std::string LikeOperator(bool negated) const override { return negated ? "!~*" : "~*"; }
  std::string LikePattern(std::string_view pattern, char escape) const override;
  bool UnionOrdersByOutput() const override { return true; }
};

// A SQL Server LIKE pattern as an anchored regular expression: % and _, [abc], [a-z], [^...],
// and the escape character (0: none) before a character that then stands for itself.
std::string LikeToRegex(std::string_view pattern, char escape = 0);

// Prepared statements kept per connection, in bytes of their text.
inline constexpr size_t kPgStatementCacheBytes = 2 << 20;

class PgBackend : public Backend {
 public:
  // location: a libpq connection URI (postgresql://user@host/db?...).
  std::unique_ptr<BackendConnection> Open(const std::string& location) override;
  const std::vector<Migration>& Migrations() const override;
};

// The board's schema for PostgreSQL, one statement (or PL/pgSQL definition) per entry.
std::vector<std::string> PgSchemaStatements();

}  // namespace cb
