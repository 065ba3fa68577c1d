// Board copy (migrate) and backup.
#include "store/board_copy.h"

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <variant>

#include "store/backend.h"
#include "store/schema.h"
#include "store/schema_migrate.h"
#include "store/store_error.h"

extern char** environ;

namespace cb {

namespace {

[[noreturn]] void Refuse(const std::string& what) {
  throw ScriptError(err::kDatabase, what, kStoreSource);
}

std::unique_ptr<BackendConnection> OpenBoard(const DataSourceSpec& spec) {
  Backend* backend = FindBackend(spec.backend);
  if (!backend) Refuse("Unknown database backend: " + spec.backend);
  auto con = backend->Open(spec.location);
  EnsureSchema(*con, backend->Migrations());
  return con;
}

int64_t Number(BackendConnection& con, const std::string& sql) {
  auto st = con.Prepare(sql, sql);
  int64_t n = 0;
  if (st->Step()) {
    SqlValue v = st->Column(0);
    if (const int64_t* i = std::get_if<int64_t>(&v)) n = *i;
  }
  st->Reset();
  return n;
}

std::string ColumnList(const TableDef& t, const Dialect& d) {
  std::string s;
  for (const ColumnDef& c : t.columns) s += (s.empty() ? "" : ", ") + d.QuoteName(c.name);
  return s;
}

// The number a new row of the table would get next in the SQLite source: SQLite never reuses
// one, so it follows the highest ever given, not only the highest left.
int64_t NextIdentity(BackendConnection& con, const TableDef& t) {
  int64_t next = Number(con, "SELECT coalesce(max(" + t.identity + "), 0) FROM " + t.name) + 1;
  if (con.dialect().name() == "sqlite") {
    int64_t seq = Number(con, "SELECT coalesce(max(seq), 0) FROM sqlite_sequence WHERE name = '" +
                                  t.name + "'");
    next = std::max(next, seq + 1);
  }
  return next;
}

int64_t CopyTable(BackendConnection& src, BackendConnection& dst, const TableDef& t) {
  auto read = src.Prepare("SELECT " + ColumnList(t, src.dialect()) + " FROM " + t.name,
                          "copy " + t.name);
  std::string marks;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    marks += (i ? ", " : "") + dst.dialect().Parameter(static_cast<int>(i + 1));
  }
  auto write = dst.Prepare("INSERT INTO " + t.name + " (" + ColumnList(t, dst.dialect()) +
                               ") VALUES (" + marks + ")",
                           "copy " + t.name);
  int64_t rows = 0;
  while (read->Step()) {
    write->Reset();
    for (int i = 0; i < static_cast<int>(t.columns.size()); ++i) write->Bind(i + 1, read->Column(i));
    write->Step();
    ++rows;
  }
  read->Reset();
  write->Reset();
  return rows;
}

}  // namespace

std::vector<TableCount> CopyBoard(const DataSourceSpec& from, const DataSourceSpec& to,
                                  const std::function<void(const std::string&)>& progress) {
  if (to.backend != "postgres") Refuse("A board is copied into PostgreSQL only");
  auto src = OpenBoard(from);
  auto dst = OpenBoard(to);
  for (const TableDef& t : BoardTables()) {
    if (Number(*dst, "SELECT count(*) FROM " + t.name) != 0) {
      Refuse("The target board is not empty: table " + t.name + " has rows");
    }
  }
  std::vector<TableCount> counts;
  // The source's counters are copied as they stand: the target's triggers must not count the
  // copied posts a second time.
  dst->Begin();
  try {
    dst->ExecScript("ALTER TABLE post DISABLE TRIGGER post_counters_insert");
    dst->ExecScript("ALTER TABLE post DISABLE TRIGGER post_topics_insert");
    for (const TableDef& t : BoardTables()) {
      int64_t rows = CopyTable(*src, *dst, t);
      if (!t.identity.empty()) {
        dst->ExecScript("SELECT setval(pg_get_serial_sequence('" + t.name + "', '" + t.identity +
                        "'), " + std::to_string(NextIdentity(*src, t)) + ", false)");
      }
      counts.push_back({t.name, rows});
      if (progress) progress(t.name + ": " + std::to_string(rows) + " rows");
    }
    dst->ExecScript("ALTER TABLE post ENABLE TRIGGER post_counters_insert");
    dst->ExecScript("ALTER TABLE post ENABLE TRIGGER post_topics_insert");
    for (const TableCount& c : counts) {
      int64_t there = Number(*dst, "SELECT count(*) FROM " + c.table);
      int64_t here = Number(*src, "SELECT count(*) FROM " + c.table);
      if (there != c.rows || here != c.rows) {
        Refuse("Counts differ after the copy: " + c.table + " has " + std::to_string(here) +
               " rows in the source, " + std::to_string(there) + " in the target");
      }
    }
    dst->Commit();
  } catch (...) {
    dst->Rollback();
    throw;
  }
  return counts;
}

namespace {

void RunProgram(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
    Refuse("Cannot run " + argv[0]);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Refuse(argv[0] + " failed");
}

}  // namespace

void BackupBoard(const DataSourceSpec& board, const std::string& dest) {
  if (std::filesystem::exists(dest)) Refuse("The backup file exists already: " + dest);
  if (board.backend == "postgres") {
    RunProgram({"pg_dump", "--format=custom", "--no-owner", "--file=" + dest,
                "--dbname=" + board.location});
    return;
  }
  auto con = OpenBoard(board);
  // A read transaction of its own: the board goes on writing meanwhile (WAL).
  std::string quoted;
  for (char c : dest) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  con->ExecScript("VACUUM INTO '" + quoted + "'");
}

}  // namespace cb
