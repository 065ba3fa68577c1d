// Dialect: what a backend's SQL needs that differs from the SQL Server the pages write for
// (function names, name quoting, row limits, parameters, row locators). One per backend.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace cb {

class Dialect {
 public:
  virtual ~Dialect() = default;
  virtual std::string_view name() const = 0;

  // The backend's spelling of a SQL Server function the pages use ("isnull" -> "ifnull"), or
  // empty when the backend has no faithful equivalent. Names arrive lower-cased; "year",
  // "month" and "day" also stand for datepart(yy|mm|dd, ...).
  virtual std::string Function(std::string_view sqlserver_name) const = 0;

  virtual std::string QuoteName(std::string_view name) const {
    std::string out = "\"";
    for (char c : name) {
      if (c == '"') out += '"';
      out += c;
    }
    return out + "\"";
  }
  // Placeholder of the index-th parameter (from 1). Numbered, so that a statement derived from
  // another (a count) can leave out its first parameters.
  virtual std::string Parameter(int index) const { return "?" + std::to_string(index); }
  // Appended to a select to keep its first n rows (TOP n).
  virtual std::string Limit(std::string_view n) const { return " LIMIT " + std::string(n); }
  // Appended to a select to read a window; its two parameters are the row count and the offset.
  virtual std::string Window(int first_index) const {
    return " LIMIT " + Parameter(first_index) + " OFFSET " + Parameter(first_index + 1);
  }
  // A select-list expression that locates a row of table_ref for a later update or delete, and
  // the condition that finds it again (with one parameter).
  virtual std::string LocatorColumn(std::string_view table_ref) const = 0;
  virtual std::string LocatorCondition(int param_index) const = 0;

  // Appended to an expression that gives a column's text, so that it compares without regard to
  // case as the column does.
  virtual std::string CaseInsensitive() const { return ""; }

  // Substring search through a text index (docs/store.md): "column LIKE '%text%'" may become a
  // condition on the index. The fewest characters a text must have for the index to find it;
  // 0 when the backend has no such index.
  virtual size_t ContainsMinChars() const { return 0; }
  // The condition that holds for the rows of `table` (named table_ref in the statement) whose
  // `column` contains a text, as the text before and after the parameter that carries
  // ContainsValue(text); both empty when that column has no index. Names arrive lower-cased.
  virtual std::pair<std::string, std::string> ContainsCondition(std::string_view table,
                                                                std::string_view table_ref,
                                                                std::string_view column) const {
    (void)table, (void)table_ref, (void)column;
    return {};
  }
  // The parameter of ContainsCondition for a text of at least ContainsMinChars characters.
  virtual std::string ContainsValue(std::string_view text) const { return std::string(text); }
};

}  // namespace cb
