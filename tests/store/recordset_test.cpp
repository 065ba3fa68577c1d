// Record sets as pages use them: paging at the edges, AddNew with @@identity, changes and deletes
// through a record set, field lookup, GetRows and GetString.
#include "store/recordset.h"

#include <gtest/gtest.h>

#include "store/backend.h"
#include "store/connection.h"
#include "store/sql_translate.h"
#include "store/sqlite/sqlite_backend.h"
#include "store/store_error.h"
#include "support/test_board.h"

namespace cb {
namespace {

class RecordsetTest : public ::testing::Test {
 protected:
  test::TestBoard board;

  // n topics in forum "F", topic i (from 1) with subject "t<i>" and last reply on day i.
  void AddTopics(int n) {
    board.AddCatalogForum("c", "F");
    for (int i = 1; i <= n; ++i) {
      board.clock().Set(DateTime::FromParts(2001, 1, 1).AddDays(i));
      board.AddRow("post",
                   {{"forumname", "F"}, {"username", "u"}, {"subject", "t" + std::to_string(i)}});
    }
  }

  static constexpr const char* kList =
      "select postid,subject from post where parentid is null and forumname='F' order by "
      "Lastreplyposttime desc";

  // Opens the list like the topic list page and reads the given page: "count pages: subjects".
  std::string ReadPage(int page_size, int page) {
    Recordset rs;
    rs.SetCacheSize(page_size);
    rs.Open(kList, board.con(), adOpenStatic, adLockReadOnly);
    std::string out = std::to_string(rs.RecordCount());
    if (rs.Eof()) return out + " 0:";
    rs.SetPageSize(page_size);
    out += " " + std::to_string(rs.PageCount()) + ":";
    rs.SetAbsolutePage(page);
    for (int i = 0; i < page_size && !rs.Eof(); ++i, rs.MoveNext())
      out += " " + rs("subject").Str();
    return out;
  }
};

// "count pages:" and the subjects of topics from..to (newest first).
std::string Read(int count, int pages, int from = 0, int to = 1) {
  std::string out = std::to_string(count) + " " + std::to_string(pages) + ":";
  for (int i = from; i >= to && from; --i) out += " t" + std::to_string(i);
  return out;
}

TEST_F(RecordsetTest, PagingAtTheEdges) {
  EXPECT_EQ(ReadPage(20, 1), "0 0:");
  AddTopics(45);
  const struct {
    int size, page;
    std::string read;
  } cases[] = {{20, 1, Read(45, 3, 45, 26)}, {20, 2, Read(45, 3, 25, 6)},
               {20, 3, Read(45, 3, 5, 1)},  // the short last page
               {20, 4, Read(45, 3)},        // beyond the last page
               {7, 7, Read(45, 7, 3, 1)},    {15, 3, Read(45, 3, 15, 1)},
               {45, 1, Read(45, 1, 45, 1)},  {46, 1, Read(45, 1, 45, 1)},
               {1, 45, Read(45, 45, 1, 1)}};
  for (const auto& c : cases)
    EXPECT_EQ(ReadPage(c.size, c.page), c.read) << c.size << " " << c.page;
}

TEST_F(RecordsetTest, APageReadsOneWindowAndAnInsertReadsNothing) {
  AddTopics(45);
  Recordset rs;
  rs.SetCacheSize(20);
  rs.Open(kList, board.con(), adOpenStatic, adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 45);
  rs.SetPageSize(20);
  rs.SetAbsolutePage(2);
  for (int i = 0; i < 20; ++i) rs.MoveNext();
  EXPECT_EQ(rs.RowsRead(), 20);
  Recordset add;
  add.Open("Select * from post where 1<>0", board.con(), adOpenStatic, adLockOptimistic);
  add.AddNew();
  add.Set("forumname", "F");
  add.Update();
  EXPECT_EQ(add.RowsRead(), 0);
}

TEST_F(RecordsetTest, AnEmptyResultHasNoCurrentRow) {
  board.AddCatalogForum("c", "F");
  Recordset rs;
  rs.Open(kList, board.con(), adOpenStatic, adLockReadOnly);
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.Bof());
  EXPECT_THROW(rs("subject"), ScriptError);
  EXPECT_THROW(rs.MoveNext(), ScriptError);
}

TEST_F(RecordsetTest, ReadingOnPastAPageAndStatePositions) {
  AddTopics(30);
  Recordset rs;
  rs.Open(kList, board.con(), adOpenStatic, adLockReadOnly);
  rs.SetPageSize(10);
  rs.SetAbsolutePage(3);
  EXPECT_EQ(rs.AbsolutePage(), 3);
  EXPECT_EQ(rs("subject").Str(), "t10");
  rs.MoveFirst();
  int n = 0;
  for (; !rs.Eof(); rs.MoveNext()) ++n;  // windows grow as a page reads on
  EXPECT_EQ(n, 30);
  EXPECT_EQ(rs.AbsolutePage(), -3);  // at EOF
  EXPECT_THROW(rs.SetAbsolutePage(0), ScriptError);
}

TEST_F(RecordsetTest, ForwardOnlyAndTopCounts) {
  AddTopics(5);
  std::unique_ptr<Recordset> rs = board.con().Execute(kList);
  EXPECT_EQ(rs->RecordCount(), -1);
  Recordset top;
  top.Open("select top 3 postid from post order by postid", board.con(), adOpenStatic,
           adLockReadOnly);
  EXPECT_EQ(top.RecordCount(), 3);
  top.SetPageSize(2);
  EXPECT_EQ(top.PageCount(), 2);
  top.SetAbsolutePage(2);
  EXPECT_EQ(top.Fields(0).CLng(), 3);
  top.MoveNext();
  EXPECT_TRUE(top.Eof());
}

TEST_F(RecordsetTest, AddNewThenIdentity) {
  board.AddCatalogForum("c", "F");
  Recordset rs;
  rs.Open("Select * from post where 1<>0", board.con(), adOpenStatic, adLockOptimistic);
  rs.AddNew();
  rs.Set("forumname", "F");
  rs.Set("username", "u");
  rs.Set("subject", "first");
  rs.Set("icon", int16_t(3));
  rs.Update();
  rs.Close();
  long first = board.Scalar("select @@identity").CLng();
  EXPECT_GT(first, 0);
  EXPECT_EQ(board.Scalar("select subject from post where postid=" + std::to_string(first)).Str(),
            "first");
  // Another connection's insert does not change this connection's identity.
  {
    Connection other;
    other.Open(board.connection_string());
    Recordset o;
    o.Open("select * from post where 1=0", other, adOpenStatic, adLockOptimistic);
    o.AddNew();
    o.Set("forumname", "F");
    o.Update();
    o.Close();
    EXPECT_EQ(other.Execute("select @@identity")->Fields(0).CLng(), first + 1);
  }
  EXPECT_EQ(board.Scalar("select @@identity").CLng(), first);
  // An insert into a table without an identity leaves none.
  board.Exec("insert into favor (username,postid) values ('u'," + std::to_string(first) + ")");
  EXPECT_TRUE(board.Scalar("select @@identity").IsNull());
  board.Exec(
      "insert into post (forumname,subject) select forumname,subject from post where postid=" +
      std::to_string(first));
  EXPECT_EQ(board.Scalar("select @@identity").CLng(), first + 2);
}

TEST_F(RecordsetTest, TheAddedRowIsCurrentWithItsDefaults) {
  board.AddCatalogForum("c", "F");
  Recordset rs;
  rs.Open("select * from post where 1=0", board.con(), adOpenStatic, adLockOptimistic);
  EXPECT_TRUE(rs.Eof());
  rs.AddNew();
  EXPECT_FALSE(rs.Eof());
  rs.Set("forumname", "F");
  rs.Set("usesign", true);
  rs.Update();
  EXPECT_EQ(rs("status").Str(), "open");
  EXPECT_EQ(rs("posttime").CDate(), board.clock().Now());
  EXPECT_EQ(rs("usesign").type(), VType::kBoolean);
  EXPECT_TRUE(rs("usesign").CBool());
  EXPECT_GT(rs("postid").CLng(), 0);
}

TEST_F(RecordsetTest, UpdateAndDeleteThroughARecordset) {
  AddTopics(3);
  Recordset rs;
  rs.Open("select * from post where forumname='F' order by postid", board.con(), adOpenStatic,
          adLockOptimistic);
  rs.Set("subject", "changed");
  rs.Set("posttime", "2001-2-3 4:5:6");  // texts are written as padded dates
  rs.Update();
  rs.MoveNext();
  rs.Delete();
  EXPECT_THROW(rs("subject"), ScriptError);  // the deleted row
  rs.MoveNext();
  rs.Set("hits", "7");
  rs.MoveNext();  // moving on writes the change, as the legacy layer does
  rs.Close();
  EXPECT_EQ(board.Column("select subject from post order by postid"),
            (std::vector<std::string>{"changed", "t3"}));
  EXPECT_EQ(board.Scalar("select count(*) from post where posttime='2001-02-03 04:05:06'").CLng(),
            1);
  EXPECT_EQ(board.Scalar("select hits from post where subject='t3'").CLng(), 7);
}

TEST_F(RecordsetTest, UpdatingARowDeletedMeanwhileFails) {
  AddTopics(1);
  Recordset rs;
  rs.Open("select * from post where subject='t1'", board.con(), adOpenStatic, adLockOptimistic);
  ASSERT_FALSE(rs.Eof());
  board.Exec("delete from post where subject='t1'");
  rs.Set("subject", "x");
  EXPECT_THROW(rs.Update(), DatabaseError);
  EXPECT_EQ(board.Scalar("select count(*) from post").CLng(), 0);
}

TEST_F(RecordsetTest, ReadOnlyAndJoinedRecordsetsRefuseChanges) {
  AddTopics(1);
  Recordset ro;
  ro.Open("select * from post", board.con(), adOpenStatic, adLockReadOnly);
  EXPECT_THROW(ro.Set("subject", "x"), ScriptError);
  EXPECT_THROW(ro.AddNew(), ScriptError);
  Recordset join;
  join.Open("select post.* from post inner join forum on post.forumname=forum.forumname",
            board.con(), adOpenStatic, adLockOptimistic);
  EXPECT_THROW(join.AddNew(), ScriptError);
  EXPECT_EQ(join("subject").Str(), "t1");
}

TEST_F(RecordsetTest, FieldsByNameWithoutCaseAndTheLaterDuplicateWins) {
  board.AddCatalogForum("c", "F");
  board.AddRow("register", {{"username", "u"}, {"icon", "face.gif"}});
  board.AddRow("post", {{"forumname", "F"}, {"username", "u"}, {"icon", 5}});
  std::unique_ptr<Recordset> rs = board.con().Execute(
      "Select post.*,Register.icon,post.icon as posticon from post left outer join Register on "
      "post.username=Register.username");
  EXPECT_EQ(rs->Fields("ICON").Str(), "face.gif");
  EXPECT_EQ(rs->Fields("PostIcon").CLng(), 5);
  EXPECT_EQ(rs->Fields("ForumName").Str(), "F");
  EXPECT_THROW(rs->Fields("nosuch"), ScriptError);
  EXPECT_EQ(rs->FieldName(rs->FieldCount() - 1), "posticon");
}

TEST_F(RecordsetTest, GetRowsAndGetString) {
  board.AddCatalogForum("c", "F");
  board.Exec("insert into subscibe (username,forumname) values ('u','F')");
  board.Exec("insert into subscibe (username,forumname) values ('u','G')");
  board.Exec("insert into subscibe (username,forumname) values ('v',null)");
  std::unique_ptr<Recordset> rs = board.con().Execute("select * from subscibe order by username");
  Array2D rows = rs->GetRows();
  ASSERT_EQ(rows.rows(), 2);  // columns
  ASSERT_EQ(rows.cols(), 3);  // records
  EXPECT_EQ(rows.at(1, 1).Str(), "G");
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->GetRows(), ScriptError);
  rs = board.con().Execute("select * from subscibe order by username");
  EXPECT_EQ(rs->GetString(",", ";", "-"), "u,F;u,G;v,-;");
}

