// The bounded count (a statement's rows up to a cap, union or not) and the table hint
// WITH (INDEX(name)) in each dialect.
#include "store/bounded_count.h"

#include <gtest/gtest.h>

#include <string>

#include "store/postgres/pg_backend.h"
#include "store/sql_translate.h"
#include "store/sqlite/sqlite_backend.h"
#include "support/golden.h"
#include "support/test_board.h"

namespace cb {
namespace {

TEST(BoundedCount, CountsNoFurtherThanTheBound) {
  test::TestBoard board;
  board.AddCatalogForum("c", "F");
  for (int i = 1; i <= 7; ++i) board.AddTopic("F", "u", "t" + std::to_string(i));
  // A statement, the cap, the count.
  for (const auto& [sql, cap, count] : {
           std::tuple{"select subject from post order by postid", 5, 5},
           {"select subject from post order by postid", 9, 7},
           {"select subject from post where subject='t2' or subject='t3'", 5, 2},
           {"select subject from post where subject='none'", 2, 0},
           {"select subject, postid from post union select subject, postid from post", 9, 7},
           {"select subject, postid from post union all select subject, postid from post", 9, 9},
           {"select distinct username from post", 5, 1},
       }) {
    EXPECT_EQ(CountAtMost(board.con(), sql, cap), count) << sql;
  }
  // Remembered until the next write.
  board.AddTopic("F", "u", "t8");
  EXPECT_EQ(CountAtMost(board.con(), "select subject from post", 9), 8);
  EXPECT_THROW(CountAtMost(board.con(), "select nothing from post", 9), ScriptError);
}

TEST(BoundedCount, IndexHintInEachDialect) {
  const std::string sql =
      "select subject from archivelist as post WITH (INDEX(archivelist_time)) inner join archive "
      "on archive.archiveid=post.archiveid where post.subject like '%abcd%' order by posttime desc";
  // The alias still names the table, so that the text index serves the condition.
  EXPECT_GOLDEN("store/index_hint.txt", "sqlite: " + TranslateSql(sql, SqliteDialect()).sql +
                                            "\npostgresql: " + TranslateSql(sql, PgDialect()).sql);
}

}  // namespace
}  // namespace cb
