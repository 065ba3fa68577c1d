// The pages' SQL Server constructs run against the backend: results as SQL Server gives them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "frame/procedures.h"
#include "store/connection.h"
#include "store/postgres/pg_backend.h"
#include "store/recordset.h"
#include "store/sql_translate.h"
#include "store/sqlite/sqlite_backend.h"
#include "store/store_error.h"
#include "support/case_table.h"
#include "support/pg_board.h"
#include "support/test_board.h"

namespace cb {
namespace {

class DialectTest : public ::testing::Test {
 protected:
  test::TestBoard board;

  void SetUp() override {
    board.AddCatalogForum("c", "Public");
    board.AddRow("forum", {{"forumname", "Hidden"}, {"restrict", "private"}});
    // Members as a record set adds them, so that the store's defaults fill the rest.
    for (const char* name : {"alice", "Bob", "张三"}) {
      board.AddRow("register", {{"username", name},
                                {"password", name == std::string("alice") ? "Secret" : "pw"}});
    }
    board.AddRow("register", {{"username", "carol"}, {"email", "c@x"}});
  }
  // The number a query gives.
  long Number(const std::string& sql) { return board.Scalar(sql).CLng(); }
};

TEST_F(DialectTest, ConstructsGiveSqlServerResults) {
  board.clock().Set(DateTime::FromParts(2001, 5, 9, 8, 3, 7));
  long t1 = board.AddPost("Public", "alice");
  board.clock().Set(DateTime::FromParts(2001, 6, 1, 12, 0, 0));
  board.AddPost("Public", "Bob", t1);
  board.AddPost("Public", "Bob");
  board.Exec("update post set hits=null where postid=" + std::to_string(t1));
  test::CheckCaseTable("dialect.txt",
                       {{"scalar", [&](const std::vector<std::string>& a) {
                           std::string sql = a.at(0);
                           if (const size_t at = sql.find("{t1}"); at != sql.npos)
                             sql.replace(at, 4, std::to_string(t1));
                           const Variant v = board.Scalar(sql);
                           return std::vector<std::string>{v.IsNull() ? "NULL" : v.Str()};
                         }}});
  EXPECT_EQ(Number("select case when parentid is null then postid else parentid end from "
                   "post where parentid is not null"),
            t1);
}

TEST_F(DialectTest, UnpaddedDateTextsCompareAsDates) {
  board.AddRow("announce", {{"subject", "s"}, {"startdate", "2001-5-9"}, {"enddate", "2001-12-1"}});
  EXPECT_EQ(board.Scalar("select startdate from announce").CDate(),
            DateTime::FromParts(2001, 5, 9));
  // Text order would put "2001-10-1" before "2001-5-9" and "2001-12-1" before "2001-9-1".
  const std::pair<std::string, long> cases[] = {{"2001-5-9", 1},  {"2001-10-1", 1},
                                                {"2001-9-1", 1},  {"2001-5-8", 0},
                                                {"2001-12-2", 0}, {"2001/12/1", 1}};
  for (const auto& [today, found] : cases) {
    EXPECT_EQ(Number("select count(*) from announce where startdate<='" + today +
                     "' and EndDate>='" + today + "'"),
              found)
        << today;
  }
}

TEST_F(DialectTest, FlagsHoldZeroOrOneAndReadAsBooleans) {
  board.Exec("update register set canpost=-1 where username='alice'");
  board.Exec("update register set canpost='true' where username='bob'");
  board.Exec("update register set canpost=0 where username='carol'");
  EXPECT_EQ(Number("select count(*) from register where canpost=1"), 3);  // and 张三
  Variant v = board.Scalar("select canpost from register where username='alice'");
  EXPECT_EQ(v.type(), VType::kBoolean);
  EXPECT_TRUE(v.CBool());
  EXPECT_FALSE(board.Scalar("select canpost from register where username='carol'").CBool());
  // Through a record set: a host True of -1 is stored as 1.
  Recordset rs;
  rs.Open("select * from register where username='carol'", board.con(), adOpenStatic,
          adLockOptimistic);
  rs.Set("allowmassmail", Variant(true));
  rs.Set("emailview", Variant(int32_t(-1)));
  rs.Update();
  rs.Close();
  EXPECT_EQ(Number("select count(*) from register where allowmassmail=1 and emailview=1 and "
                   "username='carol'"),
            1);
}

// A record set stamps new rows by the data source's clock; a statement gets the column default,
// the system's local time in the stored form.
TEST_F(DialectTest, NewRowsAreStampedByTheClockOrTheLocalTime) {
  board.clock().Set(DateTime::FromParts(2002, 1, 2, 3, 4, 5));
  board.AddPost("Public", "alice");
  EXPECT_EQ(test::Rows(board, "select posttime,status,replycount from post"),
            "2002-01-02 03:04:05|open|0|\n");
  board.Exec(
      "Insert into PM (recipient,sender,subject,message) select username,'admin','s','m' from "
      "register");
  EXPECT_EQ(test::Rows(board, "select isnew,icon,usesign from pm where recipient='alice'"),
            "True|1|False|\n");
  const DateTime posttime = board.Scalar("select posttime from pm").CDate();
  EXPECT_LE(std::abs(DiffSeconds(SystemClock().Now(), posttime)), 2);
  EXPECT_EQ(Number("select datalength(posttime) from pm"), 19);  // "2002-01-02 03:04:05"
  EXPECT_TRUE(board.Scalar("select canpost from register where username='alice'").CBool());
  EXPECT_EQ(Number("select postcount from register where username='carol'"), 0);
}

// A broken rule fails its statement alone: the transaction goes on, as in SQL Server.
TEST_F(DialectTest, FavorPairIsUniqueAndAFailureLeavesTheTransactionGoing) {
  const std::string id = std::to_string(board.AddPost("Public", "alice"));
  const auto favor = [&](const char* name) {
    board.Exec(std::string("insert into favor (username,postid) values ('") + name + "'," + id +
               ")");
  };
  board.con().BeginTrans();
  favor("alice");
  EXPECT_THROW(favor("ALICE"), DatabaseError);
  ASSERT_EQ(board.con().Errors().size(), 1u);
  EXPECT_EQ(board.con().Errors()[0].number, err::kDatabase);
  EXPECT_EQ(board.con().Errors()[0].sql_state, "23000");
  favor("bob");
  board.con().CommitTrans();
  EXPECT_TRUE(board.con().Errors().empty());
  EXPECT_EQ(Number("select count(*) from favor"), 2);
}

TEST_F(DialectTest, FailingStatementCarriesCodeMessageAndStatement) {
  const std::string bad = "select nosuchcolumn from post";
  try {
    board.Exec(bad);
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.number(), err::kDatabase);
    EXPECT_EQ(e.source(), "Corkboard.Store");
    EXPECT_NE(e.description().find("nosuchcolumn"), std::string::npos);
    EXPECT_EQ(e.statement(), bad);
    EXPECT_NE(e.backend_code(), 0);
  }
  // An unsupported construct never reaches the database.
  EXPECT_THROW(board.Exec("delete from post where postid=1; delete from register"), DatabaseError);
  EXPECT_EQ(Number("select count(*) from register"), 4);
  board.AddPost("Public", "alice");
  board.Exec("set dateformat ymd");
  board.Exec("delete post where forumname='public'");
  EXPECT_EQ(Number("select count(*) from post"), 0);
}

TEST_F(DialectTest, HostileTextRoundTrips) {
  std::string big(300000, 'x');
  const std::vector<std::string> texts = {
      "it's", "'';--",        "a\\b\\\\",     "100%_[x]",     std::string("nul\0in", 6),
      big,    "简体中文测试", "繁體中文華語", "𠀀𪚥 emoji 😀", "Ｆｕｌｌ　ｗｉｄｔｈ",
      "",     " padded  ",    "\r\n\t",       "[restrict]",   "@@identity"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    // Through a record set...
    long id = board.AddRow("post", {{"forumname", "Public"}, {"subject", text}, {"message", text}})
                  .CLng();
    std::unique_ptr<Recordset> rs =
        board.con().Execute("select subject from post where postid=" + std::to_string(id));
    // PostgreSQL text cannot hold a NUL character: the store drops it.
    std::string stored = text;
    if (test::OnPostgres()) std::erase(stored, '\0');
    EXPECT_EQ(rs->Fields("subject").Str(), stored);
    // ... and as a literal, quotes doubled as the pages do.
    const std::string quoted = SqlQuote(text);
    board.Exec("update post set message='" + quoted + "' where postid=" + std::to_string(id));
    EXPECT_EQ(Number("select count(*) from post where message='" + quoted +
                     "' and postid=" + std::to_string(id)),
              1);
    EXPECT_EQ(board.Scalar("select message from post where postid=" + std::to_string(id)).Str(),
              stored);
  }
}

TEST(LikePatterns, AsSqlServerMatchesAsRegularExpressionsAndForTheIndex) {
  const auto escape = [](const std::string& e) { return e == "-" ? '\0' : e.at(0); };
  test::CheckCaseTable(
      "like_patterns.txt",
      {{"like",
        [&](const std::vector<std::string>& a) {
          return test::Yes(SqlServerLike(a.at(0), a.at(1), static_cast<char32_t>(escape(a.at(2)))));
        }},
       {"regex",
        [&](const std::vector<std::string>& a) {
          return std::vector<std::string>{LikeToRegex(a.at(0), escape(a.at(1)))};
        }},
       {"contained", [](const std::vector<std::string>& a) {
          return std::vector<std::string>{ContainedText(a.at(0)).value_or("none")};
        }}});
}

}  // namespace
}  // namespace cb
