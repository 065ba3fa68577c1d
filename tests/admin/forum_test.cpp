// forum.asp: the summary as the administrator sees it, the display order, adding a forum with its
// moderator, renaming and deleting a forum table by table, and moderators coming and going.
#include "admin/panel_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kBoss;
using test::kOtherForum;
using test::kOwnForum;

struct ForumPage : ::testing::Test {
  test::PanelBoard b;

  std::string Submit(FormFields fields) {
    return b.Post(&Admin::Forum, "/admin/forum.asp", std::move(fields), &kBoss);
  }
  // The edit form of a forum as it is sent back unchanged, plus changes.
  FormFields EditForm(const std::string& forum, const FormFields& changes) {
    return test::WithChanges(
        test::FieldsOf("action=submitedit&oldforumname=" + forum + "&forumname=" + forum +
                           "&catalog=电脑&descript=说明&TopicRestrict=allreg&ReplyRestrict=allreg",
                       "&"),
        changes);
  }
  long Rows(const std::string& table, const std::string& column, const std::string& value) {
    return b.Count("select count(*) from " + table + " where " + column + "='" + value + "'");
  }
  std::string Menu() { return b.host.application().Get("ForumAndArchiveList").Str(); }
  // A member's status, "-" for none.
  std::string Status(const char* member) {
    return b.Rows(std::string("select isnull(status,'-') from register where username='") + member +
                  "'");
  }
};

TEST_F(ForumPage, SummaryKeepsNamesAsText) {
  b.board.AddCatalogForum("<i>类</i>", "\"引号\"<b>版</b>&amp;", {.sequence = 3});
  EXPECT_GOLDEN("admin/forum_summary", Submit({{"action", "login"}}));
  EXPECT_EQ(b.host.session().Get("UserNamecp").Str(), "boss");
  EXPECT_EQ(b.host.session().Get("Status").Str(), "administrator");
}

TEST_F(ForumPage, DisplayOrderIsWrittenOnlyWhenEveryValueIsAWholeNumber) {
  b.host.application().Set("ForumAndArchiveList", Variant("cached"));
  const std::string sequences = "select forumname,sequence from forum order by sequence desc";
  Submit(
      test::FieldsOf("forumname=技术&forumname=闲聊&action=setforums&sequence=5&sequence=4", "&"));
  EXPECT_EQ(b.Rows(sequences), "技术|5|\n闲聊|4|\n");
  EXPECT_EQ(Menu(), "");
  b.host.application().Set("ForumAndArchiveList", Variant("cached"));
  EXPECT_GOLDEN("admin/forum_order_refused",
                Submit(test::FieldsOf(
                    "forumname=技术&forumname=闲聊&action=setforums&sequence=1&sequence=x", "&")));
  EXPECT_EQ(b.Rows(sequences), "技术|5|\n闲聊|4|\n");
  EXPECT_EQ(Menu(), "cached");
}

TEST_F(ForumPage, AddsAForumWithItsModerator) {
  // The golden file's cases are the forms sent, fields separated by "&".
  test::ExpectGoldenCases("admin/forum_added", [&](const std::string& form) {
    b.host.application().Set("ForumAndArchiveList", Variant("cached"));
    const std::string page = Submit(test::FieldsOf(form, "&"));
    return page + "\nmenu emptied: " + test::Yes(Menu().empty())[0];
  });
  EXPECT_EQ(b.Rows("select forumname,catalog,descript,[restrict],forumpassword,sequence,"
                   "forummaster from forum where sequence>2 order by sequence"),
            "新'版|新类|<b>说明</b>|all&none||3|joe|\n私|x||private|k|4|诚征版主|\n");
  EXPECT_EQ(b.Rows("select forum,moderater from moderated where forum<>'技术'"), "新'版|joe|\n");
  EXPECT_EQ(Status("joe"), "Moderater|\n");
}

