// forum.asp: the summary as the administrator sees it, the display order, adding a forum with its
// moderator, renaming and deleting a forum table by table, and moderators coming and going.
#include <gtest/gtest.h>

#include "admin/panel_fixture.h"
#include "support/golden.h"

namespace cb {
namespace {

using test::FormFields;
using test::Has;
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
    return test::WithChanges({{"action", "submitedit"},
                              {"oldforumname", forum},
                              {"forumname", forum},
                              {"catalog", "电脑"},
                              {"descript", "说明"},
                              {"TopicRestrict", "allreg"},
                              {"ReplyRestrict", "allreg"}},
                             changes);
  }
  long Rows(const std::string& table, const std::string& column, const std::string& value) {
    return b.Count("select count(*) from " + table + " where " + column + "='" + value + "'");
  }
};

TEST_F(ForumPage, SummaryKeepsNamesAsText) {
  b.board.AddCatalogForum("<i>类</i>", "\"引号\"<b>版</b>&amp;", {.sequence = 3});
  const std::string page = Submit({{"action", "login"}});
  EXPECT_GOLDEN("admin/forum_summary", page);
  EXPECT_EQ(b.host.session().Get("UserNamecp").Str(), "boss");
  EXPECT_EQ(b.host.session().Get("Status").Str(), "administrator");
}

TEST_F(ForumPage, DisplayOrderIsWrittenOnlyWhenEveryValueIsAWholeNumber) {
  b.host.application().Set("ForumAndArchiveList", Variant("cached"));
  const FormFields both = {{"forumname", kOwnForum}, {"forumname", kOtherForum}};
  FormFields bad = both;
  bad.insert(bad.end(), {{"action", "setforums"}, {"sequence", "5"}, {"sequence", "x"}});
  EXPECT_TRUE(Has(Submit(bad), "排序必须用整数"));
  EXPECT_EQ(b.Count("select sequence from forum where forumname='技术'"), 1);
  EXPECT_EQ(b.host.application().Get("ForumAndArchiveList").Str(), "cached");

  FormFields good = both;
  good.insert(good.end(), {{"action", "setforums"}, {"sequence", "5"}, {"sequence", "4"}});
  EXPECT_TRUE(Has(Submit(good), "版面更新结束"));
  EXPECT_EQ(b.Count("select sequence from forum where forumname='技术'"), 5);
  EXPECT_EQ(b.Count("select sequence from forum where forumname='闲聊'"), 4);
  EXPECT_EQ(b.host.application().Get("ForumAndArchiveList").Str(), "");
}

TEST_F(ForumPage, AddsAForumWithItsModerator) {
  b.host.application().Set("ForumAndArchiveList", Variant("cached"));
  const std::string page = Submit({{"action", "addnewforum"},
                                   {"forumname", "新'版"},
                                   {"newcatalog", "on"},
                                   {"newcatalogName", "新类"},
                                   {"catalog", "电脑"},
                                   {"TopicRestrict", "all"},
                                   {"ReplyRestrict", "none"},
                                   {"descript", "<b>说明</b>"},
                                   {"Moderater", "JOE"}});
  EXPECT_TRUE(Has(page, "版面更新结束")) << page;
  EXPECT_EQ(b.Scalar("select catalog from forum where forumname='新''版'").Str(), "新类");
  EXPECT_EQ(b.Scalar("select [restrict] from forum where forumname='新''版'").Str(), "all&none");
  EXPECT_EQ(b.Scalar("select sequence from forum where forumname='新''版'").CLng(), 3);
  EXPECT_EQ(b.Scalar("select forummaster from forum where forumname='新''版'").Str(), "joe");
  EXPECT_EQ(b.Scalar("select moderater from moderated where forum='新''版'").Str(), "joe");
  EXPECT_EQ(b.Scalar("select status from register where username='joe'").Str(), "Moderater");
  EXPECT_EQ(b.host.application().Get("ForumAndArchiveList").Str(), "");

  EXPECT_TRUE(Has(Submit({{"action", "addnewforum"}, {"forumname", "新'版"}, {"catalog", "x"}}),
                  "该论坛名称重复，请选择其他论坛名称"));
  EXPECT_TRUE(Has(Submit({{"action", "addnewforum"},
                          {"forumname", "私"},
                          {"catalog", "x"},
                          {"private", "private"},
                          {"forumpassword", "k"},
                          {"Moderater", "nobody"}}),
                  "版面更新结束"));
  EXPECT_EQ(b.Scalar("select [restrict] from forum where forumname='私'").Str(), "private");
  EXPECT_EQ(b.Scalar("select forumpassword from forum where forumname='私'").Str(), "k");
  EXPECT_EQ(b.Scalar("select forummaster from forum where forumname='私'").Str(), "诚征版主");
}

