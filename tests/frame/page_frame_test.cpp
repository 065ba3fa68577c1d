// The page frame (head, tops, framed pages, the page's connection) and database-free fragments.
#include "frame/page_frame.h"

#include <functional>
#include <stdexcept>

#include "admin/admin.h"
#include "messages/pm.h"
#include "store/connection.h"
#include "support/page_test.h"

namespace cb {
namespace {

// A page that exposes the frame helpers and records presence calls instead of running them.
class FramePage : public Corkboard {
 public:
  using PageBase::Refuse;
  using PageBase::RunFramedPage;
  using PageBase::SkipToTail;
  void RecordVisit(const std::string& location) override { visits.push_back(location); }
  Response& Out() { return Response_(); }
  std::vector<std::string> visits;
};

// The board's error page (of a type mismatch) saying message instead.
std::string ErrorPageSaying(const std::string& message) {
  std::string page = test::ReadGolden("frame/error_corkboard");
  const std::string error = "错误号：13<br>错误描述：类型不匹配<br>错误来源：Corkboard";
  return page.replace(page.find(error), error.size(), message);
}

constexpr const char* kFooter = "<p align=center>footer</p>";

TEST(PageFrameTest, HeadAndTopsMatchTheirGoldenText) {
  const Settings s = test::SettingsOf();
  EXPECT_GOLDEN("frame/head_default", WritePageHead(s, "贴子列表 - Corkboard"));
  // A title is written as given, special characters included.
  const Settings bg = test::SettingsOf({{"PageBackGround", "paper.gif"}, {"BGColor", "#eeeeee"}});
  EXPECT_GOLDEN("frame/head_background", WritePageHead(bg, "a<b>&\"c"));
  EXPECT_GOLDEN("frame/top_cbk", CbkPageTop(s, "成员列表"));
  EXPECT_GOLDEN("frame/top_club", ClubPageTop(s));
}

TEST(PageFrameTest, HtmlSafeKeepsOrdinaryTextAndClosesBreakouts) {
  EXPECT_EQ(HtmlSafe("电脑 & 网络?a=1&b=2"), "电脑 & 网络?a=1&b=2");
  EXPECT_EQ(HtmlSafe("x\"><script>"), "x&quot;&gt;&lt;script&gt;");
}

class FramedPageTest : public ::testing::Test {
 protected:
  void SetUp() override { host_.Configure({{"Copyright", kFooter}}); }

  std::string Show(const FramedPage& frame, const std::function<void(FramePage&)>& content) {
    return host_.RunWith<FramePage>([&](FramePage& page) {
      page.RunFramedPage(frame, [&] { content(page); });
      visits_ = page.visits;
    });
  }

  FakeHost host_;
  std::vector<std::string> visits_;
};

// Each layout writes the head, its top, the content and the footer; a page with a top of its own
// leaves the top to the content and records no visit.
TEST_F(FramedPageTest, WritesHeadTopContentAndFooterInEachLayout) {
  std::string pages;
  for (const char* style : {"CBK", "CLUB", "NONE"}) {
    host_.Configure({{"BBSTYLE", style}});
    pages +=
        GoldenCase(style, Show({.location = "贴子列表", .title = "贴子列表", .heading = "成员列表"},
                               [](FramePage& p) { p.Out() << "<p>content</p>"; }));
    EXPECT_EQ(visits_, std::vector<std::string>{"贴子列表"});
  }
  host_.Configure({{"BBSTYLE", "CBK"}});
  pages += GoldenCase("own top", Show({.title = "贴子列表", .own_top = true},
                                      [](FramePage& p) { p.Out() << "<table>own</table>"; }));
  EXPECT_TRUE(visits_.empty());
  EXPECT_GOLDEN("frame/framed_pages", pages);
}

// The error page, or the page's refusal, replaces what the page wrote; the footer follows or not.
TEST_F(FramedPageTest, ErrorPageReplacesTheBodyAndTheTailFollows) {
  std::string pages;
  for (const ErrorPage on_error : {ErrorPage::kFooterFollows, ErrorPage::kReplacesFooter}) {
    for (const bool refused : {false, true}) {
      pages += GoldenCase(
          std::string(on_error == ErrorPage::kFooterFollows ? "footer follows" : "no footer") +
              (refused ? ", refused" : ""),
          Show({.title = "贴子列表", .heading = "h", .on_error = on_error}, [&](FramePage& p) {
            p.Out() << "<p>half a page";
            if (refused) p.Refuse("对不起，该论坛不存在！");
            throw ScriptError(err::kTypeMismatch, "类型不匹配", "Corkboard");
          }));
    }
  }
  EXPECT_GOLDEN("frame/error_in_frame", pages);
}

// An error without a number gets the generic one; an error's text cannot carry markup.
TEST_F(FramedPageTest, ErrorTexts) {
  std::string pages =
      GoldenCase("no number",
                 Show({.title = "t"}, [](FramePage&) { throw std::runtime_error("disk <full>"); }));
  pages += GoldenCase("markup", Show({.title = "t"}, [](FramePage&) {
                        throw ScriptError(err::kDatabase, "near \"<script>alert(1)</script>\"",
                                          "Corkboard");
                      }));
  EXPECT_GOLDEN("frame/errors", pages);
}

TEST_F(FramedPageTest, SkipToTailKeepsWhatWasWritten) {
  host_.Configure({{"BBSTYLE", "none"}});
  const std::string body =
      Show({.title = "t", .on_error = ErrorPage::kReplacesFooter}, [](FramePage& p) {
        p.Out() << "<form>private</form>";
        p.SkipToTail();
      });
  EXPECT_TRUE(body.ends_with("<center><form>private</form></body></html>")) << body;
}

class ConnectedPage : public Corkboard {
 public:
  using PageBase::OpenConnection_;
};

// The connection-string property picks the database of one page. (A database error inside a framed
// page is a ScriptError like any other, above.)
TEST(PageConnectionTest, ConnectionStringPropertyChoosesTheDatabaseOfThisPage) {
  FakeHost host;
  TestBoard board(host);
  const std::string board_string = board.connection_string();
  host.Configure({{"DSN", "NoSuchBoard"}});
  host.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    page.SetConnectionString(board_string);
    EXPECT_EQ(page.settings().ConnectionString, board_string);
    auto con = page.OpenConnection_();
    EXPECT_EQ(con->State(), adStateOpen);
  });
  // The next page is back on the board's own.
  host.RunWith<ConnectedPage>([&](ConnectedPage& page) {
    EXPECT_THAT([&] { page.OpenConnection_(); }, test::Raises(err::kDatabaseOpen));
    EXPECT_EQ(page.settings().ConnectionString,
              "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=NoSuchBoard");
  });
}

