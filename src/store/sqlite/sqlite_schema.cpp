// The board's schema as SQLite DDL: tables from store/schema.cpp, their indexes, the triggers
// that keep the derived counters, and the triggers that hold flag columns to 0 or 1.
#include <string>
#include <variant>
#include <vector>

#include "store/schema.h"
#include "store/sqlite/sqlite_backend.h"

namespace cb {

namespace {

// Declared types say what a column holds: record sets read the kind back from them.
std::string ColumnType(const ColumnDef& c) {
  switch (c.kind) {
    case ColumnKind::kDate:
      return "DATETIME TEXT";
    case ColumnKind::kFlag:
      return "BIT INTEGER";
    case ColumnKind::kInteger:
      return "INTEGER";
    case ColumnKind::kReal:
      return "REAL";
    default:
      return c.exact ? "TEXT COLLATE BINARY" : "TEXT COLLATE NOCASE";
  }
}

std::string ColumnSql(const TableDef& t, const ColumnDef& c) {
  if (c.name == t.identity) return c.name + " INTEGER PRIMARY KEY AUTOINCREMENT";
  std::string s = c.name + " " + ColumnType(c);
  switch (c.default_kind) {
    case DefaultKind::kNow:
      s += std::string(" DEFAULT (") + kSqliteLocalNow + ")";
      break;
    case DefaultKind::kNumber:
      s += " DEFAULT " + c.default_value;
      break;
    case DefaultKind::kText:
      s += " DEFAULT '" + c.default_value + "'";
      break;
    case DefaultKind::kNone:
      break;
  }
  return s;
}

std::string TableSql(const TableDef& t) {
  std::string s = "CREATE TABLE " + t.name + " (";
  for (size_t i = 0; i < t.columns.size(); ++i) {
    s += (i ? ", " : "") + ColumnSql(t, t.columns[i]);
  }
  return s + ")";
}

std::string IndexSql(const TableDef& t, const IndexDef& ix) {
  std::string s = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " + ix.name +
                  " ON " + t.name + " (";
  for (size_t i = 0; i < ix.columns.size(); ++i) s += (i ? ", " : "") + ix.columns[i];
  return s + ")";
}

// A flag written as anything but 0 or 1 (a host True is -1, a text 'true') becomes 0 or 1.
std::string FlagTriggers(const TableDef& t) {
  std::vector<std::string> flags;
  for (const ColumnDef& c : t.columns) {
    if (c.kind == ColumnKind::kFlag) flags.push_back(c.name);
  }
  if (flags.empty()) return "";
  std::string odd, set, list;
  for (size_t i = 0; i < flags.size(); ++i) {
    const std::string& f = flags[i];
    odd += (i ? " OR " : "") + ("(new." + f + " IS NOT NULL AND (typeof(new." + f +
                                ") <> 'integer' OR new." + f + " NOT IN (0, 1)))");
    set += (i ? ", " : "") + (f + " = CASE WHEN " + f + " IS NULL THEN NULL WHEN typeof(" + f +
                              ") IN ('integer', 'real') THEN " + f + " <> 0 WHEN lower(" + f +
                              ") = 'true' THEN 1 WHEN lower(" + f +
                              ") = 'false' THEN 0 ELSE CAST(" + f + " AS REAL) <> 0 END");
    list += (i ? ", " : "") + f;
  }
  std::string body =
      " WHEN " + odd + " BEGIN UPDATE " + t.name + " SET " + set + " WHERE rowid = new.rowid; END";
  return "CREATE TRIGGER " + t.name + "_flags_insert AFTER INSERT ON " + t.name + body + ";\n" +
         "CREATE TRIGGER " + t.name + "_flags_update AFTER UPDATE OF " + list + " ON " + t.name +
         body;
}

// Newer-wins assignment of a "last" pair: (time, user) take the new post's when it is newer.
std::string Newer(const std::string& time_col, const std::string& user_col) {
  std::string newer = "(" + time_col + " IS NULL OR new.posttime >= " + time_col + ")";
  return user_col + " = CASE WHEN " + newer + " THEN new.username ELSE " + user_col + " END, " +
         time_col + " = CASE WHEN " + newer + " THEN new.posttime ELSE " + time_col + " END";
}

std::vector<std::string> CounterTriggers() {
  return {
      // A new topic stands for its own last reply until the first reply comes.
      "CREATE TRIGGER post_counters_insert AFTER INSERT ON post BEGIN "
      "UPDATE post SET replycount = (SELECT count(*) FROM post r WHERE r.parentid = new.postid), "
      "lastreplyposttime = new.posttime, lastreplyusername = new.username "
      "WHERE new.parentid IS NULL AND postid = new.postid; "
      "UPDATE post SET replycount = ifnull(replycount, 0) + 1, " +
          Newer("lastreplyposttime", "lastreplyusername") +
          " WHERE new.parentid IS NOT NULL AND postid = new.parentid; "
          "UPDATE forum SET topiccount = ifnull(topiccount, 0) + (new.parentid IS NULL), "
          "replycount = ifnull(replycount, 0) + (new.parentid IS NOT NULL), " +
          Newer("lastposttime", "lastpostusername") +
          " WHERE forumname = new.forumname; "
          "UPDATE register SET postcount = ifnull(postcount, 0) + 1 "
          "WHERE username = new.username; END",
      "CREATE TRIGGER post_counters_delete AFTER DELETE ON post BEGIN "
      "UPDATE post SET replycount = max(ifnull(replycount, 0) - 1, 0) "
      "WHERE old.parentid IS NOT NULL AND postid = old.parentid; "
      "UPDATE forum SET topiccount = max(ifnull(topiccount, 0) - (old.parentid IS NULL), 0), "
      "replycount = max(ifnull(replycount, 0) - (old.parentid IS NOT NULL), 0) "
      "WHERE forumname = old.forumname; "
      "UPDATE register SET postcount = max(ifnull(postcount, 0) - 1, 0) "
      "WHERE username = old.username; END",
      // The deleted reply was the topic's newest: the newest remaining one, or the topic.
      "CREATE TRIGGER post_last_reply_delete AFTER DELETE ON post WHEN old.parentid IS NOT NULL "
      "AND coalesce((SELECT lastreplyposttime FROM post WHERE postid = old.parentid) > "
      "old.posttime, 0) = 0 BEGIN "
      "UPDATE post SET lastreplyposttime = posttime, lastreplyusername = username "
      "WHERE postid = old.parentid; "
      "UPDATE post SET (lastreplyposttime, lastreplyusername) = (SELECT r.posttime, r.username "
      "FROM post r WHERE r.parentid = old.parentid ORDER BY r.posttime DESC, r.postid DESC "
      "LIMIT 1) WHERE postid = old.parentid AND EXISTS (SELECT 1 FROM post r WHERE r.parentid = "
      "old.parentid); END",
      // The deleted post was the forum's newest: the newest remaining one (kept when none).
      "CREATE TRIGGER post_forum_last_delete AFTER DELETE ON post WHEN "
      "coalesce((SELECT lastposttime FROM forum WHERE forumname = old.forumname) > "
      "old.posttime, 0) = 0 BEGIN "
      "UPDATE forum SET (lastposttime, lastpostusername) = (SELECT p.posttime, p.username FROM "
      "post p WHERE p.forumname = old.forumname ORDER BY p.posttime DESC, p.postid DESC LIMIT 1) "
      "WHERE forumname = old.forumname AND EXISTS (SELECT 1 FROM post p WHERE p.forumname = "
      "old.forumname); END",
  };
}

std::vector<std::string> Version1() {
  std::vector<std::string> out;
  for (const TableDef& t : BoardTables()) {
    out.push_back(TableSql(t));
    for (const IndexDef& ix : t.indexes) out.push_back(IndexSql(t, ix));
    std::string flags = FlagTriggers(t);
    if (!flags.empty()) out.push_back(flags);
  }
  for (std::string& s : CounterTriggers()) out.push_back(std::move(s));
  return out;
}

}  // namespace

std::vector<std::string> SqliteSchemaStatements() { return Version1(); }

std::vector<std::string> SqliteSearchStatements() {
  std::vector<std::string> out;
  for (const std::string table : kSqliteSearchedTables) {
    const std::string fts = table + "_search";
    // Contentless: the index keeps no copy of the texts; a row leaves it by the 'delete'
    // command with the values it was indexed with, which the triggers recompute from old.
    const std::string add = "INSERT INTO " + fts +
                            " (rowid, subject, message) VALUES (new.rowid, lower(new.subject), "
                            "lower(new.message)); ";
    const std::string drop = "INSERT INTO " + fts + " (" + fts +
                             ", rowid, subject, message) VALUES ('delete', old.rowid, "
                             "lower(old.subject), lower(old.message)); ";
    out.push_back("CREATE VIRTUAL TABLE " + fts +
                  " USING fts5(subject, message, content='', detail=full, "
                  "tokenize='trigram case_sensitive 1')");
    out.push_back("CREATE TRIGGER " + fts + "_insert AFTER INSERT ON " + table + " BEGIN " + add +
                  "END");
    out.push_back("CREATE TRIGGER " + fts + "_delete AFTER DELETE ON " + table + " BEGIN " + drop +
                  "END");
    out.push_back("CREATE TRIGGER " + fts + "_update AFTER UPDATE OF subject, message ON " + table +
                  " BEGIN " + drop + add + "END");
    out.push_back("INSERT INTO " + fts +
                  " (rowid, subject, message) SELECT rowid, lower(subject), " +
                  "lower(message) FROM " + table);
  }
  return out;
}

namespace {

// Boards created before defaults used only SQLite's own functions named one of the server's.
// SQLite cannot alter a column default, but a default is no part of the stored rows: the table
// definitions are edited in place, the documented way, instead of copying every table.
int64_t ReadNumber(BackendConnection& con, const std::string& sql) {
  auto st = con.Prepare(sql, sql);
  int64_t v = st->Step() ? std::get<int64_t>(st->Column(0)) : 0;
  st->Reset();
  return v;
}

void LocalTimeDefaults(BackendConnection& con) {
  const std::string old_tables = "type = 'table' AND sql LIKE '%cb_now()%'";
  if (ReadNumber(con, "SELECT count(*) FROM sqlite_schema WHERE " + old_tables) == 0) return;
  std::string now;
  for (const char* c = kSqliteLocalNow; *c; ++c) now += *c == '\'' ? "''" : std::string(1, *c);
  int64_t version = ReadNumber(con, "PRAGMA schema_version");
  con.ExecScript("PRAGMA writable_schema=ON");
  con.ExecScript("UPDATE sqlite_schema SET sql = replace(sql, 'DEFAULT (cb_now())', 'DEFAULT (" +
                 now + ")') WHERE " + old_tables);
  // Every connection reads the schema again, this one included.
  con.ExecScript("PRAGMA schema_version=" + std::to_string(version + 1));
  con.ExecScript("PRAGMA writable_schema=OFF");
}

// The digests read the 25 topics with the most views or replies: an index serves each ORDER BY,
// so a digest reads a few dozen rows, not every topic. Search gets its trigram indexes.
std::vector<std::string> Version3() {
  std::vector<std::string> out = {
      "CREATE INDEX post_topics_by_hits ON post (parentid, hits)",
      "CREATE INDEX post_topics_by_replies ON post (parentid, replycount)",
  };
  for (std::string& s : SqliteSearchStatements()) out.push_back(std::move(s));
  return out;
}

// A search that finds many posts lists its newest through an index on the posting time, which
// boards created since have from the start.
std::vector<std::string> Version4() {
  return {"CREATE INDEX IF NOT EXISTS post_by_time ON post (posttime)"};
}

}  // namespace

const std::vector<Migration>& SqliteBackend::Migrations() const {
  static const std::vector<Migration> migrations = {
      {1, Version1(), {}}, {2, {}, LocalTimeDefaults}, {3, Version3(), {}}, {4, Version4(), {}},
      {5, {}, {}}};  // 5 changed only PostgreSQL's counter triggers
  return migrations;
}

}  // namespace cb
