// The derived counters the database keeps: forum topic and reply counts and last post, a topic's
// reply count and last reply, a member's post count; after inserts and deletes of posts.
#include <gtest/gtest.h>

#include "store/connection.h"
#include "store/recordset.h"
#include "support/recount.h"
#include "support/test_board.h"

namespace cb {
namespace {

class CountersTest : public ::testing::Test {
 protected:
  test::TestBoard board;

  void SetUp() override {
    board.AddCatalogForum("c", "F");
    board.AddCatalogForum("c", "G");
    board.AddMember("ann", "pw");
    board.AddMember("ben", "pw");
  }

  // Posts at a given day of May 2001 so that "newest" is unambiguous.
  long PostAt(int day, const std::string& forum, const std::string& user, long parent = 0) {
    board.clock().Set(DateTime::FromParts(2001, 5, day, 12, 0, 0));
    return board.AddPost(forum, user, parent);
  }

  // "topics replies lastuser lastday" of a forum.
  std::string Forum(const std::string& name) {
    return Show(
        "select topiccount,replycount,lastpostusername,day(lastposttime) from forum where "
        "forumname='" +
        name + "'");
  }
  // "replies lastuser lastday" of a topic.
  std::string Topic(long id) {
    return Show(
        "select replycount,lastreplyusername,day(lastreplyposttime) from post where postid=" +
        std::to_string(id));
  }
  long Posts(const std::string& user) {
    return board.Scalar("select postcount from register where username='" + user + "'").CLng();
  }
  // The one row of a query, its fields separated by blanks.
  std::string Show(const std::string& sql) {
    return board.con().Execute(sql)->GetString(" ", "", "NULL");
  }
};

TEST_F(CountersTest, FollowInsertsAndDeletes) {
  const long t = PostAt(3, "F", "ann");
  EXPECT_EQ(Topic(t), "0 ann 3");  // a new topic stands for its own last reply
  EXPECT_EQ(Forum("F"), "1 0 ann 3");
  EXPECT_EQ(Forum("G"), "0 0 NULL NULL");
  PostAt(4, "F", "ben", t);
  const long r2 = PostAt(6, "F", "ann", t);
  EXPECT_EQ(Topic(t), "2 ann 6");
  EXPECT_EQ(Forum("F"), "1 2 ann 6");
  EXPECT_EQ(Posts("ann"), 2);
  EXPECT_EQ(Posts("ben"), 1);
  const long old = PostAt(1, "F", "ben", t);  // an older post (a copied one) is not the newest
  EXPECT_EQ(Topic(t), "3 ann 6");
  board.Exec("delete from post where postid=" + std::to_string(old));
  EXPECT_EQ(Topic(t), "2 ann 6");
  EXPECT_EQ(Posts("ben"), 1);
  const long other = PostAt(5, "F", "ben");
  // Deleting the newest falls back to the newest left.
  board.Exec("delete from post where postid=" + std::to_string(r2));
  EXPECT_EQ(Topic(t), "1 ben 4");
  EXPECT_EQ(Forum("F"), "2 1 ben 5");
  board.Exec("delete from post where postid=" + std::to_string(other));
  EXPECT_EQ(Forum("F"), "1 1 ben 4");
  board.Exec("delete from post where parentid=" + std::to_string(t));
  EXPECT_EQ(Topic(t), "0 ann 3");  // back to the topic itself
}

TEST_F(CountersTest, DeletingAThreadAtOnce) {
  long t = PostAt(3, "F", "ann");
  PostAt(4, "F", "ben", t);
  PostAt(5, "F", "ben", t);
  long keep = PostAt(2, "F", "ann");
  board.Exec("delete from post where postid=" + std::to_string(t) +
             " or parentid=" + std::to_string(t));
  EXPECT_EQ(Forum("F"), "1 0 ann 2");
  EXPECT_EQ(Posts("ann"), 1);
  EXPECT_EQ(Posts("ben"), 0);
  board.Exec("delete from post where postid=" + std::to_string(keep));
  EXPECT_EQ(Forum("F"), "0 0 ann 2");  // an empty forum keeps its last post, as maintenance does
}

TEST_F(CountersTest, CopyingATopicCountsOnlyTheCopiedReplies) {
  long t = PostAt(3, "F", "ann");
  PostAt(4, "F", "ben", t);
  // The thread-moving statements: the topic with its counters, then each reply.
  board.Exec(
      "insert into post (forumname,hits,usesign,status,subject,message,posttime,icon,username,"
      "edithistory,smiles,emailnotification,ip,lastreplyusername,lastreplyposttime,replycount) "
      " select 'G',hits,usesign,status,subject,message,posttime,icon,username,edithistory,"
      "smiles,emailnotification,ip,lastreplyusername,lastreplyposttime,replycount from post "
      "where postid=" +
      std::to_string(t));
  long copy = board.Scalar("select @@identity").CLng();
  EXPECT_EQ(Topic(copy), "0 ann 3");
  for (const std::string& reply :
       board.Column("select postid from post where parentid=" + std::to_string(t))) {
    board.Exec(
        "insert into post (forumname,subject,posttime,username,parentid) select 'G',subject,"
        "posttime,username," +
        std::to_string(copy) + " from post where postid=" + reply);
  }
  EXPECT_EQ(Topic(copy), "1 ben 4");
  EXPECT_EQ(Forum("G"), "1 1 ben 4");
  EXPECT_EQ(Posts("ben"), 2);
}

TEST_F(CountersTest, ForumsMatchWithoutCase) {
  PostAt(3, "f", "ANN");
  EXPECT_EQ(Forum("F"), "1 0 ANN 3");
  EXPECT_EQ(Posts("ann"), 1);
}

TEST_F(CountersTest, CountersAgreeWithTheMaintenanceRecount) {
  long a = PostAt(1, "F", "ann");
  long b = PostAt(2, "G", "ben");
  for (int i = 0; i < 6; ++i)
    PostAt(3 + i, i % 2 ? "F" : "G", i % 3 ? "ann" : "ben", i % 2 ? a : b);
  board.Exec("delete from post where postid=" + std::to_string(a + 3));
  EXPECT_EQ(test::CounterDisagreements(board), "");
}

}  // namespace
}  // namespace cb
