// The page frame: head, tops, framed pages in both layouts, where the error page lands, and the
// page's own connection.
#include "frame/page_frame.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame/corkboard.h"
#include "store/connection.h"
#include "support/fake_host.h"
#include "support/golden.h"
#include "support/page_text.h"
#include "support/test_board.h"

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

  test::FakeHost host_;
  std::vector<std::string> visits_;
};

TEST_F(FramedPageTest, WritesHeadTopContentAndFooterInBothLayouts) {
  const std::string head = test::ReadGolden("frame/head_default");
  const struct {
    const char* style;
    std::string top;
  } layouts[] = {
      {"CBK", test::ReadGolden("frame/top_cbk")},
      {"CLUB", test::ReadGolden("frame/top_club")},
      {"NONE", ""},
  };
  for (const auto& layout : layouts) {
    host_.Configure({{"BBSTYLE", layout.style}});
    const std::string body =
        Show({.location = "贴子列表", .title = "贴子列表", .heading = "成员列表"},
             [](FramePage& p) { p.Out() << "<p>content</p>"; });
    EXPECT_EQ(body, head + "<center>" + layout.top + "<p>content</p></center>" + kFooter +
                        "</body></html>")
        << layout.style;
    EXPECT_EQ(visits_, std::vector<std::string>{"贴子列表"});
  }
}

TEST_F(FramedPageTest, AnOwnTopLeavesTheTopToTheContent) {
  const std::string body = Show({.title = "贴子列表", .own_top = true},
                                [](FramePage& p) { p.Out() << "<table>own</table>"; });
  EXPECT_EQ(body, test::ReadGolden("frame/head_default") + "<center><table>own</table></center>" +
                      kFooter + "</body></html>");
  EXPECT_TRUE(visits_.empty());
}

TEST_F(FramedPageTest, ErrorPageReplacesTheBodyAndTheTailFollows) {
  const std::string error_page = test::ReadGolden("frame/error_corkboard");
  const std::string refused_page = [&] {
    std::string page = error_page;
    const std::string from = "错误号：13<br>错误描述：类型不匹配<br>错误来源：Corkboard";
    return page.replace(page.find(from), from.size(), "对不起，该论坛不存在！");
  }();
  const std::function<void(FramePage&)> type_mismatch = [](FramePage& p) {
    p.Out() << "<p>half a page";
    throw ScriptError(err::kTypeMismatch, "类型不匹配", "Corkboard");
  };
  const std::function<void(FramePage&)> refusal = [](FramePage& p) {
    p.Out() << "<p>half a page";
    p.Refuse("对不起，该论坛不存在！");
  };
  const struct {
    const char* what;
    ErrorPage on_error;
    std::function<void(FramePage&)> content;
    std::string expected;
  } cases[] = {
      {"error before the footer", ErrorPage::kFooterFollows, type_mismatch,
       error_page + kFooter + "</body></html>"},
      {"error after the footer", ErrorPage::kReplacesFooter, type_mismatch,
       error_page + "</body></html>"},
      {"refused, footer follows", ErrorPage::kFooterFollows, refusal,
       refused_page + kFooter + "</body></html>"},
      {"refused, footer replaced", ErrorPage::kReplacesFooter, refusal,
       refused_page + "</body></html>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Show({.title = "贴子列表", .heading = "h", .on_error = c.on_error}, c.content),
              c.expected)
        << c.what;
  }
}

// An error without a number gets the generic one; an error's text cannot carry markup.
TEST_F(FramedPageTest, ErrorTexts) {
  std::string pages = test::GoldenCase("no number", Show({.title = "t"}, [](FramePage&) {
                                         throw std::runtime_error("disk <full>");
                                       }));
  pages += test::GoldenCase("markup", Show({.title = "t"}, [](FramePage&) {
                              throw ScriptError(err::kDatabase,
                                                "near \"<script>alert(1)</script>\"", "Corkboard");
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
  test::FakeHost host;
  test::TestBoard board(host);
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
    try {
      page.OpenConnection_();
      ADD_FAILURE() << "opened the unregistered data source";
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.number(), err::kDatabaseOpen);
    }
    EXPECT_EQ(page.settings().ConnectionString,
              "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=NoSuchBoard");
  });
}

}  // namespace
}  // namespace cb
