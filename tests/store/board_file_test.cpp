// A board file written by a plain SQLite connection without the server's functions, as the
// sqlite3 shell is, on a new board and on a migrated one.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/schema_migrate.h"
#include "store/sqlite/sqlite_backend.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

// One plain connection: runs statements and reads single values.
class PlainDb {
 public:
  explicit PlainDb(const std::string& path) {
    EXPECT_EQ(
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
        SQLITE_OK);
  }
  ~PlainDb() { sqlite3_close(db_); }
  void Exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << "\n" << sql;
    sqlite3_free(err);
  }
  std::string Text(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    std::string out = "NULL";
    if (st && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) {
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

// The schema of the first boards: the same tables, their time defaults calling cb_now().
void WriteFirstSchema(const std::string& path) {
  PlainDb db(path);
  for (const std::string& s : SqliteSchemaStatements()) {
    db.Exec(ReplaceNoCase(s, kSqliteLocalNow, "cb_now()"));
  }
  db.Exec(
      "CREATE TABLE corkboard_schema (version INTEGER NOT NULL);"
      "INSERT INTO corkboard_schema VALUES (1);"
      "INSERT INTO register (username, password, signdate) VALUES ('old', 'pw', "
      "'2001-05-09 08:03:07')");
}

struct BoardFileCase {
  const char* name;
  bool first_schema;
};

class BoardFileTest : public ::testing::TestWithParam<BoardFileCase> {
 protected:
  void SetUp() override { path_ = dir_ / "corkboard.db"; }

  // Opens the board once through the server's store, which creates or migrates it.
  void OpenWithServer() {
    DataSourceSpec spec;
    spec.location = path_;
    RegisterDataSource("boardfile", spec);
    {
      Connection con;
      con.Open("DATA SOURCE=boardfile");
      EXPECT_EQ(SchemaVersion(con.backend()), kSchemaVersion);
      con.Execute("insert into forum (forumname, catalog) values ('F', 'c')");
      con.Execute("insert into register (username, password) values ('srv', 'pw')");
    }
    UnregisterDataSource("boardfile");
  }

  test::ScratchDir dir_{"corkboard-file"};
  std::string path_;
};

TEST_P(BoardFileTest, TheStockShellCanAddMembersAndPosts) {
  if (GetParam().first_schema) WriteFirstSchema(path_);
  OpenWithServer();
  PlainDb db(path_);
  EXPECT_EQ(db.Text("SELECT count(*) FROM sqlite_schema WHERE sql LIKE '%cb_now%'"), "0");
  db.Exec("INSERT INTO register (username, password, allowmassmail) VALUES ('ann', 'pw', 'true')");
  db.Exec("INSERT INTO post (forumname, username, subject, message) VALUES ('F', 'ann', 's', 'm')");
  db.Exec(
      "INSERT INTO post (forumname, username, subject, message, parentid) VALUES "
      "('F', 'ann', 're', 'm', 1)");

  // Defaults: local time in the board's stored form.
  const std::string signdate = db.Text("SELECT signdate FROM register WHERE username = 'ann'");
  ASSERT_EQ(signdate.size(), 19u) << signdate;
  std::optional<DateTime> stamped = DateTime::Parse(signdate);
  ASSERT_TRUE(stamped);
  EXPECT_EQ(stamped->YmdHms(), signdate);
  EXPECT_LE(std::abs(DiffSeconds(SystemClock().Now(), *stamped)), 2);
  // Triggers: counters, the last post and flags held to 0 or 1.
  const std::vector<std::pair<std::string, std::string>> checks = {
      {"SELECT topiccount || '/' || replycount FROM forum WHERE forumname = 'F'", "1/1"},
      {"SELECT postcount FROM register WHERE username = 'ann'", "2"},
      {"SELECT replycount FROM post WHERE postid = 1", "1"},
      {"SELECT lastpostusername FROM forum WHERE forumname = 'F'", "ann"},
      {"SELECT allowmassmail FROM register WHERE username = 'ann'", "1"},
      {"SELECT length(posttime) FROM post WHERE postid = 2", "19"},
      {"SELECT count(*) FROM register WHERE length(signdate) = 19",
       GetParam().first_schema ? "3" : "2"},
  };
  for (const auto& [sql, want] : checks) EXPECT_EQ(db.Text(sql), want) << sql;
}

INSTANTIATE_TEST_SUITE_P(Boards, BoardFileTest,
                         ::testing::Values(BoardFileCase{"new", false},
                                           BoardFileCase{"first_schema", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cb
