// The translator on its own: every SQL Server construct the pages use, literals left alone,
// and constructs without a faithful translation refused by name.
#include "store/sql_translate.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "store/sql_tokens.h"
#include "store/sqlite/sqlite_backend.h"
#include "store/store_error.h"

namespace cb {
namespace {

const SqliteDialect kSqlite;

std::string Show(const SqlValue& v) {
  if (const int64_t* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const double* d = std::get_if<double>(&v)) return "d" + std::to_string(*d);
  if (const std::string* s = std::get_if<std::string>(&v)) return "'" + *s + "'";
  return "NULL";
}

std::string Params(const Translation& t) {
  std::string out;
  for (const SqlValue& v : t.params) out += (out.empty() ? "" : " ") + Show(v);
  return out;
}

// Writes the expected texts with bare "?": numbers them in order, as the dialect does.
std::string Numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (char c : sql) out += c == '?' ? "?" + std::to_string(++n) : std::string(1, c);
  return out;
}

struct Case {
  const char* in;
  const char* sql;     // translated text
  const char* params;  // lifted literals, in order
};

TEST(SqlTranslate, RewritesTheConstructsThePagesUse) {
  const std::vector<Case> cases = {
      // TOP n becomes a row limit at the end of its select.
      {"select top 1 username from Register order by signdate desc",
       "select username from Register order by signdate desc LIMIT 1", ""},
      {"SELECT top 10 username, postcount FROM register order by postcount desc",
       "SELECT username, postcount FROM register order by postcount desc LIMIT 10", ""},
      {"select distinct top 3 catalog from forum", "select distinct catalog from forum LIMIT 3",
       ""},
      {"select * from post where postid in (select top 1 postid from post order by posttime "
       "desc)",
       "select * from post where postid in (select postid from post order by posttime desc "
       "LIMIT 1)",
       ""},
      // isnull() is ifnull(); "is null" is left alone.
      {"select * from post where isnull(parentid,0)=0 and parentid is null",
       "select * from post where ifnull(parentid,?)=? and parentid is null", "0 0"},
      // A text column's case rule stays with it through isnull().
      {"select email from register where allowmassmail=1 and isnull(email,'')<>''",
       "select email from register where allowmassmail=? and ifnull(email,?) COLLATE NOCASE<>?",
       "1 '' ''"},
      // datepart(yy|mm|dd, x) are year(x), month(x), day(x); GROUP BY keeps its text.
      {"select count(*) from post where datepart(yy,posttime)=2001 and datepart(mm,posttime)=5",
       "select count(*) from post where year(posttime)=? and month(posttime)=?", "2001 5"},
      {"select DATEPART(yy, posttime),count(*) from post GROUP BY DATEPART(dd, posttime)",
       "select year( posttime),count(*) from post GROUP BY day( posttime)", ""},
      {"select * from post where year(lastreplyposttime)=2001 and day(lastreplyposttime)=9",
       "select * from post where year(lastreplyposttime)=? and day(lastreplyposttime)=?", "2001 9"},
      {"select  datalength(message) as msglen from post",
       "select datalength(message) as msglen from post", ""},
      {"select * from register   where ascii(username)>122 order by username asc",
       "select * from register where ascii(username)>? order by username asc", "122"},
      // Square-bracket names are quoted names.
      {"Select * from Forum where [restrict]<>'private'",
       "Select * from Forum where \"restrict\"<>?", "'private'"},
      {"Select Catalog,ForumName from [Forum] order by Catalog",
       "Select Catalog,ForumName from \"Forum\" order by Catalog", ""},
      // DELETE without FROM.
      {"delete post where forumname='a'", "delete from post where forumname=?", "'a'"},
      {"delete from post where postid=3", "delete from post where postid=?", "3"},
      // Date texts next to date columns are zero-padded; other texts are not.
      {"select * from announce where startdate<='2001-5-9' and EndDate>='2001-5-9 8:3:7'",
       "select * from announce where startdate<=? and EndDate>=?",
       "'2001-05-09 00:00:00' '2001-05-09 08:03:07'"},
      {"select * from post where '2001/5/9' < post.posttime and subject='2001-5-9'",
       "select * from post where ? < post.posttime and subject=?",
       "'2001-05-09 00:00:00' '2001-5-9'"},
      {"select * from post where posttime between '2001-5-1' and '2001-5-31'",
       "select * from post where posttime between ? and ?",
       "'2001-05-01 00:00:00' '2001-05-31 00:00:00'"},
      {"update announce set startdate='2001-5-9', subject='2001-5-9' where id=1",
       "update announce set startdate=?, subject=? where id=?",
       "'2001-05-09 00:00:00' '2001-5-9' 1"},
      {"insert into announce (subject,startdate) values ('2001-5-9','2001-5-9')",
       "insert into announce (subject,startdate) values (?,?)", "'2001-5-9' '2001-05-09 00:00:00'"},
      // Literals are lifted unchanged: quotes, brackets, keywords and Chinese inside them.
      {"select * from post where subject='it''s [top] select isnull(x) from'",
       "select * from post where subject=?", "'it's [top] select isnull(x) from'"},
      {"select * from register where username like '%张三%' order by username",
       "select * from register where username like ? order by username", "'%张三%'"},
      {"insert into favor (username,postid) values (N'李四',12)",
       "insert into favor (username,postid) values (?,?)", "'李四' 12"},
      // ORDER BY keeps its numbers (a number there names a column).
      {"select username, postcount from register order by 2 desc",
       "select username, postcount from register order by 2 desc", ""},
      {"update register set canpost=-1 where username='a'",
       "update register set canpost=-? where username=?", "1 'a'"},
      {"Insert into PM (recipient,sender,subject,message) select distinct moderater,'a','b','c' "
       "from moderated",
       "Insert into PM (recipient,sender,subject,message) select distinct moderater,?,?,? from "
       "moderated",
       "'a' 'b' 'c'"},
      // Comments go, a trailing semicolon goes.
      {"select postid -- the id\nfrom post /* all */;", "select postid from post", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    Translation t = TranslateSql(c.in, kSqlite);
    EXPECT_EQ(t.sql, Numbered(c.sql));
    EXPECT_EQ(Params(t), c.params);
  }
}

TEST(SqlTranslate, RecognisesStatementKinds) {
  struct KindCase {
    const char* in;
    StatementKind kind;
  };
  const std::vector<KindCase> cases = {
      {"select @@identity", StatementKind::kIdentity},
      {"SELECT @@IDENTITY", StatementKind::kIdentity},
      {"set dateformat ymd", StatementKind::kNoOp},
      {"Update Post set hits=isnull(hits,0)+1 where postid=1", StatementKind::kUpdate},
      {"insert into subscibe (username,forumname) values ('a','b')", StatementKind::kInsert},
      {"delete post where forumname='x'", StatementKind::kDelete},
      {"select 1", StatementKind::kSelect},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(TranslateSql(c.in, kSqlite).kind, c.kind);
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
}

TEST(SqlTranslate, CountsPlainSelectsWithoutTheirSelectList) {
  struct CountCase {
    const char* in;
    const char* count;
    size_t first_param;
  };
  const std::vector<CountCase> cases = {
      {"select  datalength(message) as msglen,subject from post where parentid is null and "
       "forumname='F'   order by Lastreplyposttime desc",
       "SELECT count(*) from post where parentid is null and forumname=?1", 0},
      {"select 0 as isarchive,postid as id from post inner join forum on "
       "post.forumname=forum.forumname where year(lastreplyposttime)=2001 order by postid",
       "SELECT count(*) from post inner join forum on post.forumname=forum.forumname where "
       "year(lastreplyposttime)=?2",
       1},
      {"select distinct catalog from forum",
       "SELECT count(*) FROM (select distinct catalog from forum) AS cb_rows", 0},
      {"select count(*) from post", "SELECT count(*) FROM (select count(*) from post) AS cb_rows",
       0},
      {"select a from post union select b from forum order by 1",
       "SELECT count(*) FROM (select a from post union select b from forum) AS cb_rows", 0},
      {"select forumname, count(*) from post group by forumname",
       "SELECT count(*) FROM (select forumname, count(*) from post group by forumname) AS "
       "cb_rows",
       0},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.in);
    Translation t = TranslateSql(c.in, kSqlite);
    EXPECT_EQ(t.CountSql(), c.count);
    EXPECT_EQ(t.count_from == std::string::npos ? 0 : t.count_first_param, c.first_param);
  }
}

TEST(SqlTranslate, FindsTheTableOfSingleTableSelects) {
  struct TableCase {
    const char* in;
    const char* table;
    const char* ref;
  };
  const std::vector<TableCase> cases = {
      {"Select * from post where 1<>0", "post", "post"},
      {"select * from PM where 1=0", "pm", "PM"},
      {"Select post.* from post  where postid=3", "post", "post"},
      {"select * from register p where p.username='a'", "register", "p"},
      {"select * from [Forum] order by sequence", "forum", "\"Forum\""},
      {"select count(*) from post", "", ""},
      {"select distinct catalog from forum", "", ""},
      {"select * from post, forum", "", ""},
      {"select * from post inner join forum on 1=1", "", ""},
      {"select * from post where 1=0 union select * from post", "", ""},
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.in);
    Translation t = TranslateSql(c.in, kSqlite);
    EXPECT_EQ(t.table, c.table);
    if (*c.table) {
      EXPECT_EQ(t.table_ref, c.ref);
    }
  }
  Translation t = TranslateSql("select * from post where postid=1", kSqlite);
  EXPECT_EQ(t.BodyWithLocator(kSqlite),
            "select *, post.rowid AS cb_locator from post where postid=?1");
}

TEST(SqlTranslate, RefusesWhatItCannotTranslateFaithfully) {
  struct Refusal {
    const char* in;
    const char* construct;  // the error names it
  };
  const std::vector<Refusal> cases = {
      {"select top 10 percent * from post", "PERCENT"},
      {"select top (5) * from post", "TOP"},
      {"select top 5 with ties * from post order by hits", "WITH TIES"},
      {"select top 1 a from post union select b from forum", "UNION"},
      {"select len(subject) from post", "len"},
      {"select convert(datetime, posttime) from post", "convert"},
      {"select cast(posttime as datetime) from post", "cast"},
      {"select getdate()", "getdate"},
      {"select avg(hits) from post", "avg"},
      {"select datepart(hh, posttime) from post", "datepart(hh"},
      {"select subject + 'x' from post", "+ on text"},
      {"select 'a' + username from register", "+ on text"},
      {"select @@rowcount", "@@rowcount"},
      {"set nocount on", "SET"},
      {"delete from post; drop table post", "several statements"},
      {"select * from post where subject='open", "Unterminated string"},
      {"select * from [post", "Unterminated quoted name"},
      {"select (1", "parentheses"},
      {"exec sp_who", "exec"},
      {"select * from post where posttime > 'yesterday'", "Conversion failed"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.in);
    try {
      TranslateSql(c.in, kSqlite);
      ADD_FAILURE() << "translated";
    } catch (const DatabaseError& e) {
      EXPECT_NE(e.description().find(c.construct), std::string::npos) << e.description();
      EXPECT_EQ(e.statement(), c.in);
      EXPECT_EQ(e.source(), "Corkboard.Store");
    }
  }
}

TEST(SqlTranslate, AllowsPlusOnNumbers) {
  Translation t = TranslateSql(
      "select isnull(topiccount,0)+isnull(replycount,0) as postcount from Forum order by "
      "topiccount+replycount desc",
      kSqlite);
  EXPECT_EQ(t.sql,
            "select ifnull(topiccount,?1)+ifnull(replycount,?2) as postcount from Forum order by "
            "topiccount+replycount desc");
}

TEST(SqlTranslate, ShapesLeaveOutLiteralsAndBlanks) {
  struct ShapeCase {
    const char* in;
    const char* shape;
    const char* literals;  // values, "|" between
  };
  const std::vector<ShapeCase> cases = {
      {"select  *  from post /* c */ where postid=8", "select * from post where postid=0", "8"},
      {"where subject=N'it''s' and x=1.5e3", "where subject=N'' and x=0", "it's|1.5e3"},
      {"select [a 'b'], \"c\"\"d\" from t -- 'x'", "select [a 'b'], \"c\"\"d\" from t", ""},
      {"a<>'x';b!=2", "a<>'';b!=0", "x|2"},
  };
  for (const ShapeCase& c : cases) {
    std::vector<SqlLiteral> literals;
    EXPECT_EQ(SqlShape(c.in, &literals), c.shape) << c.in;
    std::string joined;
    for (const SqlLiteral& l : literals) joined += (joined.empty() ? "" : "|") + l.value;
    EXPECT_EQ(joined, c.literals) << c.in;
  }
}

// The cache keeps one translation per shape: a statement that differs from a cached one only in
// its literals translates exactly as it would uncached.
TEST(SqlTranslate, ACachedShapeTranslatesLikeTheStatementItself) {
  struct Pair {
    const char* first;
    const char* second;
  };
  const std::vector<Pair> cases = {
      {"select * from post where postid=7", "select  *  from post /* c */ where postid=8"},
      {"select * from post where postid=7", "select * from post where postid=7.5"},
      {"select * from post where subject='a;b'", "select * from post where subject='it''s'"},
      {"select * from post where subject=N'a'", "select * from post where subject=N'b'"},
      // Date texts are padded for each statement.
      {"select * from post where posttime>'2001-5-9'",
       "select * from post where posttime>'2002-1-2 3:04:05'"},
      {"insert into post (username,posttime) values ('a','2001-5-9')",
       "insert into post (username,posttime) values ('b','')"},
      // Literals written into the text are part of what is cached.
      {"select top 5 * from post where username='a'",
       "select top 10 * from post where "
       "username='b'"},
      {"select postid,subject from post order by 1", "select postid,subject from post order by 2"},
      {"select top 5 * from post order by 1", "select top 5 * from post order by 1"},
  };
  for (const Pair& c : cases) {
    SCOPED_TRACE(c.second);
    TranslateCached(c.first, kSqlite);
    auto cached = TranslateCached(c.second, kSqlite);
    Translation plain = TranslateSql(c.second, kSqlite);
    EXPECT_EQ(cached->original, c.second);
    EXPECT_EQ(cached->sql, plain.sql);
    EXPECT_EQ(Params(*cached), Params(plain));
    EXPECT_EQ(cached->top, plain.top);
    EXPECT_EQ(cached->CountSql(), plain.CountSql());
    EXPECT_EQ(cached->table, plain.table);
  }
  // One text, one translation object.
  auto a = TranslateCached("select * from forum", kSqlite);
  EXPECT_EQ(a.get(), TranslateCached("select * from forum", kSqlite).get());
}

TEST(SqlTranslate, ACachedShapeStillRefuses) {
  TranslateCached("select * from post where posttime>'2001-5-9'", kSqlite);
  EXPECT_THROW(TranslateCached("select * from post where posttime>'yesterday'", kSqlite),
               DatabaseError);
  // A semicolon inside a literal is text; outside it is a second statement.
  TranslateCached("select * from post where subject='x; delete from post'", kSqlite);
  try {
    TranslateCached("select * from post where subject='x'; delete from post", kSqlite);
    ADD_FAILURE() << "translated";
  } catch (const DatabaseError& e) {
    EXPECT_NE(e.description().find("several statements"), std::string::npos);
  }
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
