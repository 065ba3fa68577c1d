// Editing and deleting posts by the rights of each post's own forum; counters against a recount.
#include "frame/throttle.h"
#include "pages/moderation_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;
using test::ModerationBoard;

// The moderation board with the edit pages' requests.
struct EditBoard : ModerationBoard {
  std::string Submit(int64_t post, const Actor& actor, const FormFields& changes = {}) {
    // The form names forum A: the rights are those of the post's own forum all the same.
    FormFields form = WithChanges({{"action", "submitedit"},
                                   {"forum", test::kForumA},
                                   {"Topic", std::to_string(post)},
                                   {"TopicSubject", "改过的主题"},
                                   {"Message", "改过的内容"}},
                                  changes);
    return Post(&Corkboard::SubmitEdit, "/posting.asp", form, actor);
  }
};
using SubmitEdit = test::Fixture<EditBoard>;

// The forum of the address is not the post's: the post's own forum is shown and sent. A reply
// with smileys off shows the box ticked.
TEST(EditPost, GoldenForms) {
  const auto form = [](const char* style, bool reply) {
    ModerationBoard b;
    b.host.Configure({{"BBSTYLE", style}});
    if (reply) b.host.SignIn("carol", "pw");
    const int64_t post = reply ? b.reply : b.topic;
    if (reply) b.board.Exec("update post set smiles=0 where postid=" + b.Id(post));
    b.host
        .Get("/posting.asp?Forum=技术讨论&Topic=" + b.Id(post) +
             "&TopicSubject=%3Cx%3E&action=editpost")
        .Cookie("UserName", "bob\"")
        .Cookie("Password", "pw");
    return b.host.Run(&Corkboard::EditPost);
  };
  EXPECT_GOLDEN("moderation/edit_topic_cbk", form("CBK", false));
  EXPECT_GOLDEN("moderation/edit_reply_club", form("CLUB", true));
}

TEST(EditPost, Refusals) {
  ModerationBoard b;
  b.AddTopic70000("灌水乐园", "大号的内容");
  // The queries are the golden file's cases; 5 is a topic of the private forum, which is the
  // post's own whatever forum the address names.
  test::ExpectGoldenCases("moderation/edit_form_refused", [&](const std::string& query) {
    return b.Get(&Corkboard::EditPost, "/posting.asp?action=editpost&" + query);
  });
}

// Each actor against own, other and other-forum posts; the rights come from the post's own forum.
// A deleted topic takes its replies; every counter agrees with a recount afterwards.
TEST(SubmitEditRights, PermissionTable) {
  enum Which { kOwnReply, kCarolsReply, kOwnTopic, kOtherForum, kSecretTopic };
  std::string pages;
  const auto check = [&](const char* name, Actor actor, Which which, bool deleting, bool done) {
    SCOPED_TRACE(name);
    EditBoard b;
    const int64_t ids[] = {b.own_reply, b.reply, b.topic, b.other, b.secret};
    const std::string post = b.Id(ids[which]);
    const std::string before = b.Posts();
    pages += GoldenCase(name, b.Submit(ids[which], actor, {{"DeletePost", deleting ? "on" : ""}}));
    if (!done) {
      EXPECT_EQ(b.Posts(), before);
    } else if (deleting) {
      EXPECT_EQ(b.Count("postid=" + post + " or parentid=" + post), 0);
      EXPECT_EQ(b.Count("1=1"), 5 - (which == kOwnTopic ? 3 : 1));
    } else {
      EXPECT_EQ(b.Column(ids[which], "message").Str(), "改过的内容");
    }
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  };
  check("guest", test::kGuest, kOwnReply, false, false);
  check("wrong password", {"bob", "nope"}, kOwnReply, false, false);
  check("guest deletes", test::kGuest, kOwnReply, true, false);
  check("author", test::kBob, kOwnReply, false, true);
  check("author deletes his reply", test::kBob, kOwnReply, true, true);
  check("author deletes his topic", test::kBob, kOwnTopic, true, true);
  check("name in other case", {"BOB", "pw"}, kOwnReply, false, false);
  check("another member", test::kBob, kCarolsReply, false, false);
  check("another member deletes", test::kBob, kCarolsReply, true, false);
  check("moderator of the forum", test::kModA, kCarolsReply, false, true);
  check("moderator deletes", test::kModA, kCarolsReply, true, true);
  check("moderator of another forum", test::kModA, kOtherForum, false, false);
  check("moderator of another forum deletes", test::kModA, kOtherForum, true, false);
  check("administrator", test::kAdmin, kOtherForum, false, true);
  check("administrator deletes", test::kAdmin, kOtherForum, true, true);
  check("private forum not entered", test::kBob, kSecretTopic, false, false);
  EXPECT_GOLDEN("moderation/submit_edit_permissions", pages);
}

