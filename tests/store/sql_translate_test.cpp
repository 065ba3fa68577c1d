// The translator on its own, for SQLite and PostgreSQL (tests/data/sql_translate.txt).
#include "store/sql_translate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "store/postgres/pg_backend.h"
#include "store/sql_tokens.h"
#include "store/sqlite/sqlite_backend.h"
#include "store/store_error.h"

namespace cb {
namespace {

const SqliteDialect kSqlite;
const PgDialect kPg;

std::string Params(const Translation& t) {
  std::string out;
  for (const SqlValue& v : t.params) {
    out += out.empty() ? "" : " ";
    if (const int64_t* i = std::get_if<int64_t>(&v)) out += std::to_string(*i);
    if (const double* d = std::get_if<double>(&v)) out += "d" + std::to_string(*d);
    if (const std::string* s = std::get_if<std::string>(&v)) out += "'" + *s + "'";
    if (std::holds_alternative<std::monostate>(v)) out += "NULL";
  }
  return out;
}

// "== id" and its "key: value" lines; where is the file's line of the id.
struct Case {
  std::string id, where;
  std::map<std::string, std::string> keys;
  bool Has(const std::string& key) const { return keys.contains(key); }
  const std::string& operator[](const std::string& key) const { return keys.at(key); }
};

std::vector<Case> ReadCases() {
  std::ifstream in(std::string(CORKBOARD_SOURCE_DIR) + "/tests/data/sql_translate.txt");
  EXPECT_TRUE(in);
  std::vector<Case> cases;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.starts_with("== ")) {
      cases.push_back({line.substr(3), "sql_translate.txt:" + std::to_string(n), {}});
    } else if (!line.empty() && line[0] != '#') {
      const size_t colon = line.find(':');
      EXPECT_FALSE(cases.empty() || colon == std::string::npos) << "line " << n;
      const size_t value = line.find_first_not_of(' ', colon + 1);
      cases.back().keys[line.substr(0, colon)] =
          value == std::string::npos ? "" : line.substr(value);
    }
  }
  return cases;
}

// Checks one dialect's keys ("" or "pg " before each) for a case.
void CheckDialect(const Case& c, const Dialect& d, const std::string& prefix) {
  if (c.Has(prefix + "refused")) {
    try {
      c.Has("primed") ? (void)TranslateCached(c["in"], d) : (void)TranslateSql(c["in"], d);
      ADD_FAILURE() << "translated";
    } catch (const DatabaseError& e) {
      EXPECT_NE(e.description().find(c[prefix + "refused"]), std::string::npos) << e.description();
      EXPECT_EQ(e.statement(), c["in"]);
      EXPECT_EQ(e.source(), "Corkboard.Store");
    }
    return;
  }
  const Translation t = TranslateSql(c["in"], d);
  const std::string sql_key = prefix.empty() ? "sqlite" : "pg";
  if (c.Has(sql_key)) {
    EXPECT_EQ(t.sql, c[sql_key]);
  }
  if (c.Has(prefix + "params")) {
    EXPECT_EQ(Params(t), c[prefix + "params"]);
  }
  if (c.Has("kind")) {
    const std::map<std::string, StatementKind> kinds = {
        {"select", StatementKind::kSelect},     {"insert", StatementKind::kInsert},
        {"update", StatementKind::kUpdate},     {"delete", StatementKind::kDelete},
        {"identity", StatementKind::kIdentity}, {"noop", StatementKind::kNoOp}};
    EXPECT_EQ(t.kind, kinds.at(c["kind"]));
  }
  if (c.Has("count")) {
    EXPECT_EQ(t.CountSql(), c["count"]);
    EXPECT_EQ(t.count_from == std::string::npos ? 0 : t.count_first_param,
              std::stoul(c["count param"]));
  }
  if (c.Has("table")) {
    EXPECT_EQ(t.table.empty() ? "none" : t.table + " " + t.table_ref, c["table"]);
  }
  // The cache keeps one translation per shape: after a statement that differs only in its
  // literals, this one translates exactly as it does uncached.
  if (c.Has("primed")) TranslateCached(c["primed"], d);
  const auto cached = TranslateCached(c["in"], d);
  EXPECT_EQ(cached->original, c["in"]);
  EXPECT_EQ(cached->sql, t.sql);
  EXPECT_EQ(Params(*cached), Params(t));
  EXPECT_EQ(cached->top, t.top);
  EXPECT_EQ(cached->CountSql(), t.CountSql());
  EXPECT_EQ(cached->table, t.table);
}

TEST(SqlTranslate, CasesOfTheDataFile) {
  const std::vector<Case> cases = ReadCases();
  EXPECT_GT(cases.size(), 120u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where + " " + c.id);
    if (c.Has("shape")) {
      std::vector<SqlLiteral> literals;
      EXPECT_EQ(SqlShape(c["in"], &literals), c["shape"]);
      std::string joined;
      for (const SqlLiteral& l : literals) joined += (joined.empty() ? "" : "|") + l.value;
      EXPECT_EQ(joined, c["literals"]);
      continue;
    }
    const bool pg = c.Has("pg") || c.Has("pg params") || c.Has("pg refused");
    CheckDialect(c, pg ? static_cast<const Dialect&>(kPg) : kSqlite, pg ? "pg " : "");
  }
}

TEST(SqlTranslate, KeepsTopAndOrderApartForPaging) {
  Translation t = TranslateSql(
      "select top 25 post.* from post inner join forum on post.forumname=forum.forumname where "
      "isnull([restrict],'')<>'private' and parentid is null order by hits desc",
      kSqlite);
  ASSERT_TRUE(t.top.has_value());
  EXPECT_EQ(*t.top, 25);
  EXPECT_EQ(t.body.find("LIMIT"), std::string::npos);
  EXPECT_EQ(t.body.substr(t.order_by), " order by hits desc");
  EXPECT_EQ(t.CountSql().find("order by"), std::string::npos);
  EXPECT_TRUE(t.table.empty());  // a join: rows cannot be changed through it
  // Comments go, a trailing semicolon goes (a line comment ends a line, so this case is here).
  EXPECT_EQ(TranslateSql("select postid -- the id\nfrom post /* all */;", kSqlite).sql,
            "select postid from post");
  EXPECT_EQ(TranslateSql("select * from post where postid=1", kSqlite).BodyWithLocator(kSqlite),
            "select *, post.rowid AS cb_locator from post where postid=?1");
  // One text, one translation object.
  auto a = TranslateCached("select * from forum", kSqlite);
  EXPECT_EQ(a.get(), TranslateCached("select * from forum", kSqlite).get());
}

// Statements built around long texts are one shape; many shapes stay within the cache's bound.
TEST(SqlTranslate, TheCacheIsBoundedInBytes) {
  size_t before = TranslationCacheBytes();
  for (int i = 0; i < 40; ++i) {
    std::string name(256 << 10, static_cast<char>('a' + i % 26));
    auto t = TranslateCached(
        "select * from register where username='" + name + "' and postid=" + std::to_string(i),
        kSqlite);
    ASSERT_EQ(std::get<std::string>(t->params.at(0)), name);
  }
  EXPECT_LT(TranslationCacheBytes(), before + (4 << 10));
  const std::string wide(1000, 'c');
  for (int i = 0; i < 3000; ++i) {
    TranslateCached("select postid as " + wide + std::to_string(i) + " from post", kSqlite);
  }
  EXPECT_LE(TranslationCacheBytes(), kTranslationCacheBytes);
  EXPECT_GT(TranslationCacheBytes(), kTranslationCacheBytes / 2);
}

}  // namespace
}  // namespace cb
