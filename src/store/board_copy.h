// Moving and keeping boards: a whole board copied from one database to another (SQLite to
// PostgreSQL) with every row, identifier and counter, checked by counts; and a backup taken while
// the board serves (SQLite's VACUUM INTO, PostgreSQL's pg_dump).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "store/data_sources.h"

namespace cb {

struct TableCount {
  std::string table;
  int64_t rows = 0;
};

// Copies every table of the board at `from` into the board at `to`, which must hold no rows yet
// (its schema is created when missing), in one transaction: all of it or nothing. Identities keep
// their numbers and the target's next numbers follow the source's. Afterwards the row count of
// every table is compared; returns the counts. Raises ScriptError naming what differs or fails.
// progress, when given, hears one line per table.
std::vector<TableCount> CopyBoard(const DataSourceSpec& from, const DataSourceSpec& to,
                                  const std::function<void(const std::string&)>& progress = {});

// A consistent copy of a serving board: a SQLite file at dest, or a pg_dump archive (custom
// format, for pg_restore). Raises ScriptError.
void BackupBoard(const DataSourceSpec& board, const std::string& dest);

}  // namespace cb
