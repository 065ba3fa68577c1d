// The translator writing PostgreSQL: the same statements as for SQLite, in PostgreSQL's terms
// (numbered $n parameters, typed numbers, NULL order, LIKE as a regular expression, output
// columns after UNION), and the LIKE patterns' regular expressions.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "store/postgres/pg_backend.h"
#include "store/sql_translate.h"
#include "store/store_error.h"

namespace cb {
namespace {

const PgDialect kPg;

std::string Params(const Translation& t) {
  std::string out;
  for (const SqlValue& v : t.params) {
    out += out.empty() ? "" : " ";
    if (const int64_t* i = std::get_if<int64_t>(&v)) out += std::to_string(*i);
    if (const double* d = std::get_if<double>(&v)) out += "d" + std::to_string(*d);
    if (const std::string* s = std::get_if<std::string>(&v)) out += "'" + *s + "'";
  }
  return out;
}

TEST(PgTranslate, WritesPostgresql) {
  struct Case {
    const char* in;
    const char* sql;
    const char* params;
  };
  const std::vector<Case> cases = {
      {"select top 10 * from post where forumname='a' order by lastreplyposttime desc",
       "select * from post where forumname=$1 order by lastreplyposttime desc NULLS LAST LIMIT 10",
       "'a'"},
      {"select isnull(hits,0)+1 from post where postid=3",
       "select coalesce(hits,$1::int8)+$2::int8 from post where postid=$3::int8", "0 1 3"},
      {"select * from post where jf>1.5", "select * from post where jf>$1::float8", "d1.500000"},
      {"select count(*) from Forum where isnull([restrict],'')<>'private'",
       "select count(*) from Forum where coalesce(\"restrict\",$1)<>$2", "'' 'private'"},
      {"select * from moderated order by [SignDate], forum desc",
       "select * from moderated order by \"signdate\" NULLS FIRST, forum desc NULLS LAST", ""},
      {"select datalength(message) as msglen, datepart(yy,posttime) from post",
       "select cb_datalength(message) as msglen, cb_year(posttime) from post", ""},
      {"select count(*) from register where username like '%a[bc]_'",
       "select count(*) from register where username ~* $1", "'^.*a[bc].$'"},
      {"select count(*) from register where username not like 'b\\%' escape '\\'",
       "select count(*) from register where username !~* $1", "'^b%$'"},
      {"delete post where postid=1", "delete from post where postid=$1::int8", "1"},
      {"select 1 as isarchive, posttime As lastlytime from post union select 1, posttime from "
       "archivelist order by posttime DESC",
       "select $1::int8 as isarchive, posttime As lastlytime from post union select $2::int8, "
       "posttime from archivelist order by 2 DESC NULLS LAST",
       "1 1"},
      // An ORDER BY that names an output column stays as written.
      {"select posttime as t from post union select posttime from archivelist order by t",
       "select posttime as t from post union select posttime from archivelist order by t NULLS "
       "FIRST",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    Translation t = TranslateSql(c.in, kPg);
    EXPECT_EQ(t.sql, c.sql);
    EXPECT_EQ(Params(t), c.params);
  }
}

// A shape made with a whole number is not reused for a real one: PostgreSQL types them apart.
TEST(PgTranslate, CachedShapesKeepNumberTypesApart) {
  auto whole = TranslateCached("select * from register where jf>2", kPg);
  auto real = TranslateCached("select * from register where jf>2.5", kPg);
  EXPECT_EQ(whole->sql, "select * from register where jf>$1::int8");
  EXPECT_EQ(real->sql, "select * from register where jf>$1::float8");
  auto like = TranslateCached("select * from register where username like 'x[_]%'", kPg);
  auto like2 = TranslateCached("select * from register where username like 'y.%'", kPg);
  EXPECT_EQ(Params(*like), "'^x[_].*$'");
  EXPECT_EQ(Params(*like2), "'^y\\..*$'");
}

TEST(PgTranslate, RefusesLikeWithoutALiteralPattern) {
  EXPECT_THROW(TranslateSql("select * from post where subject like username", kPg),
               DatabaseError);
}

TEST(PgTranslate, LikePatternsAsRegularExpressions) {
  struct Case {
    const char* pattern;
    char escape;
    const char* regex;
  };
  const std::vector<Case> cases = {
      {"b%", 0, "^b.*$"},
      {"%[^ab]_", 0, "^.*[^ab].$"},
      {"[a-c]x", 0, "^[a-c]x$"},
      {"a.b(c)*", 0, "^a\\.b\\(c\\)\\*$"},
      {"50[%]", 0, "^50[%]$"},
      {"[", 0, "^\\[$"},
      {"5\\%\\_\\[x]\\\\", '\\', "^5%_\\[x\\]\\\\$"},
      {"张%", 0, "^张.*$"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(LikeToRegex(c.pattern, c.escape), c.regex);
  }
}

}  // namespace
}  // namespace cb