TEST_F(SubmitEdit, PasswordGuessingIsHeldOff) {
  for (int i = 0; i < SignInGuard::kFailureLimit; ++i) Submit(own_reply, {"bob", "nope"});
  EXPECT_TRUE(Has(Submit(own_reply, test::kBob), "对不起，您不是本论坛的用户"));
  EXPECT_EQ(Column(own_reply, "message").Str(), "再回复");
}

TEST_F(SubmitEdit, Refusals) {
  const FormFields cases[] = {{{"Topic", "x"}},
                              {{"Topic", "4000"}},
                              {{"TopicSubject", " "}},
                              {{"TopicSubject", "新"}, {"Message", "  "}}};
  const std::string before = Posts();
  std::string pages;
  for (const FormFields& changes : cases) {
    pages += GoldenCase(changes.back().second, Submit(topic, test::kBob, changes));
    EXPECT_EQ(Posts(), before);
  }
  EXPECT_GOLDEN("moderation/submit_edit_refused", pages);
  // A session that entered the private forum may edit its author's post there.
  host.session().Set(test::kSecret, Variant(true));
  EXPECT_TRUE(Has(Submit(secret, test::kBob, {{"TopicSubject", "秘密"}}), "谢谢你编辑贴子"));
}

// Stored as sent, not trimmed; the editor's name in the note is kept as text; two edits of a topic
// rename the thread and leave two notes.
TEST_F(SubmitEdit, TwoEditsOfATopicRenameTheThread) {
  std::string out =
      Submit(topic, test::kBob, {{"TopicSubject", "新的主题"}, {"Message", "  第二版\r\n"}});
  out += Rows("select message from post where postid=" + Id(topic));
  host.clock().Advance(60);
  out += Submit(topic, test::kModA, {{"TopicSubject", "新的主题"}, {"Message", "第三版"}});
  EXPECT_GOLDEN("moderation/edited_twice", out + Rows("select postid,subject,message,edithistory "
                                                      "from post order by postid"));
  EXPECT_EQ(test::CounterDisagreements(board), "");
}

// Any rewrite of a subject would fail the edit; a reply's form sends the topic's subject field
// anyway: it renames nothing.
TEST_F(SubmitEdit, AReplyKeepsItsThreadAndAnUnchangedSubjectIsNotRewritten) {
  board.FailWhen("AFTER UPDATE OF subject", "post", "", "renamed");
  std::string out = Submit(topic, test::kBob, {{"TopicSubject", "你好"}});
  out += Submit(own_reply, test::kBob, {{"TopicSubject", "别的"}});
  EXPECT_GOLDEN("moderation/edited_unrenamed", out + Rows("select postid,subject,message,"
                                                          "edithistory from post order by postid"));
}

TEST(SubmitEditSmileys, AreOnlyEverTurnedOff) {
  // stored, box ticked, stored afterwards
  for (const auto& [stored, box, expected] :
       {std::tuple{1, "on", 0}, {1, "", 1}, {0, "", 0}, {0, "on", 0}}) {
    SCOPED_TRACE(std::to_string(stored) + box);
    EditBoard b;
    b.board.Exec("update post set smiles=" + std::to_string(stored) +
                 " where postid=" + b.Id(b.reply));
    b.Submit(b.reply, test::kCarol, {{"DisableSmilies", box}});
    EXPECT_EQ(b.Column(b.reply, "smiles").CBool(), expected == 1);
  }
}

TEST(DeletePost, IdentificationForm) {
  ModerationBoard b;
  EXPECT_GOLDEN(
      "moderation/delete_topic_form",
      b.Get(&Corkboard::DeletePost, "/posting.asp?action=deletepost&topic=" + b.Id(b.topic)));
}

TEST(DeletePost, OnlyModeratorsOfTheTopicsForumDelete) {
  std::string pages;
  const auto check = [&](const char* name, Actor actor, bool other_forum, bool reply,
                         bool deleted) {
    SCOPED_TRACE(name);
    ModerationBoard b;
    const int64_t post = other_forum ? b.other : reply ? b.reply : b.topic;
    const std::string before = b.Posts();
    pages += GoldenCase(name, b.Post(&Corkboard::DeletePost, "/posting.asp",
                                     {{"action", "deletepost"}, {"topic", b.Id(post)}}, actor));
    EXPECT_EQ(b.Count("postid=" + b.Id(post) + " or parentid=" + b.Id(post)),
              deleted ? 0 : (other_forum || reply ? 1 : 3));
    if (!deleted) {
      EXPECT_EQ(b.Posts(), before);
    }
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  };
  check("guest", test::kGuest, false, false, false);
  check("author", test::kBob, false, false, false);
  check("moderator of another forum", test::kModA, true, false, false);
  check("a reply's number", test::kModA, false, true, false);
  check("moderator", test::kModA, false, false, true);
  check("administrator", test::kAdmin, true, false, true);
  EXPECT_GOLDEN("moderation/delete_topic", pages);
}

}  // namespace
}  // namespace cb
