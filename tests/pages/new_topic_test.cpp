// New topics: the form in both layouts, each refusal of the submission in its order, the flood
// guard on the injected clock, the stored row and the counters the store keeps, and a failing
// insert that must leave nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "pages/posting_fixture.h"
#include "support/golden.h"

namespace cb {
namespace {

using test::FormFields;
using test::Has;
using test::kForum;

const FormFields kTopicForm = {
    {"action", "posttopic"},  {"forum", kForum}, {"UserName", "bob"}, {"Password", "pw"},
    {"TopicSubject", "标题"}, {"MsgIcon", "3"},  {"Message", "正文"}, {"Signature", "on"}};

struct NewTopicTest : test::PostingTest {
  std::string Post(const FormFields& changes = {}) {
    host.PostForm("/posting.asp", test::WithChanges(kTopicForm, changes));
    return host.Run(&Corkboard::posttopic);
  }
};

TEST_F(NewTopicTest, FormGoldenPages) {
  struct Case {
    const char* golden;
    const char* style;
    bool signed_in;
  };
  const Case cases[] = {
      {"posting/new_topic_guest_cbk", "CBK", false},
      {"posting/new_topic_member_club", "CLUB", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    host.Configure({{"BBSTYLE", c.style}});
    if (c.signed_in) host.session().Set("Login", Variant(int16_t{1}));
    host.Get(std::string("/posting.asp?action=newtopic&forum=") + kForum)
        .Cookie("UserName", "bob")
        .Cookie("Password", "p\"w");
    EXPECT_GOLDEN(c.golden, host.Run(&Corkboard::NewTopic));
  }
}

TEST_F(NewTopicTest, FormRefusals) {
  test::ExpectGoldenCases("posting/new_topic_form_refused", [&](const std::string& forum) {
    return host.Get("/posting.asp?action=newtopic&forum=" + forum).Run(&Corkboard::NewTopic);
  });
}

// Each case breaks its own rule and every later one, so only the order picks the message.
TEST_F(NewTopicTest, RefusalsInOrder) {
  ExpectRefusals("posting/new_topic_refused",
                 {
                     {"refused address", {{"UserName", ""}, {"Message", ""}}, true, true},
                     {"no name", {{"UserName", "  "}, {"Message", ""}}, false, true},
                     {"no password", {{"Password", ""}, {"TopicSubject", ""}}, false, true},
                     {"blank subject", {{"TopicSubject", "   "}}, false, true},
                     {"blank body", {{"Message", " "}, {"UserName", "nobody"}}, false, true},
                     {"flood", {{"UserName", "nobody"}}, false, true},
                     {"unknown member", {{"UserName", "nobody"}}, false, false},
                     {"wrong password", {{"Password", "bad"}}, false, false},
                     {"barred", {{"UserName", "barred"}}, false, false},
                     {"no icon", {{"MsgIcon", ""}, {"UserName", ""}}, true, false},
                     {"icon out of range", {{"MsgIcon", "40000"}}, false, false},
                 },
                 kTopicForm, &Corkboard::posttopic);
}

// A submission that passes the guard and is then refused still restarts the interval.
TEST_F(NewTopicTest, RefusedMemberRestartsTheInterval) {
  Post({{"UserName", "nobody"}});
  host.clock().Advance(10);
  EXPECT_TRUE(Has(Post(), "论坛开启了重复递交检查功能"));
}

TEST_F(NewTopicTest, StoredRow) {
  struct Case {
    FormFields changes;
    int smiles, usesign, notify;
  };
  const Case cases[] = {
      {{}, 1, 1, 0},
      {{{"DisableSmilies", "on"}, {"EMailNotification", "on"}, {"Signature", ""}}, 0, 0, 1},
      {{{"DisableSmilies", "yes"}, {"Signature", "ON"}}, 1, 0, 0},
  };
  int64_t expected_rows = 0;
  for (const Case& c : cases) {
    host.clock().Advance(60);
    const std::string page = Post(c.changes);
    ASSERT_TRUE(Has(page, "bob,谢谢您发表新主题")) << page;
    EXPECT_TRUE(Has(page, "URL='list.asp?groupname=%B9%E0%CB%AE%C0%D6%D4%B0'"));
    ASSERT_EQ(Posts(), ++expected_rows);
    auto column = [&](const char* name) {
      return board.Scalar("select " + std::string(name) +
                          " from post where postid=" + std::to_string(expected_rows));
    };
    EXPECT_EQ(column("smiles").CBool(), c.smiles == 1);
    EXPECT_EQ(column("usesign").CBool(), c.usesign == 1);
    EXPECT_EQ(column("emailnotification").CBool(), c.notify == 1);
    EXPECT_EQ(column("icon").CLng(), 3);
    EXPECT_EQ(column("ip").Str(), "127.0.0.1");
    EXPECT_EQ(column("subject").Str(), "标题");
    EXPECT_TRUE(column("parentid").IsNull());
  }
}

TEST_F(NewTopicTest, TrimsAndKeepsMarkupAsTyped) {
  Post({{"UserName", "  bob "},
        {"TopicSubject", "  <b>粗</b>  "},
        {"Message", " [b]x[/b]<script> "}});
  EXPECT_EQ(board.Scalar("select username from post").Str(), "bob");
  EXPECT_EQ(board.Scalar("select subject from post").Str(), "<b>粗</b>");
  EXPECT_EQ(board.Scalar("select message from post").Str(), "[b]x[/b]<script>");
}

TEST_F(NewTopicTest, SignedInSessionWinsOverTheForm) {
  host.SignIn("bob", "pw");
  const std::string page = Post({{"UserName", "barred"}, {"Password", "x"}});
  EXPECT_TRUE(Has(page, "bob,谢谢您发表新主题"));
  EXPECT_EQ(board.Scalar("select username from post").Str(), "bob");
}

TEST_F(NewTopicTest, FloodGuardCountsFromTheLastAcceptedPost) {
  struct Step {
    int advance;  // seconds since the previous step
    bool accepted;
  };
  // Refused at 20 s; the refusal does not move the reference, so 21 s after the first succeeds.
  const Step steps[] = {{0, true}, {20, false}, {1, true}, {5, false}, {16, true}};
  int64_t rows = 0;
  for (const Step& s : steps) {
    host.clock().Advance(s.advance);
    const std::string page = Post();
    EXPECT_EQ(Has(page, "论坛开启了重复递交检查功能"), !s.accepted) << s.advance;
    if (s.accepted) ++rows;
    EXPECT_EQ(Posts(), rows);
  }
}

TEST_F(NewTopicTest, SubmitTimeThatIsNotADateLetsThePostThrough) {
  host.session().Set("SubmitTime", Variant("soon"));
  EXPECT_TRUE(Has(Post(), "谢谢您发表新主题"));
  EXPECT_EQ(host.session().Get("SubmitTime").CDate(), host.clock().Now());
}

TEST_F(NewTopicTest, CountersFollowTheNewTopic) {
  Post();
  EXPECT_EQ(board.Scalar("select topiccount from forum where forumname='灌水乐园'").CLng(), 1);
  EXPECT_EQ(board.Scalar("select lastpostusername from forum where forumname='灌水乐园'").Str(),
            "bob");
  EXPECT_EQ(board.Scalar("select postcount from register where username='bob'").CLng(), 1);
  EXPECT_EQ(board.Scalar("select lastreplyposttime from post").CDate(), host.clock().Now());
  EXPECT_EQ(board.Scalar("select lastreplyusername from post").Str(), "bob");
}

TEST_F(NewTopicTest, FailingInsertLeavesNoRowAndNoCounter) {
  RefuseInsertsWhere("new.subject = 'boom'");
  const std::string page = Post({{"TopicSubject", "boom"}});
  EXPECT_TRUE(Has(page, "错误号：")) << page;
  EXPECT_TRUE(Has(page, "refused by test"));
  EXPECT_EQ(Posts(), 0);
  EXPECT_EQ(board.Scalar("select topiccount from forum where forumname='灌水乐园'").CLng(), 0);
  EXPECT_TRUE(
      board.Scalar("select lastpostusername from forum where forumname='灌水乐园'").IsNull());
  EXPECT_EQ(board.Scalar("select postcount from register where username='bob'").CLng(), 0);
}

TEST_F(NewTopicTest, ForumFromTheFormIsShownAsText) {
  board.AddCatalogForum("休闲", "<script>alert(1)</script>");
  const std::string page = Post({{"forum", "<script>alert(1)</script>"}});
  EXPECT_GOLDEN("posting/new_topic_forum_text", page);
  EXPECT_FALSE(Has(page, "<script>alert"));
}

}  // namespace
}  // namespace cb
