// Dialect: what a backend's SQL needs that differs from the SQL Server the pages write for
// (function names, name quoting, row limits, parameters, row locators). One per backend.
#pragma once

#include <string>
#include <string_view>

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
};

}  // namespace cb
