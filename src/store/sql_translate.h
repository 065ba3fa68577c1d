// Translation of the pages' SQL Server statements for one backend's dialect. The literals of a
// statement are lifted into parameters (so one prepared statement serves every value) and are
// otherwise never rewritten, except date texts compared with or stored into date columns,
// which are zero-padded. Constructs without a faithful translation raise an error naming them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/dialect.h"
#include "store/sql_value.h"

namespace cb {

enum class StatementKind {
  kSelect,
  kInsert,
  kUpdate,
  kDelete,
  kNoOp,      // "set dateformat ymd": dates are always read year first
  kIdentity,  // "select @@identity": answered by the connection
};

struct Translation {
  StatementKind kind = StatementKind::kSelect;
  std::string original;  // as the page sent it
  std::string sql;       // the whole translated statement
  std::vector<SqlValue> params;

  // Selects: the statement without the row limit of a top-level TOP, which is kept apart so
  // that a window or a count can be taken of it.
  std::string body;
  std::optional<int64_t> top;
  size_t order_by = std::string::npos;  // in body: start of the top-level ORDER BY
  // A plain select (no UNION, DISTINCT, grouping or aggregate) is counted from its FROM on,
  // without the select list: where FROM starts in body and how many parameters precede it.
  size_t count_from = std::string::npos;
  size_t count_first_param = 0;

  // A select from one table without joins, grouping or DISTINCT (record sets can add, change and
  // delete its rows): the table's lower-cased name, how the statement refers to it, and where
  // in body the top-level FROM starts.
  std::string table;
  std::string table_ref;
  size_t from = std::string::npos;

  std::string insert_table;  // inserts: the lower-cased target table

  bool IsRead() const { return kind == StatementKind::kSelect; }
  // body with a row locator column before FROM (for single-table selects).
  std::string BodyWithLocator(const Dialect& d) const;
  // "select count(*)" of body without its ORDER BY; its parameters are params from
  // count_first_param on, at their own numbers.
  std::string CountSql() const;
  // The count of at most cap rows (all parameters, from the first): a select that finds its
  // rows one at a time stops after cap of them.
  std::string CappedCountSql(const Dialect& d, int64_t cap) const;
};

// The text a LIKE pattern looks for when it is "%text%" with no wildcard inside: a class of one
// character ("[%]", "[_]", "[[]") stands for that character. nullopt for any other pattern.
std::optional<std::string> ContainedText(std::string_view pattern);

// Translates one statement (uncached). Raises DatabaseError.
Translation TranslateSql(std::string_view sql, const Dialect& dialect);

// The translation of a statement for a dialect, from a cache of statement shapes (literals
// left out) bounded in bytes; thread-safe.
std::shared_ptr<const Translation> TranslateCached(const std::string& sql, const Dialect& dialect);

// What the shapes cache holds now, in bytes, and its bound.
size_t TranslationCacheBytes();
inline constexpr size_t kTranslationCacheBytes = 4 << 20;

}  // namespace cb
