// Substring search through the trigram index: the rows the LIKE finds, and the digests and
// searches read through indexes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/procedures.h"
#include "store/schema_migrate.h"
#include "store/sql_translate.h"
#include "store/sqlite/sqlite_backend.h"
#include "support/test_board.h"

namespace cb {
namespace {

class TextSearchBoard : public ::testing::Test {
 protected:
  test::TestBoard board;

  void Exec(const std::string& sql) { board.Exec(sql); }
  std::vector<std::string> Column(const std::string& sql) { return board.Column(sql); }

  // Every post whose subject or message matches, by the index and by a plain LIKE that the
  // translator leaves alone (the column inside isnull).
  void ExpectSameRows(const std::string& pattern) {
    SCOPED_TRACE(pattern);
    const std::string q = SqlQuote(pattern);
    for (const std::string table : {"post", "archivelist"}) {
      EXPECT_EQ(Column("select postid from " + table + " where subject like '" + q +
                       "' or message like '" + q + "' order by 1"),
                Column("select postid from " + table + " where isnull(subject,'') like '" + q +
                       "' or isnull(message,'') like '" + q + "' order by 1"))
          << table;
    }
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
    Exec("update post set subject='" + SqlQuote(subject) + "', message='" + SqlQuote(message) +
         "' where postid=" + std::to_string(id));
    board.AddArchivedPost(1, id, 0, "F", "ann", subject, message);
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