TEST_F(ForumPage, RenameMovesEveryRowThatNamesTheForum) {
  b.board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
  const int64_t archive = b.board.AddArchive("旧帖");
  b.board.AddArchivedPost(archive, 900, 0, kOwnForum, "joe", "旧");
  b.host.application().Set("ForumAndArchiveList", Variant("cached"));
  EXPECT_TRUE(Has(Submit(EditForm(kOwnForum, {{"forumname", "技术区"}, {"moderater", "joe"}})),
                  "版面更新结束"));
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
  EXPECT_EQ(b.Scalar("select topiccount from forum where forumname='技术区'").CLng(), 1);
  const std::string master =
      b.Scalar("select forummaster from forum where forumname='技术区'").Str();
  EXPECT_TRUE(Has(master, "<a href=mailto:mod@example.com>mod</a>") && Has(master, "joe"))
      << master;
  EXPECT_EQ(b.Scalar("select [restrict] from forum where forumname='技术区'").Str(),
            "allreg&allreg");
  EXPECT_EQ(b.CounterMismatch(), "");
  EXPECT_EQ(b.host.application().Get("ForumAndArchiveList").Str(), "");
}

TEST_F(ForumPage, RenameToAnotherForumsNameIsRefused) {
  const std::string page = Submit(EditForm(kOwnForum, {{"forumname", "闲聊"}}));
  EXPECT_TRUE(Has(page, "该论坛名称重复，请选择其他论坛名称"));
  EXPECT_EQ(Rows("post", "forumname", kOwnForum), 2);
  EXPECT_TRUE(Has(Submit(EditForm("没有", {})), "错误，该版面已不存在！"));
  // A change of letter case only is the same forum.
  b.board.AddCatalogForum("x", "abc");
  EXPECT_TRUE(Has(Submit(EditForm("abc", {{"forumname", "ABC"}})), "版面更新结束"));
  EXPECT_EQ(b.Scalar("select forumname from forum where forumname='abc'").Str(), "ABC");
}

TEST_F(ForumPage, DeleteRemovesTheForumAndWhatBelongsOnlyToIt) {
  b.board.AddMember("both", "p", {.status = "Moderater"});
  b.board.AddModerator(kOwnForum, "both");
  b.board.AddModerator(kOtherForum, "both");
  b.board.AddModerator(kOwnForum, "boss");
  b.board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
  const int64_t archive = b.board.AddArchive("旧帖");
  b.board.AddArchivedPost(archive, 900, 0, kOwnForum, "joe", "旧");
  const std::string page =
      Submit(EditForm(kOwnForum, {{"forumname", "改了"}, {"deleteforum", "on"}}));
  EXPECT_TRUE(Has(page, "版面更新结束"));
  const std::pair<const char*, const char*> gone[] = {
      {"forum", "forumname"},    {"post", "forumname"},       {"moderated", "forum"},
      {"subscibe", "forumname"}, {"announceto", "forumname"},
  };
  for (const auto& [table, column] : gone) EXPECT_EQ(Rows(table, column, kOwnForum), 0) << table;
  EXPECT_EQ(Rows("archivelist", "forumname", kOwnForum), 1);  // archives keep their threads
  EXPECT_EQ(Rows("post", "forumname", kOtherForum), 2);
  EXPECT_TRUE(b.Scalar("select status from register where username='mod'").IsNull());
  EXPECT_EQ(b.Scalar("select status from register where username='both'").Str(), "Moderater");
  EXPECT_EQ(b.Scalar("select status from register where username='boss'").Str(), "administrator");
  EXPECT_EQ(b.CounterMismatch(), "");
}

TEST_F(ForumPage, ModeratorsComeAndGo) {
  b.board.AddModerator(kOtherForum, "mod");
  Submit(EditForm(kOwnForum, {{"deletemoderater", "mod"}}));
  EXPECT_EQ(b.Scalar("select status from register where username='mod'").Str(), "Moderater");
  EXPECT_EQ(b.Scalar("select forummaster from forum where forumname='技术'").Str(), "诚征版主");
  Submit(EditForm(kOtherForum, {{"deletemoderater", "mod"}, {"moderater", "boss"}}));
  EXPECT_TRUE(b.Scalar("select status from register where username='mod'").IsNull());
  EXPECT_EQ(b.Scalar("select status from register where username='boss'").Str(), "administrator");
  EXPECT_EQ(b.Count("select count(*) from moderated where moderater='boss'"), 1);
  EXPECT_EQ(b.Scalar("select SignDate from moderated where moderater='boss'").CDate().YmdHms(),
            "2024-05-09 10:20:30");
}

}  // namespace
}  // namespace cb
