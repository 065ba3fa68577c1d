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
  // Placeholder of a number literal lifted from a statement, typed where the backend cannot
  // infer a type from its place (1<>0).
  virtual std::string NumberParameter(int index, bool /*whole*/) const { return Parameter(index); }
  // Appended to a select to keep its first n rows (TOP n).
  virtual std::string Limit(std::string_view n) const { return " LIMIT " + std::string(n); }
  // Appended to a select to read a window; its two parameters are the row count and the offset.
  virtual std::string Window(int first_index) const {
    return " LIMIT " + Parameter(first_index) + " OFFSET " + Parameter(first_index + 1);
  }
  // A select-list expression that locates a row of table_ref for a later update or delete, and
  // the condition that finds it again (with one parameter); identity: the table's identity
  // column, empty when it has none.
  virtual std::string LocatorColumn(std::string_view table_ref,
                                    std::string_view identity) const = 0;
  virtual std::string LocatorCondition(int param_index, std::string_view identity) const = 0;
  // Whether inserts and updates through a record set read the row's locator (and identity)
  // back with RETURNING, because the locator of a row changes when it is written.
  virtual bool ReturnsLocator() const { return false; }

  // Appended to an ORDER BY term so that NULLs sort as in SQL Server (first ascending, last
  // descending); empty where the backend already does.
  virtual std::string NullsOrder(bool /*descending*/) const { return ""; }

  // LIKE with SQL Server's rules ([...] classes, letters without case). Empty: the backend's
  // LIKE already follows them. Otherwise the operator that replaces LIKE, whose right side must
  // be a literal pattern (with an optional ESCAPE character, 0 for none), written by LikePattern.
  virtual std::string LikeOperator(bool /*negated*/) const { return ""; }
  virtual std::string LikePattern(std::string_view pattern, char /*escape*/) const {
    return std::string(pattern);
  }

  // Whether an ORDER BY after UNION must name output columns (an ordinal replaces a column the
  // first select lists under another name).
  virtual bool UnionOrdersByOutput() const { return false; }

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

  // What replaces the table hint "WITH (INDEX(name))" after a table reference: the backend's
  // way to make a query walk that index, or empty where its planner needs no telling.
  virtual std::string IndexHint(std::string_view index) const {
    (void)index;
    return "";
  }
};

}  // namespace cb
