// New topics: the form, the refusals in their order, the flood guard and what is stored.
#include "pages/posting_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kForum;

const FormFields kTopicForm = {
    {"action", "posttopic"},  {"forum", kForum}, {"UserName", "bob"}, {"Password", "pw"},
    {"TopicSubject", "标题"}, {"MsgIcon", "3"},  {"Message", "正文"}, {"Signature", "on"}};

struct NewTopicTest : test::PostingTest {
  std::string Post(const FormFields& changes = {}) {
    host.PostForm("/posting.asp", WithChanges(kTopicForm, changes));
    return host.Run(&Corkboard::posttopic);
  }
  // The page, then the newest post, the forum's and bob's counters and the session's submission
  // time.
  std::string Stored(const std::string& page) {
    return page + "\n" +
           test::Rows(board,
                      "select username,subject,message,smiles,usesign,emailnotification,icon,ip,"
                      "parentid,lastreplyusername,lastreplyposttime from post where postid=(select "
                      "max(postid) from post)") +
           test::Rows(board, "select topiccount,lastpostusername from forum where forumname='" +
                                 std::string(kForum) + "'") +
           test::Rows(board, "select postcount from register where username='bob'") +
           "SubmitTime " + host.session().Get("SubmitTime").Str() + "\n";
  }
};

TEST_F(NewTopicTest, FormGoldenPages) {
  const auto form = [&](const char* style) {
    host.Configure({{"BBSTYLE", style}});
    return host.Get(std::string("/posting.asp?action=newtopic&forum=") + kForum)
        .Cookie("UserName", "bob")
        .Cookie("Password", "p\"w")
        .Run(&Corkboard::NewTopic);
  };
  EXPECT_GOLDEN("posting/new_topic_guest_cbk", form("CBK"));
  host.session().Set("Login", Variant(int16_t{1}));
  EXPECT_GOLDEN("posting/new_topic_member_club", form("CLUB"));
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

// What a topic stores: the row (ticked boxes, trimmed fields, markup as typed), the counters the
// store keeps and the session's submission time; a signed-in session's name wins over the form's.
TEST_F(NewTopicTest, StoredRowAndCounters) {
  std::string out;
  const auto store = [&](const char* name, const FormFields& changes, bool signed_in = false) {
    host.clock().Advance(60);
    if (signed_in) host.SignIn("bob", "pw");
    // A submission time that is not a date lets the post through.
    host.session().Set("SubmitTime", Variant("soon"));
    out += GoldenCase(name, Stored(Post(changes)));
  };
  store("the form", {});
  store("boxes ticked", {{"DisableSmilies", "on"}, {"EMailNotification", "on"}, {"Signature", ""}});
  store("boxes with other values", {{"DisableSmilies", "yes"}, {"Signature", "ON"}});
  store("trimmed, markup as typed", {{"UserName", "  bob "},
                                     {"TopicSubject", "  <b>粗</b>  "},
                                     {"Message", " [b]x[/b]<script> "}});
  store("signed in", {{"UserName", "barred"}, {"Password", "x"}}, true);
  EXPECT_GOLDEN("posting/new_topic_stored", out);
}

TEST_F(NewTopicTest, FailingInsertLeavesNoRowAndNoCounter) {
  RefuseInsertsWhere("new.subject = 'boom'");
  EXPECT_GOLDEN("posting/new_topic_failed",
                Stored(WithoutErrorText(Post({{"TopicSubject", "boom"}}))));
}

// Refused at 20 s; the refusal does not move the reference, so 21 s after the first succeeds. A
// submission that passes the guard and is then refused still restarts the interval.
TEST_F(NewTopicTest, FloodGuardCountsFromTheLastAcceptedPost) {
  int64_t rows = 0;
  // seconds since the previous step, who posts, whether the post is stored
  for (const auto& [advance, user, accepted] : {std::tuple{0, "bob", true},
                                                {20, "bob", false},
                                                {1, "bob", true},
                                                {5, "bob", false},
                                                {16, "bob", true},
                                                {60, "nobody", false},
                                                {10, "bob", false}}) {
    host.clock().Advance(advance);
    const std::string page = Post({{"UserName", user}});
    EXPECT_EQ(Has(page, "论坛开启了重复递交检查功能"), !accepted && *user == 'b') << advance;
    if (accepted) ++rows;
    EXPECT_EQ(Posts(), rows);
  }
}

TEST_F(NewTopicTest, ForumFromTheFormIsShownAsText) {
  board.AddCatalogForum("休闲", "<script>alert(1)</script>");
  EXPECT_GOLDEN("posting/new_topic_forum_text", Post({{"forum", "<script>alert(1)</script>"}}));
}

}  // namespace
}  // namespace cb
