// The test support every page test relies on: request building, the cookie jar, fresh responses
// and the seed helpers of the test board.
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

TEST(FakeHostTest, BuildsRequestsAsABrowserSendsThem) {
  test::FakeHost host;
  host.Get("/list.asp?GroupName=测试论坛&Page=2&x=a+b%26c");
  const Request& r = host.request();
  EXPECT_EQ(r.QueryString("groupname").Str(), "测试论坛");
  EXPECT_EQ(r.QueryString("page").Str(), "2");
  EXPECT_EQ(r.QueryString("x").Str(), "a b&c");
  EXPECT_EQ(r.RawQueryString(), "GroupName=%B2%E2%CA%D4%C2%DB%CC%B3&Page=2&x=a+b%26c");
  EXPECT_EQ(r.ServerVariables("SCRIPT_NAME").Str(), "/list.asp");
  EXPECT_EQ(r.ServerVariables("request_method").Str(), "GET");

  host.Get("/list.asp?GroupName=%B2%E2%CA%D4%C2%DB%CC%B3");  // GBK bytes, as browsers send
  EXPECT_EQ(host.request().QueryString("GroupName").Str(), "测试论坛");

  host.PostForm("/posting.asp?action=posttopic", {{"subject", "标题"}, {"forum", "Web"}})
      .RemoteAddr("10.0.0.7");
  EXPECT_EQ(host.request().ServerVariables("request_method").Str(), "POST");
  EXPECT_EQ(host.request().Form("subject").Str(), "标题");
  EXPECT_EQ(host.request()("action").Str(), "posttopic");
  EXPECT_EQ(host.request().ServerVariables("Remote_addr").Str(), "10.0.0.7");
}

class CookieSetter : public Corkboard {
 public:
  void Set(const std::string& name, const std::string& value, const DateTime& expires) {
    Response_().SetCookie(name, value);
    Response_().SetCookieExpires(name, expires);
  }
};

TEST(FakeHostTest, KeepsCookiesLikeABrowserWhenAsked) {
  test::FakeHost host;
  const DateTime later = host.clock().Now().AddDays(365);
  const DateTime earlier = host.clock().Now().AddDays(-1);
  host.RunWith<CookieSetter>([&](CookieSetter& p) { p.Set("UserName", "alice", later); });
  EXPECT_EQ(host.ResponseCookie("UserName"), "alice");
  host.Get("/default.asp");
  EXPECT_EQ(host.request().Cookies("UserName").Str(), "");  // not kept by default

  host.KeepCookies();
  host.RunWith<CookieSetter>([&](CookieSetter& p) { p.Set("UserName", "alice", later); });
  host.Get("/default.asp");
  EXPECT_EQ(host.request().Cookies("UserName").Str(), "alice");
  EXPECT_EQ(host.ResponseCookie("UserName"), "");  // a new request has a fresh response
  host.RunWith<CookieSetter>([&](CookieSetter& p) { p.Set("UserName", "", earlier); });
  host.Get("/default.asp");
  EXPECT_FALSE(host.request().cookies().Has("UserName"));
}

TEST(TestBoardTest, SeedsReadBackAsPagesSeeThem) {
  test::FakeHost host;
  test::TestBoard board(host);
  board.AddCatalogForum("General", "Web", {.restrict = "private", .forumpassword = "pw"});
  board.AddMember("alice", "pw", {.status = "administrator", .canpost = false, .postcount = 7});
  const int64_t topic = board.AddTopic("Web", "alice", "Hello", "first");
  const int64_t reply = board.AddReply(topic, "alice", "Re: Hello", "second");
  EXPECT_GT(reply, topic);
  EXPECT_EQ(board.Scalar("select [restrict] from forum where forumname='Web'").Str(), "private");
  EXPECT_EQ(board.Scalar("select canpost from register where username='alice'").CBool(), false);
  EXPECT_EQ(board.Scalar("select parentid from post where postid=" + std::to_string(reply)).CDbl(),
            static_cast<double>(topic));
  EXPECT_EQ(board.Scalar("select count(*) from post where parentid is null").CDbl(), 1);
  const int64_t archive = board.AddArchive("2001");
  board.AddArchivedPost(archive, topic, 0, "Web", "alice", "Hello");
  EXPECT_EQ(board.Scalar("select count(*) from archivelist where isnull(parentid,0)=0").CDbl(), 1);
  const DateTime today = host.clock().Now().DateOnly();
  board.AddAnnouncement("Web", "alice", "Notice", "text", today, today.AddDays(1));
  EXPECT_EQ(board
                .Scalar("select subject from announce inner join announceto on "
                        "announce.id=announceto.id where ForumName='Web'")
                .Str(),
            "Notice");
  const int64_t pm = board.AddPrivateMessage("bob", "alice", "Hi");
  EXPECT_EQ(board.Scalar("select isnew from pm where postid=" + std::to_string(pm)).CBool(), true);
}

}  // namespace
}  // namespace cb
