// Fragments without a database: the error and wait pages of each class, the pager layouts, the
// private-forum form and the private-message top.
#include <gtest/gtest.h>

#include <string>

#include "admin/admin.h"
#include "frame/corkboard.h"
#include "messages/pm.h"
#include "support/fake_host.h"
#include "support/golden.h"

namespace cb {
namespace {

class PmWithHeader : public PM {
 public:
  using PM::PmClubHeader;
};

TEST(ErrorFormTest, EachClassWritesItsOwnPageOverWhatWasWritten) {
  test::FakeHost host;
  const std::string kMessage = "对不起，出错了！";
  auto with_junk = [&](auto& page) {
    host.response().Write("junk before the error");
    page.ErrorForm(kMessage);
  };
  EXPECT_GOLDEN("fragments/error_pm", host.RunWith<PM>(with_junk));
  EXPECT_GOLDEN("fragments/error_admin", host.RunWith<Admin>(with_junk));
  std::string expected = test::ReadGolden("frame/error_corkboard");
  const std::string runtime_error = "错误号：13<br>错误描述：类型不匹配<br>错误来源：Corkboard";
  expected.replace(expected.find(runtime_error), runtime_error.size(), kMessage);
  EXPECT_EQ(host.RunWith<Corkboard>(with_junk), expected);
}

TEST(WaitTest, PmEndsThePageAndCorkboardLeavesTheTailToItsCaller) {
  test::FakeHost host;
  EXPECT_GOLDEN("fragments/wait_pm", host.RunWith<PM>([&](PM& page) {
    host.response().Write("junk");
    page.Wait("谢谢你！我们已经确认了你的身份并允许你进入悄悄话。", "pm.asp?action=inbox",
              "悄悄话");
  }));
  // Waiting 0 seconds refreshes at once.
  EXPECT_GOLDEN("fragments/wait_corkboard_zero", host.RunWith<Corkboard>([](Corkboard& page) {
    page.Wait("帖子已发表", "list.asp?GroupName=abc", "论坛", 0);
  }));
}

class PagerTest : public ::testing::Test {
 protected:
  std::string Pager(const char* layout, int16_t page, int16_t count) {
    host_.Configure({{"PageStyle", layout}});
    host_.Get("/list.asp?GroupName=abc");
    return host_.RunWith<Corkboard>(
        [&](Corkboard& p) { p.PageStyle(45, page, count, 20, "&GroupName=abc"); });
  }
  test::FakeHost host_;
};

TEST_F(PagerTest, EachLayoutOnTheFirstAMiddleAndTheLastPage) {
  for (const char* layout : {"0", "1", "2"}) {
    const std::string prefix = std::string("pager/layout") + layout;
    EXPECT_GOLDEN(prefix + "_first", Pager(layout, 1, 3));
    EXPECT_GOLDEN(prefix + "_middle", Pager(layout, 2, 3));
    EXPECT_GOLDEN(prefix + "_last", Pager(layout, 3, 3));
  }
}

TEST_F(PagerTest, OnePageOrAnUnknownLayoutWritesNothing) {
  for (const char* layout : {"0", "1", "2"}) {
    EXPECT_EQ(Pager(layout, 1, 1), "") << layout;
    EXPECT_EQ(Pager(layout, 1, 0), "") << layout;
  }
  EXPECT_EQ(Pager("3", 1, 3), "");
}

TEST_F(PagerTest, TwoPagesInTheChineseLayoutAndPrivateMessagesShareThePager) {
  EXPECT_GOLDEN("pager/layout2_two_pages", Pager("2", 1, 2));
  host_.Configure({{"PageStyle", "1"}});
  host_.Get("/pm.asp?action=inbox");
  const std::string pm = host_.RunWith<PM>([](PM& p) { p.PageStyle(45, 2, 3, 20, "&x=1"); });
  EXPECT_EQ(pm, host_.RunWith<Corkboard>([](Corkboard& p) { p.PageStyle(45, 2, 3, 20, "&x=1"); }));
  EXPECT_GOLDEN("pager/private_messages", pm);
}

TEST(PrivateForumTest, AsksGuestsForNameAndPasswordAndMembersOnlyForTheForumPassword) {
  test::FakeHost host;
  host.Get("/list.asp?GroupName=测试论坛&DaysPrune=5")
      .Cookie("UserName", "alice")
      .Cookie("Password", "secret");
  auto form = [](Corkboard& p) { p.PrivateForum("测试论坛"); };
  EXPECT_GOLDEN("fragments/private_forum_guest", host.RunWith<Corkboard>(form));
  host.session().Set("Login", Variant(int16_t{1}));
  EXPECT_GOLDEN("fragments/private_forum_member", host.RunWith<Corkboard>(form));
}

TEST(PrivateForumTest, CraftedValuesStayInsideTheirAttributes) {
  test::FakeHost host;
  host.Get("/list.asp?GroupName=x\"><img src=y onerror=alert(2)>")
      .Cookie("UserName", "\"><script>alert(1)</script>")
      .Cookie("Password", "p\"w");
  EXPECT_GOLDEN("fragments/private_forum_crafted",
                host.RunWith<Corkboard>([](Corkboard& p) { p.PrivateForum("a\"<b>"); }));
}

TEST(PmClubHeaderTest, LinksTheMailboxes) {
  test::FakeHost host;
  std::string header;
  host.RunWith<PmWithHeader>([&](PmWithHeader& pm) { header = pm.PmClubHeader(); });
  EXPECT_GOLDEN("fragments/pm_club_header", header);
}

}  // namespace
}  // namespace cb
