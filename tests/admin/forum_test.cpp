// forum.asp: the summary as the administrator sees it, the display order, adding a forum with its
// moderator, renaming and deleting a forum table by table, and moderators coming and going.
#include "admin/panel_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kBoss;
using test::kOtherForum;
using test::kOwnForum;

struct ForumPage : test::Fixture<test::PanelBoard> {
  std::string Submit(FormFields fields) {
    return Post(&Admin::Forum, "/admin/forum.asp", std::move(fields), &kBoss);
  }
  // The edit form of a forum as it is sent back unchanged, plus changes.
  FormFields EditForm(const std::string& forum, const FormFields& changes) {
    return WithChanges(
        test::FieldsOf("action=submitedit&oldforumname=" + forum + "&forumname=" + forum +
                           "&catalog=电脑&descript=说明&TopicRestrict=allreg&ReplyRestrict=allreg",
                       "&"),
        changes);
  }
  long Naming(const std::string& table, const std::string& column, const std::string& value) {
    return Count("select count(*) from " + table + " where " + column + "='" + value + "'");
  }
  std::string Menu() { return host.application().Get("ForumAndArchiveList").Str(); }
  // A member's status, "-" for none.
  std::string Status(const char* member) {
    return Rows(std::string("select isnull(status,'-') from register where username='") + member +
                "'");
  }
};

TEST_F(ForumPage, SummaryKeepsNamesAsText) {
  board.AddCatalogForum("<i>类</i>", "\"引号\"<b>版</b>&amp;", {.sequence = 3});
  EXPECT_GOLDEN("admin/forum_summary", Submit({{"action", "login"}}));
  EXPECT_EQ(host.session().Get("UserNamecp").Str(), "boss");
  EXPECT_EQ(host.session().Get("Status").Str(), "administrator");
}

TEST_F(ForumPage, DisplayOrderIsWrittenOnlyWhenEveryValueIsAWholeNumber) {
  host.application().Set("ForumAndArchiveList", Variant("cached"));
  const std::string sequences = "select forumname,sequence from forum order by sequence desc";
  Submit(
      test::FieldsOf("forumname=技术&forumname=闲聊&action=setforums&sequence=5&sequence=4", "&"));
  EXPECT_EQ(Rows(sequences), "技术|5|\n闲聊|4|\n");
  EXPECT_EQ(Menu(), "");
  host.application().Set("ForumAndArchiveList", Variant("cached"));
  EXPECT_GOLDEN("admin/forum_order_refused",
                Submit(test::FieldsOf(
                    "forumname=技术&forumname=闲聊&action=setforums&sequence=1&sequence=x", "&")));
  EXPECT_EQ(Rows(sequences), "技术|5|\n闲聊|4|\n");
  EXPECT_EQ(Menu(), "cached");
}

TEST_F(ForumPage, AddsAForumWithItsModerator) {
  // The golden file's cases are the forms sent, fields separated by "&".
  test::ExpectGoldenCases("admin/forum_added", [&](const std::string& form) {
    host.application().Set("ForumAndArchiveList", Variant("cached"));
    const std::string page = Submit(test::FieldsOf(form, "&"));
    return page + "\nmenu emptied: " + test::Yes(Menu().empty())[0];
  });
  EXPECT_EQ(Rows("select forumname,catalog,descript,[restrict],forumpassword,sequence,"
                 "forummaster from forum where sequence>2 order by sequence"),
            "新'版|新类|<b>说明</b>|all&none||3|joe|\n私|x||private|k|4|诚征版主|\n");
  EXPECT_EQ(Rows("select forum,moderater from moderated where forum<>'技术'"), "新'版|joe|\n");
  EXPECT_EQ(Status("joe"), "Moderater|\n");
}