TEST_F(RecordsetTest, ClosedObjectsRaise) {
  Recordset rs;
  EXPECT_EQ(rs.State(), adStateClosed);
  EXPECT_THROW(rs.Eof(), ScriptError);
  rs.Open("select * from forum", board.con(), adOpenStatic, adLockReadOnly);
  EXPECT_EQ(rs.State(), adStateOpen);
  board.con().Close();
  EXPECT_EQ(board.con().State(), adStateClosed);
  EXPECT_THROW(rs.RecordCount(), ScriptError);
  rs.Close();
  EXPECT_THROW(board.con().Execute("select 1"), ScriptError);
  Connection nowhere;
  EXPECT_THROW(nowhere.Open("Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=NoSuchBoard"),
               ScriptError);
  EXPECT_EQ(nowhere.State(), adStateClosed);
}

TEST_F(RecordsetTest, CloseRollsBackAnOpenTransaction) {
  board.AddCatalogForum("c", "F");
  board.con().BeginTrans();
  board.Exec("delete from forum");
  board.con().Close();
  board.con().Open(board.connection_string());
  EXPECT_EQ(board.Scalar("select count(*) from forum").CLng(), 1);
  board.con().BeginTrans();
  board.Exec("delete from forum");
  board.con().RollbackTrans();
  EXPECT_EQ(board.Scalar("select count(*) from forum").CLng(), 1);
  board.con().BeginTrans();
  board.Exec("delete from forum");
  board.con().CommitTrans();
  EXPECT_EQ(board.Scalar("select count(*) from forum").CLng(), 0);
}

