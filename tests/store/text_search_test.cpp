// Substring search through the trigram index: which LIKE patterns it serves, the statements it
// makes, that it finds exactly what the LIKE finds as rows are added, edited and deleted, and
// that the digests and searches are read through indexes rather than by scanning post.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "store/schema_migrate.h"
#include "store/sql_translate.h"
#include "store/sqlite/sqlite_backend.h"
#include "support/test_board.h"

namespace cb {
namespace {

const SqliteDialect kSqlite;

TEST(TextSearch, ContainedTextOfPatterns) {
  struct Case {
    const char* pattern;
    const char* text;  // nullptr: not a plain "contains" pattern
  };
  const Case cases[] = {
      {"%abc%", "abc"},    {"%今天天气%", "今天天气"},
      {"%50[%]%", "50%"},  {"%a[_]b%", "a_b"},
      {"%[[]x]%", "[x]"},  {"%[中]文%", "中文"},
      {"%%", ""},          {"%it's%", "it's"},
      {"abc%", nullptr},   {"%abc", nullptr},
      {"%a%b%", nullptr},  {"%a_b%", nullptr},
      {"%[ab]%", nullptr}, {"%[^a]%", nullptr},
      {"%[a%", nullptr},   {"%[]]%", nullptr},
      {"%", nullptr},      {"", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<std::string> text = ContainedText(c.pattern);
    if (c.text) {
      ASSERT_TRUE(text) << c.pattern;
      EXPECT_EQ(*text, c.text) << c.pattern;
    } else {
      EXPECT_FALSE(text) << c.pattern << " -> " << text.value_or("");
    }
  }
}

std::string Params(const Translation& t) {
  std::string out;
  for (size_t k = 0; k < t.params.size(); ++k) {
    if (k) out += "|";
    if (const std::string* s = std::get_if<std::string>(&t.params[k])) out += *s;
  }
  return out;
}

constexpr const char* kPostIndex = "post.rowid IN (SELECT rowid FROM post_search WHERE ";

TEST(TextSearch, RewritesLikeConditionsOnIndexedColumns) {
  struct Case {
    const char* in;
    const char* sql;
    const char* params;
  };
  const std::string idx = kPostIndex;
  const std::vector<Case> cases = {
      {"select postid from post where subject like '%Abc%'",
       "select postid from post where post.rowid IN (SELECT rowid FROM post_search WHERE subject "
       "MATCH ?1)",
       "\"abc\""},
      // Qualified, aliased, inside parentheses and beside other conditions.
      {"select * from archivelist as post inner join archive on archive.archiveid = "
       "post.archiveid where ( (post.subject like '%x\"y%' or message like '%50[%]off%')) and "
       "username='u'",
       "select * from archivelist as post inner join archive on archive.archiveid = "
       "post.archiveid where ( (post.rowid IN (SELECT rowid FROM archivelist_search WHERE subject "
       "MATCH ?1) or post.rowid IN (SELECT rowid FROM archivelist_search WHERE message MATCH "
       "?2))) and username=?3",
       "\"x\"\"y\"|\"50%off\"|u"},
      {"select p.postid from post p inner join forum f on p.forumname=f.forumname where "
       "f.descript like '%abc%' and p.message like '%今天天%'",
       "select p.postid from post p inner join forum f on p.forumname=f.forumname where "
       "f.descript like ?1 and p.rowid IN (SELECT rowid FROM post_search WHERE message MATCH ?2)",
       "%abc%|\"今天天\""},
      // Short texts, wildcards, NOT, expressions and unindexed columns keep the LIKE.
      {"select * from post where subject like '%ab%'", "select * from post where subject like ?1",
       "%ab%"},
      {"select * from post where subject like '%a_c%'", "select * from post where subject like ?1",
       "%a_c%"},
      {"select * from post where not subject like '%abc%'",
       "select * from post where not subject like ?1", "%abc%"},
      {"select * from post where not (subject like '%abc%')",
       "select * from post where not (subject like ?1)", "%abc%"},
      {"select * from post where isnull(subject,'') like '%abc%'",
       "select * from post where ifnull(subject,?1) COLLATE NOCASE like ?2", "|%abc%"},
      {"select * from post where subject like '%abc%' escape '!'",
       "select * from post where subject like ?1 escape ?2", "%abc%|!"},
      {"select * from post where username like '%abc%'",
       "select * from post where username like ?1", "%abc%"},
      {"select subject like '%abc%' from post", "select subject like ?1 from post", "%abc%"},
      {"select * from post p, archivelist a where subject like '%abc%'",
       "select * from post p, archivelist a where subject like ?1", "%abc%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    Translation t = TranslateSql(c.in, kSqlite);
    EXPECT_EQ(t.sql, c.sql);
    EXPECT_EQ(Params(t), c.params);
  }
}

// Today's topics: the three date parts of one column become that day's range, which an index
// serves; anything else stays as written.
TEST(TextSearch, DayTestsBecomeRanges) {
  struct Case {
    const char* in;
    const char* sql;
  };
  const Case cases[] = {
      {"select * from post where parentid is null and  year(lastreplyposttime)=2024 and "
       "month(lastreplyposttime)=5 and day(lastreplyposttime)=9    and x=1",
       "select * from post where parentid is null and (lastreplyposttime >= '2024-05-09 "
       "00:00:00' and lastreplyposttime < '2024-05-10 00:00:00') and x=?1"},
      {"select * from post p where year(p.posttime)=2023 and month(p.posttime)=12 and "
       "day(p.posttime)=31",
       "select * from post p where (p.posttime >= '2023-12-31 00:00:00' and p.posttime < "
       "'2024-01-01 00:00:00')"},
      // Another column, order, date or an expression around them: as written.
      {"select * from post where year(posttime)=2024 and month(lastreplyposttime)=5 and "
       "day(posttime)=9",
       "select * from post where year(posttime)=?1 and month(lastreplyposttime)=?2 and "
       "day(posttime)=?3"},
      {"select * from post where day(posttime)=9 and month(posttime)=5 and year(posttime)=2024",
       "select * from post where day(posttime)=?1 and month(posttime)=?2 and year(posttime)=?3"},
      {"select * from post where year(posttime)=2024 and month(posttime)=2 and day(posttime)=30",
       "select * from post where year(posttime)=?1 and month(posttime)=?2 and day(posttime)=?3"},
      {"select * from post where not year(posttime)=2024 and month(posttime)=2 and "
       "day(posttime)=3",
       "select * from post where not year(posttime)=?1 and month(posttime)=?2 and "
       "day(posttime)=?3"},
      {"select * from post where year(subject)=2024 and month(subject)=2 and day(subject)=3",
       "select * from post where year(subject)=?1 and month(subject)=?2 and day(subject)=?3"},
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateSql(c.in, kSqlite).sql, c.sql) << c.in;
  // Each day is its own shape.
  const std::string day9 = TranslateCached(cases[0].in, kSqlite)->sql;
  std::string day10 = cases[0].in;
  day10.replace(day10.find("day(lastreplyposttime)=9"), 24, "day(lastreplyposttime)=10");
  EXPECT_NE(TranslateCached(day10, kSqlite)->sql.find("'2024-05-11 00:00:00'"), std::string::npos);
  EXPECT_EQ(TranslateCached(cases[0].in, kSqlite)->sql, day9);
}

// A cached shape serves a statement whose pattern falls on the other side of the index's limit
// only after it is translated again.
TEST(TextSearch, CachedShapesFollowThePatternsSide) {
  const char* patterns[] = {"%abc%", "%ab%", "%xyz%", "%a%c%", "%abcd%"};
  for (const char* p : patterns) {
    const std::string sql = std::string("select postid from post where subject like '") + p + "'";
    SCOPED_TRACE(sql);
    auto cached = TranslateCached(sql, kSqlite);
    Translation plain = TranslateSql(sql, kSqlite);
    EXPECT_EQ(cached->sql, plain.sql);
    EXPECT_EQ(Params(*cached), Params(plain));
  }
}

class TextSearchBoard : public ::testing::Test {
 protected:
  test::TestBoard board;

  void Exec(const std::string& sql) { board.Exec(sql); }
  std::vector<std::string> Column(const std::string& sql) { return board.Column(sql); }

  // Every post whose subject or message matches, by the index and by a plain LIKE that the
  // translator leaves alone (the column inside isnull).
  void ExpectSameRows(const std::string& pattern) {
    SCOPED_TRACE(pattern);
    const std::string q = SqlQuoteText(pattern);
    for (const std::string table : {"post", "archivelist"}) {
      EXPECT_EQ(Column("select postid from " + table + " where subject like '" + q +
                       "' or message like '" + q + "' order by 1"),
                Column("select postid from " + table + " where isnull(subject,'') like '" + q +
                       "' or isnull(message,'') like '" + q + "' order by 1"))
          << table;
    }
  }
  static std::string SqlQuoteText(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out;
  }
  void Archive(long postid, const std::string& subject, const std::string& message) {
    board.AddRow("archivelist", {{"archiveid", Variant(1)},
                                 {"postid", Variant(static_cast<int32_t>(postid))},
                                 {"forumname", Variant("F")},
                                 {"username", Variant("ann")},
                                 {"subject", Variant(subject)},
                                 {"message", Variant(message)}});
  }
};

TEST_F(TextSearchBoard, FindsWhatTheLikeFinds) {
  board.AddCatalogForum("c", "F");
  board.AddMember("ann", "pw");
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"今天天气不错", "我觉得今天天气不错"},
      {"ABC Widget", "about the abc"},
      {"50% off", "price_list [new] it's \"quoted\""},
      {"ÄBC ä", "Straße"},
      {"", ""},
      {"abcabc", "xabcx"},
  };
  std::vector<long> ids;
  for (const auto& [subject, message] : texts) {
    const long id = static_cast<long>(board.AddPost("F", "ann"));
    Exec("update post set subject='" + SqlQuoteText(subject) + "', message='" +
         SqlQuoteText(message) + "' where postid=" + std::to_string(id));
    Archive(id, subject, message);
    ids.push_back(id);
  }
  Exec("update post set subject=null where postid=" + std::to_string(ids[4]));
  const char* patterns[] = {"%abc%", "%ABC%",     "%天天气%", "%我觉得今天%", "%50[%] o%",
                            "%e_l%", "%[[]new]%", "%it's%",   "%\"quoted\"%", "%äbc%",
                            "%ÄBC%", "%straße%",  "%bcab%",   "%zzz%",        "%ab%"};
  for (const char* p : patterns) ExpectSameRows(p);

  // Edits and deletes keep the index with the rows.
  Exec("update post set message='nothing here' where postid=" + std::to_string(ids[1]));
  Exec("update post set subject='renamed abc' where postid=" + std::to_string(ids[0]));
  Exec("delete from post where postid=" + std::to_string(ids[5]));
  Exec("delete from archivelist where postid=" + std::to_string(ids[1]));
  Exec("update archivelist set message='fresh abc' where postid=" + std::to_string(ids[2]));
  for (const char* p : {"%abc%", "%天天气%", "%about%", "%fresh%", "%nothing%"}) ExpectSameRows(p);
  EXPECT_EQ(Column("select postid from post where subject like '%abc%' or message like '%abc%' "
                   "order by 1"),
            (std::vector<std::string>{std::to_string(ids[0]), std::to_string(ids[1])}));
}

// A forum is private whatever the letter case of its restriction, in every statement that
// leaves private forums out.
TEST_F(TextSearchBoard, PrivateInAnyCaseIsPrivate) {
  const std::pair<const char*, const char*> forums[] = {
      {"a", "private"}, {"b", "Private"}, {"c", "PRIVATE"}};
  for (const auto& [name, restriction] : forums) {
    Exec(std::string("insert into forum (forumname, catalog, [restrict]) values ('") + name +
         "', 'c', '" + restriction + "')");
  }
  board.AddCatalogForum("c", "open");
  EXPECT_EQ(Column("select forumname from forum where isnull([restrict],'')<>'private'"),
            std::vector<std::string>{"open"});
}

// The plan of a statement as SQLite would run it on the board's schema.
std::string Plan(BackendConnection& con, const std::string& sql) {
  Translation t = TranslateSql(sql, con.dialect());
  auto st = con.Prepare("EXPLAIN QUERY PLAN " + t.sql, sql);
  std::string plan;
  while (st->Step()) plan += std::get<std::string>(st->Column(3)) + "\n";
  st->Reset();
  return plan;
}

// Lists that show a few rows of a big table read them through an index in their order (no full
// scan of post or archivelist, no sort of every topic); searches by word start from the index.
TEST(TextSearch, DigestsAndSearchesUseIndexes) {
  SqliteBackend backend;
  std::unique_ptr<BackendConnection> con = backend.Open(":memory:");
  EnsureSchema(*con, backend.Migrations());
  const std::string digest =
      "select top 25 post.* from post inner join forum on post.forumname=forum.forumname where "
      "isnull([restrict],'')<>'private' and parentid is null order by ";
  const std::string live =
      "SELECT 0 as isarchive,(CASE WHEN parentid IS NULL THEN postid ELSE parentid END) AS id, "
      "username,  posttime As lastlytime, subject, post.forumname  From post inner join forum on "
      "post.forumname=forum.forumname where isnull([restrict],'')<>'private'  and ";
  const std::string archived =
      " Union  SELECT 1 as isarchive,(CASE WHEN parentid IS NULL THEN postid ELSE parentid END) "
      "AS id, username,  posttime AS lastlytime, subject, archive.archivename as forumname  FROM "
      "archivelist as post INNER JOIN  archive ON archive.archiveid = post.archiveid where ";
  const std::string words = " (subject like '%今天天%' or message like '%今天天%')";
  const std::vector<std::string> statements = {
      digest + "hits desc",
      digest + "post.replycount desc",
      digest + "lastreplyposttime desc",
      "SELECT top 10 username, postcount FROM register order by postcount desc",
      "SELECT top 10 register.username, jf FROM register   order by jf  desc",
      "select 0 as isarchive,postid as id,username,lastreplyposttime as lastlytime,subject,"
      "post.forumname from post inner join forum on post.forumname=forum.forumname  where "
      "parentid is null and  year(lastreplyposttime)=2024 and month(lastreplyposttime)=5 and "
      "day(lastreplyposttime)=9    and isnull([restrict],'')<>'private' order by "
      "lastreplyposttime desc",
      live + words + archived + words + " ORDER BY posttime DESC ",
      "select 0 as isarchive,username,subject,post.ForumName,posttime as lastlytime,case when "
      "parentid is null then postid else parentid end  as id from post inner join forum on "
      "post.forumname=forum.forumname where username='u' and isnull([restrict],'')<>'private' "
      "order by posttime desc",
  };
  for (const std::string& sql : statements) {
    const std::string plan = Plan(*con, sql);
    SCOPED_TRACE(sql + "\n" + plan);
    // "SCAN t USING INDEX i" reads an index in its order and stops at TOP; a bare scan reads all.
    for (const char* scan : {"SCAN post\n", "SCAN post ", "SCAN register\n", "SCAN archivelist\n",
                             "SCAN archivelist "}) {
      EXPECT_EQ(plan.find(scan), std::string::npos) << scan;
    }
    if (sql.starts_with("select top") || sql.starts_with("SELECT top")) {
      EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace cb
