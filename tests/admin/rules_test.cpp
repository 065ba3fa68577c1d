// The control panel's decisions without the database, as tables: the forum summary's sort, the
// stored access rule, the display orders, announcements' fields and forums, the member search
// filter and upload folders.
#include <gtest/gtest.h>

#include "admin/announce_rules.h"
#include "admin/forum_rules.h"
#include "admin/panel.h"
#include "admin/permissions.h"

namespace cb {
namespace {

TEST(ForumRules, SortKeys) {
  const std::pair<const char*, const char*> cases[] = {
      {"number", " order by sequence"},
      {"category", " order by catalog"},
      {"alpha", " order by forumname"},
      {"postcount", " order by topiccount+replycount desc"},
      {"name; drop table forum", " order by sequence"},
  };
  for (const auto& [key, clause] : cases) EXPECT_EQ(ForumOrderClause(key), clause) << key;
}

TEST(ForumRules, AccessRule) {
  struct Case {
    bool is_private;
    const char* topic;
    const char* reply;
    const char* stored;
  } cases[] = {
      {true, "all", "none", "private"},           {false, "allreg", "none", "allreg&none"},
      {false, "restrict", "all", "restrict&all"}, {false, "all", "allreg", "all&allreg"},
      {false, "private", "", "allreg&allreg"},    {false, "all&x", "none'", "allreg&allreg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ForumRestrict(c.is_private, c.topic, c.reply), c.stored) << c.topic << c.reply;
  }
}

TEST(ForumRules, DisplayOrders) {
  struct Case {
    std::vector<std::string> sequences;
    size_t names;
    const char* refusal;
    std::vector<int32_t> orders;
  } cases[] = {
      {{"3", " 1 ", "-2"}, 3, nullptr, {3, 1, -2}},
      {{"1", "2"}, 3, "错误！", {}},
      {{"1", "x"}, 2, "排序必须用整数", {}},
      {{"1.5"}, 1, "排序必须用整数", {}},
      {{"1e12"}, 1, "排序必须用整数", {}},
      {{""}, 1, "排序必须用整数", {}},
      {{}, 0, nullptr, {}},
  };
  for (const Case& c : cases) {
    const ForumOrders got = ReadForumOrders(c.sequences, c.names);
    EXPECT_STREQ(got.refusal, c.refusal);
    EXPECT_EQ(got.orders, c.orders);
  }
}

TEST(AnnounceRules, SubjectTextAndDates) {
  const AnnouncementDraft good{"题", "文", "2024", "02", "29", "2024", "03", "01"};
  struct Case {
    AnnouncementDraft draft;
    const char* refusal;
  } cases[] = {
      {good, nullptr},
      {{"", "文", "2024", "02", "29", "2024", "03", "01"}, "主题和公告内容不能为空！"},
      {{"题", "", "2024", "02", "29", "2024", "03", "01"}, "主题和公告内容不能为空！"},
      {{"题", "文", "2023", "02", "29", "2024", "03", "01"}, "开始日期或结束日期不合法！请检查！"},
      {{"题", "文", "2024", "02", "30", "2024", "03", "01"}, "开始日期或结束日期不合法！请检查！"},
      {{"题", "文", "2024", "02", "01", "24", "03", "01"}, "开始日期或结束日期不合法！请检查！"},
      {{"题", "文", "2024", "13", "01", "2024", "03", "01"}, "开始日期或结束日期不合法！请检查！"},
  };
  for (const Case& c : cases) EXPECT_STREQ(CheckAnnouncement(c.draft).refusal, c.refusal);
  const AnnouncementCheck ok = CheckAnnouncement(good);
  EXPECT_EQ(ok.start.YmdHms(), "2024-02-29 00:00:00");
  EXPECT_EQ(ok.end.YmdHms(), "2024-03-01 00:00:00");
}

TEST(AnnounceRules, ChosenForums) {
  const std::vector<std::string> managed = {"技术", "a,b"};
  struct Case {
    std::vector<std::string> managed, chosen;
    const char* refusal;
  } cases[] = {
      {managed, {"技术"}, nullptr},
      {managed, {"a,b", "技术"}, nullptr},
      {{}, {"技术"}, "没有版面存在，不能发布公告"},
      {managed, {}, "请选择版面！"},
      {managed, {"技术", "闲聊"}, "你不能发布公告到其它论坛，请检查！"},
      {managed, {"a"}, "你不能发布公告到其它论坛，请检查！"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(AnnouncementForumsRefusal(c.managed, c.chosen), c.refusal);
  }
}

TEST(PanelIdentityTest, ForumNamesStayWhole) {
  PanelIdentity id;
  id.forums = {"技术", "a,b"};
  EXPECT_TRUE(id.Manages("a,b") && !id.Manages("a"));
}

TEST(PermissionRules, SearchFilter) {
  struct Case {
    const char *name, *email, *math, *posts, *entire, *filter;
  } cases[] = {
      {"", "", ">=", "", "", ""},
      {"jo", "", ">=", "", "", " where  username like '%jo%'"},
      {"jo", "@x", "<=", "10", "",
       " where  postcount<=10 and  email like '%@x%' and  username like "
       "'%jo%'"},
      {"o'b", "", "=", "", "", " where  username like '%o''b%'"},
      {"", "", "<>0 or 1=1 --", "5", "", " where  postcount>=5"},
      {"", "", "=", "5 or 1=1", "", ""},
      {"jo", "x", "=", "3", "YES", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MemberSearchFilter(c.name, c.email, c.math, c.posts, c.entire), c.filter) << c.name;
  }
}

TEST(PermissionRules, UploadFolders) {
  const std::pair<const char*, bool> cases[] = {
      {"", true},      {"joe", true},  {"a/b", true},  {"..", false},  {"a/../../x", false},
      {"/etc", false}, {"\\x", false}, {"c:x", false}, {"a..b", true}, {"a\\..\\b", false},
  };
  for (const auto& [dir, safe] : cases) EXPECT_EQ(IsSafeUploadDir(dir), safe) << dir;
}

}  // namespace
}  // namespace cb