TEST_F(RecordsetTest, CountsFollowWrites) {
  AddTopics(3);
  auto count = [&] {
    Recordset rs;
    rs.Open(kList, board.con(), adOpenStatic, adLockReadOnly);
    return rs.RecordCount();
  };
  EXPECT_EQ(count(), 3);
  EXPECT_EQ(count(), 3);
  board.Exec("delete from post where subject='t1'");
  EXPECT_EQ(count(), 2);
  {
    Connection other;  // a write on another connection is seen too
    other.Open(board.connection_string());
    other.Execute("delete from post where subject='t2'");
  }
  EXPECT_EQ(count(), 1);
}

// Many distinct statements: the prepared ones kept stay within their bound. (Long texts bound as
// parameters: dialect_test; the translation cache's bound: sql_translate_test.)
TEST_F(RecordsetTest, PreparedStatementsStayWithinTheirBound) {
  const std::string wide(1000, 'c');
  for (int i = 0; i < 1500; ++i)
    board.Exec("select postid as " + wide + std::to_string(i) + " from post");
  EXPECT_LE(board.con().backend().CachedStatementBytes(), kSqliteStatementCacheBytes);
  EXPECT_GT(board.con().backend().CachedStatementBytes(), kSqliteStatementCacheBytes / 2);
}

}  // namespace
}  // namespace cb
