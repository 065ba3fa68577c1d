// The board's thirteen tables as data (columns, kinds, defaults, identities, keys and indexes),
// which every backend turns into its own DDL, and the lookups the translator and record sets use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/sql_value.h"

namespace cb {

enum class DefaultKind { kNone, kNow, kNumber, kText };

struct ColumnDef {
  ColumnDef(std::string n, ColumnKind k, DefaultKind dk = DefaultKind::kNone, std::string dv = "",
            bool ex = false)
      : name(std::move(n)), kind(k), default_kind(dk), default_value(std::move(dv)), exact(ex) {}
  std::string name;  // as the pages spell it most often
  ColumnKind kind;
  DefaultKind default_kind = DefaultKind::kNone;
  std::string default_value;  // the number or text of kNumber / kText
  bool exact = false;         // compared exactly (passwords); other text ignores letter case
};

struct IndexDef {
  IndexDef(std::string n, std::vector<std::string> cols, bool u = false)
      : name(std::move(n)), columns(std::move(cols)), unique(u) {}
  std::string name;
  std::vector<std::string> columns;  // a column may end in " DESC"
  bool unique = false;
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  std::string identity;  // the identity column, empty when none
  std::vector<IndexDef> indexes;

  const ColumnDef* Find(std::string_view column) const;  // without regard to case
};

const std::vector<TableDef>& BoardTables();
const TableDef* FindTable(std::string_view name);  // without regard to case

// Whether a column of this name holds dates in the tables that have it.
bool IsDateColumnName(std::string_view name);
// The kind of a column of this name when every table that has one agrees, else kUnknown.
ColumnKind ColumnNameKind(std::string_view name);

// The schema version this program writes; a database at an older version is migrated on open.
constexpr int kSchemaVersion = 5;

}  // namespace cb
