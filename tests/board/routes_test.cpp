// The board's address table (tests/data/routes.txt): each address and action reaches its method,
// form actions run only by POST; and where jump.asp sends the browser.
#include "board/routes.h"

#include "admin/admin.h"
#include "messages/pm.h"
#include "runtime/gbk.h"
#include "support/page_test.h"

namespace cb {
namespace {

// The class whose error page a route reports the host's refusals on, "none" when it has none.
std::string ErrorPageClass(const RouteMatch& match) {
  if (!match.error_page) return "none";
  FakeHost host;
  (*match.error_page)(host.context(), "拒绝");
  const std::string page = host.body();
  auto error_form = [&host]<class Page>(Page*) {
    return host.RunWith<Page>([](Page& p) { p.ErrorForm(Variant("拒绝")); });
  };
  if (page == error_form(static_cast<Corkboard*>(nullptr))) return "Corkboard";
  if (page == error_form(static_cast<PM*>(nullptr))) return "PM";
  if (page == error_form(static_cast<Admin*>(nullptr))) return "Admin";
  return "another";
}

class BoardRoutesTest : public ::testing::Test {
 protected:
  BoardRoutesTest() { AddBoardRoutes(routes_); }
  Router routes_;
  std::map<std::string, std::vector<test::TextCase>> cases_ = test::ReadCaseTable("routes.txt");
};

TEST_F(BoardRoutesTest, EachAddressAndActionReachesItsMethod) {
  ASSERT_GT(cases_["route"].size(), 100u);
  for (const test::TextCase& c : cases_["route"]) {
    SCOPED_TRACE(c.where);
    ASSERT_GE(c.in.size(), 2u);
    ASSERT_EQ(c.out.size(), 3u);
    Request request;
    if (!c.in[1].empty()) request.query().Add("action", c.in[1]);
    if (c.in.size() > 2) request.form().Add("Action", c.in[2]);
    const RouteMatch match = routes_.Match(c.in[0], request);
    EXPECT_EQ(match.page ? std::string(match.name) : "none", c.out[0]);
    EXPECT_EQ(match.post_only ? "post" : "any", c.out[1]);
    EXPECT_EQ(ErrorPageClass(match), c.out[2]);
  }
}

TEST_F(BoardRoutesTest, JumpSendsTheBrowserOnlyToThisBoardsLists) {
  ASSERT_FALSE(cases_["jump"].empty());
  for (const test::TextCase& c : cases_["jump"]) {
    SCOPED_TRACE(c.where);
    FakeHost host;
    host.Get("/jump.asp?jumpTo=" + UrlEncode(c.in.at(0)));
    const RouteMatch match = routes_.Match("/jump.asp", host.request());
    ASSERT_TRUE(match.page);
    (*match.page)(host.context());
    EXPECT_EQ(host.redirect().value_or("<none>"), c.out.at(0));
    EXPECT_EQ(JumpTarget(c.in.at(0)), c.out.at(0));
  }
}

TEST_F(BoardRoutesTest, OnlyTheUploadPageTakesAFileSizedBody) {
  EXPECT_EQ(routes_.BodySizeOf("/Admin/Upload.asp"), BodySize::kUpload);
  for (const char* a : {"/", "/posting.asp", "/admin/mail.asp", "/admin/account.asp", "/x.gif"}) {
    EXPECT_EQ(routes_.BodySizeOf(a), BodySize::kForm) << a;
  }
}

}  // namespace
}  // namespace cb