TEST_F(ForumPage, RenameMovesEveryRowThatNamesTheForum) {
  board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
  board.AddArchivedPost(board.AddArchive("旧帖"), 900, 0, kOwnForum, "joe", "旧");
  host.application().Set("ForumAndArchiveList", Variant("cached"));
  EXPECT_GOLDEN("admin/forum_renamed",
                Submit(EditForm(kOwnForum, {{"forumname", "技术区"}, {"moderater", "joe"}})));
  const std::pair<const char*, const char*> columns[] = {
      {"forum", "forumname"},    {"post", "forumname"},       {"moderated", "forum"},
      {"subscibe", "forumname"}, {"announceto", "forumname"}, {"archivelist", "forumname"},
  };
  const long expected_new[] = {1, 2, 2, 1, 1, 1};
  for (size_t i = 0; i < std::size(columns); ++i) {
    const auto& [table, column] = columns[i];
    EXPECT_EQ(Naming(table, column, kOwnForum), 0) << table;
    EXPECT_EQ(Naming(table, column, "技术区"), expected_new[i]) << table;
  }
  EXPECT_EQ(Rows("select topiccount,[restrict] from forum where forumname='技术区'"),
            "1|allreg&allreg|\n");
  // The moderators are listed in no fixed order.
  const std::string master = Scalar("select forummaster from forum where forumname='技术区'").Str();
  EXPECT_TRUE(Has(master, "<a href=mailto:mod@example.com>mod</a>") && Has(master, "joe"))
      << master;
  EXPECT_EQ(CounterMismatch(), "");
  EXPECT_EQ(Menu(), "");
}

TEST_F(ForumPage, RenameToAnotherForumsNameIsRefused) {
  std::string pages =
      GoldenCase("another's name", Submit(EditForm(kOwnForum, {{"forumname", "闲聊"}})));
  EXPECT_EQ(Naming("post", "forumname", kOwnForum), 2);
  pages += GoldenCase("no such forum", Submit(EditForm("没有", {})));
  // A change of letter case only is the same forum.
  board.AddCatalogForum("x", "abc");
  pages += GoldenCase("letter case", Submit(EditForm("abc", {{"forumname", "ABC"}})));
  EXPECT_GOLDEN("admin/forum_rename_refused", pages);
  EXPECT_EQ(Scalar("select forumname from forum where forumname='abc'").Str(), "ABC");
}

TEST_F(ForumPage, DeleteRemovesTheForumAndWhatBelongsOnlyToIt) {
  board.AddMember("both", "p", {.status = "Moderater"});
  board.AddModerator(kOwnForum, "both");
  board.AddModerator(kOtherForum, "both");
  board.AddModerator(kOwnForum, "boss");
  board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
  board.AddArchivedPost(board.AddArchive("旧帖"), 900, 0, kOwnForum, "joe", "旧");
  EXPECT_GOLDEN("admin/forum_deleted",
                Submit(EditForm(kOwnForum, {{"forumname", "改了"}, {"deleteforum", "on"}})));
  const std::pair<const char*, const char*> gone[] = {
      {"forum", "forumname"},    {"post", "forumname"},       {"moderated", "forum"},
      {"subscibe", "forumname"}, {"announceto", "forumname"},
  };
  for (const auto& [table, column] : gone) EXPECT_EQ(Naming(table, column, kOwnForum), 0) << table;
  EXPECT_EQ(Naming("archivelist", "forumname", kOwnForum), 1);  // archives keep their threads
  EXPECT_EQ(Naming("post", "forumname", kOtherForum), 2);
  // Only a moderator of no forum left loses the status.
  EXPECT_EQ(Status("boss") + Status("both") + Status("mod"), "administrator|\nModerater|\n-|\n");
  EXPECT_EQ(CounterMismatch(), "");
}

TEST_F(ForumPage, ModeratorsComeAndGo) {
  board.AddModerator(kOtherForum, "mod");
  Submit(EditForm(kOwnForum, {{"deletemoderater", "mod"}}));
  EXPECT_EQ(Status("mod"), "Moderater|\n");
  EXPECT_EQ(Scalar("select forummaster from forum where forumname='技术'").Str(), "诚征版主");
  Submit(EditForm(kOtherForum, {{"deletemoderater", "mod"}, {"moderater", "boss"}}));
  EXPECT_EQ(Status("mod") + Status("boss"), "-|\nadministrator|\n");
  EXPECT_EQ(Rows("select moderater,SignDate from moderated"), "boss|2024-05-09 10:20:30|\n");
}

}  // namespace
}  // namespace cb