class PmWithHeader : public PM {
 public:
  using PM::PmClubHeader;
};

TEST(ErrorFormTest, EachClassWritesItsOwnPageOverWhatWasWritten) {
  FakeHost host;
  const std::string kMessage = "对不起，出错了！";
  auto with_junk = [&](auto& page) {
    host.response().Write("junk before the error");
    page.ErrorForm(kMessage);
  };
  EXPECT_GOLDEN("fragments/error_pm", host.RunWith<PM>(with_junk));
  EXPECT_GOLDEN("fragments/error_admin", host.RunWith<Admin>(with_junk));
  EXPECT_EQ(host.RunWith<Corkboard>(with_junk), ErrorPageSaying(kMessage));
}

TEST(WaitTest, PmEndsThePageAndCorkboardLeavesTheTailToItsCaller) {
  FakeHost host;
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
  FakeHost host_;
};

// One page, no page or an unknown layout writes nothing.
TEST_F(PagerTest, EachLayoutOnTheFirstAMiddleAndTheLastPage) {
  for (const char* layout : {"0", "1", "2"}) {
    const std::string prefix = std::string("pager/layout") + layout;
    EXPECT_GOLDEN(prefix + "_first", Pager(layout, 1, 3));
    EXPECT_GOLDEN(prefix + "_middle", Pager(layout, 2, 3));
    EXPECT_GOLDEN(prefix + "_last", Pager(layout, 3, 3));
    EXPECT_EQ(Pager(layout, 1, 1) + Pager(layout, 1, 0), "") << layout;
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
  FakeHost host;
  host.Get("/list.asp?GroupName=测试论坛&DaysPrune=5")
      .Cookie("UserName", "alice")
      .Cookie("Password", "secret");
  auto form = [](Corkboard& p) { p.PrivateForum("测试论坛"); };
  EXPECT_GOLDEN("fragments/private_forum_guest", host.RunWith<Corkboard>(form));
  host.session().Set("Login", Variant(int16_t{1}));
  EXPECT_GOLDEN("fragments/private_forum_member", host.RunWith<Corkboard>(form));
}

TEST(PrivateForumTest, CraftedValuesStayInsideTheirAttributes) {
  FakeHost host;
  host.Get("/list.asp?GroupName=x\"><img src=y onerror=alert(2)>")
      .Cookie("UserName", "\"><script>alert(1)</script>")
      .Cookie("Password", "p\"w");
  EXPECT_GOLDEN("fragments/private_forum_crafted",
                host.RunWith<Corkboard>([](Corkboard& p) { p.PrivateForum("a\"<b>"); }));
}

TEST(PmClubHeaderTest, LinksTheMailboxes) {
  FakeHost host;
  std::string header;
  host.RunWith<PmWithHeader>([&](PmWithHeader& pm) { header = pm.PmClubHeader(); });
  EXPECT_GOLDEN("fragments/pm_club_header", header);
}

}  // namespace
}  // namespace cb
