// edit.asp: the thread as the editor sees it, pruning by date and by member with the counts that
// remain, deleting and renaming topics, and saving or deleting one message.
#include "admin/panel_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kBoss;
using test::kMod;
using test::kOwnForum;

struct EditPage : test::Fixture<test::PanelBoard> {
  std::string Submit(FormFields fields, const test::Actor& who = kBoss) {
    return Post(&Admin::Edit, "/admin/edit.asp", std::move(fields), &who);
  }
  std::string Ask(const std::string& query, const test::Actor& who = kBoss) {
    SignedIn(who);
    return Get(&Admin::Edit, "/admin/edit.asp?" + query);
  }
  long Posts() { return Count("select count(*) from post"); }
};

TEST_F(EditPage, ThreadShowsEveryMessageAsText) {
  EXPECT_GOLDEN("admin/edit_tree", Ask("action=GetEditthreads&Topic=" + Id(own_topic), kMod));
  // The golden file's cases are the queries: 2 is a reply.
  test::ExpectGoldenCases("admin/edit_tree_refused", [&](const std::string& q) { return Ask(q); });
}

TEST_F(EditPage, PruneByDateListsTheWindowAndDeletesOnlyTheTicked) {
  const DateTime now = host.clock().Now();
  const int64_t recent = board.AddTopic(kOwnForum, "joe", "近", "", now.AddDays(-59));
  board.AddReply(recent, "mod", "Re", "", now.AddDays(-1));
  board.AddTopic(kOwnForum, "joe", "远", "", now.AddDays(-61));  // outside the window: no tick
  EXPECT_GOLDEN("admin/prune_by_date", Ask("action=PrunebyDate&ForumName=技术&DaysPrune=60"));

  const long before = Posts();
  std::string pages =
      GoldenCase("ticked", Submit({{"action", "SubmitPrune"}, {"Delete", Id(recent)}}));
  EXPECT_EQ(Posts(), before - 2);  // the topic and its reply; the unticked stay
  EXPECT_EQ(Rows("select topiccount,replycount from forum where forumname='技术'"), "2|1|\n");
  EXPECT_EQ(CounterMismatch(), "");
  pages += GoldenCase("not a number", Submit({{"action", "SubmitPrune"}, {"Delete", "1 or 1=1"}}));
  EXPECT_GOLDEN("admin/prune_submitted", pages);
  EXPECT_EQ(Posts(), before - 2);
}

TEST_F(EditPage, PruneByMemberFindsNamesAndListsTheirTopics) {
  board.AddTopic(kOwnForum, "mod", "版主的话题");
  std::string pages;
  for (const char* name : {"zz", "", "O"}) {
    FormFields form = {{"action", "EditFunction"}, {"EditFunction", "PruneUser"}};
    if (*name) form.emplace_back("DeleteName", name);
    pages += GoldenCase(name, Submit(form));
  }
  pages += GoldenCase("joe's topics", Ask("action=PruneByUser&ForumName=技术&MatchUser=joe"));
  EXPECT_GOLDEN("admin/prune_by_member", pages);
}

TEST_F(EditPage, RenamingATopicRenamesItsReplies) {
  Submit({{"action", "submitEditSubject"}, {"topic", Id(own_topic)}, {"NewSubject", "新'题"}});
  EXPECT_EQ(Count("select count(*) from post where subject='新''题'"), 2);
  EXPECT_EQ(Scalar("select subject from post where postid=" + Id(other_topic)).Str(), "天气");
}

TEST_F(EditPage, DeletingATopicTakesItsRepliesAReplyGoesAlone) {
  const int64_t second = board.AddReply(own_topic, "joe", "Re2");
  Submit({{"action", "DoMessageEdit"},
          {"MessageNumber", Id(own_reply)},
          {"MessageText", "x"},
          {"DeleteMessage", "yes"}});
  EXPECT_EQ(Count("select count(*) from post where parentid=" + Id(own_topic)), 1);
  EXPECT_EQ(Scalar("select lastreplyusername from post where postid=" + Id(own_topic)).Str(),
            "joe");
  Submit({{"action", "doDeleteThread"}, {"topic", Id(own_topic)}});
  EXPECT_EQ(
      Count("select count(*) from post where postid in (" + Id(own_topic) + "," + Id(second) + ")"),
      0);
  EXPECT_EQ(Posts(), 2);
  EXPECT_EQ(CounterMismatch(), "");
}

TEST_F(EditPage, EachEditAddsOneNoteAfterTheEarlierOnes) {
  const FormFields edit = {{"action", "DoMessageEdit"}, {"MessageNumber", Id(own_reply)}};
  std::string pages = GoldenCase("edited", Submit(WithChanges(edit, {{"MessageText", "第一次"}})));
  Submit(WithChanges(edit, {{"MessageText", "第二次"}}), kMod);
  const std::string note = "编辑过(编辑时间2024-05-09 <FONT COLOR=#800080>10:20:30</font>)]<br>";
  EXPECT_EQ(Rows("select message,edithistory from post where postid=" + Id(own_reply)),
            "第二次|[这消息被boss" + note + "[这消息被mod" + note + "|\n");
  for (const FormFields& changes :
       {FormFields{{"MessageNumber", "x"}, {"MessageText", "a"}}, FormFields{{"MessageText", "  "}},
        FormFields{{"MessageNumber", "999"}, {"MessageText", "a"}}}) {
    pages += GoldenCase(changes.front().second, Submit(WithChanges(edit, changes)));
  }
  EXPECT_GOLDEN("admin/message_edits", pages);
}

}  // namespace
}  // namespace cb