TEST_F(ForumPage, RenameMovesEveryRowThatNamesTheForum) {
  b.board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
  b.board.AddArchivedPost(b.board.AddArchive("旧帖"), 900, 0, kOwnForum, "joe", "旧");
  b.host.application().Set("ForumAndArchiveList", Variant("cached"));
  EXPECT_GOLDEN("admin/forum_renamed",
                Submit(EditForm(kOwnForum, {{"forumname", "技术区"}, {"moderater", "joe"}})));
  const std::pair<const char*, const char*> columns[] = {
      {"forum", "forumname"},    {"post", "forumname"},       {"moderated", "forum"},
      {"subscibe", "forumname"}, {"announceto", "forumname"}, {"archivelist", "forumname"},
  };
  const long expected_new[] = {1, 2, 2, 1, 1, 1};
  for (size_t i = 0; i < std::size(columns); ++i) {
    const auto& [table, column] = columns[i];
    EXPECT_EQ(Rows(table, column, kOwnForum), 0) << table;
    EXPECT_EQ(Rows(table, column, "技术区"), expected_new[i]) << table;
  }
  EXPECT_EQ(b.Rows("select topiccount,[restrict] from forum where forumname='技术区'"),
            "1|allreg&allreg|\n");
  // The moderators are listed in no fixed order.
  const std::string master =
      b.Scalar("select forummaster from forum where forumname='技术区'").Str();
  EXPECT_TRUE(Has(master, "<a href=mailto:mod@example.com>mod</a>") && Has(master, "joe"))
      << master;
  EXPECT_EQ(b.CounterMismatch(), "");
  EXPECT_EQ(Menu(), "");
}

TEST_F(ForumPage, RenameToAnotherForumsNameIsRefused) {
  std::string pages =
      GoldenCase("another's name", Submit(EditForm(kOwnForum, {{"forumname", "闲聊"}})));
  EXPECT_EQ(Rows("post", "forumname", kOwnForum), 2);
  pages += GoldenCase("no such forum", Submit(EditForm("没有", {})));
  // A change of letter case only is the same forum.
  b.board.AddCatalogForum("x", "abc");
  pages += GoldenCase("letter case", Submit(EditForm("abc", {{"forumname", "ABC"}})));
  EXPECT_GOLDEN("admin/forum_rename_refused", pages);
  EXPECT_EQ(b.Scalar("select forumname from forum where forumname='abc'").Str(), "ABC");
}

TEST_F(ForumPage, DeleteRemovesTheForumAndWhatBelongsOnlyToIt) {
  b.board.AddMember("both", "p", {.status = "Moderater"});
  b.board.AddModerator(kOwnForum, "both");
  b.board.AddModerator(kOtherForum, "both");
  b.board.AddModerator(kOwnForum, "boss");
  b.board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
  b.board.AddArchivedPost(b.board.AddArchive("旧帖"), 900, 0, kOwnForum, "joe", "旧");
  EXPECT_GOLDEN("admin/forum_deleted",
                Submit(EditForm(kOwnForum, {{"forumname", "改了"}, {"deleteforum", "on"}})));
  const std::pair<const char*, const char*> gone[] = {
      {"forum", "forumname"},    {"post", "forumname"},       {"moderated", "forum"},
      {"subscibe", "forumname"}, {"announceto", "forumname"},
  };
  for (const auto& [table, column] : gone) EXPECT_EQ(Rows(table, column, kOwnForum), 0) << table;
  EXPECT_EQ(Rows("archivelist", "forumname", kOwnForum), 1);  // archives keep their threads
  EXPECT_EQ(Rows("post", "forumname", kOtherForum), 2);
  // Only a moderator of no forum left loses the status.
  EXPECT_EQ(Status("boss") + Status("both") + Status("mod"), "administrator|\nModerater|\n-|\n");
  EXPECT_EQ(b.CounterMismatch(), "");
}

TEST_F(ForumPage, ModeratorsComeAndGo) {
  b.board.AddModerator(kOtherForum, "mod");
  Submit(EditForm(kOwnForum, {{"deletemoderater", "mod"}}));
  EXPECT_EQ(Status("mod"), "Moderater|\n");
  EXPECT_EQ(b.Scalar("select forummaster from forum where forumname='技术'").Str(), "诚征版主");
  Submit(EditForm(kOtherForum, {{"deletemoderater", "mod"}, {"moderater", "boss"}}));
  EXPECT_EQ(Status("mod") + Status("boss"), "-|\nadministrator|\n");
  EXPECT_EQ(b.Rows("select moderater,SignDate from moderated"), "boss|2024-05-09 10:20:30|\n");
}

}  // namespace
}  // namespace cb
