// Favourites and subscriptions: adding only by a confirmed POST, the refusals, each member seeing
// and deleting only his own favourites, subscriptions replaced as a whole for the signed-in member
// alone, and GetSubscibeList.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "frame/corkboard.h"
#include "support/fake_host.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::Has;
using test::TestBoard;

struct Favourites : ::testing::Test {
  FakeHost host;
  TestBoard board{host};
  int64_t topic = 0, reply = 0, secret = 0;

  void SetUp() override {
    board.AddCatalogForum("休闲", "灌水乐园", {.descript = "随便聊", .sequence = 1});
    board.AddCatalogForum("休闲", "棋牌", {.descript = "下棋", .sequence = 2});
    board.AddCatalogForum("内部", "密室", {.restrict = "private", .sequence = 3});
    board.AddMember("alice", "pw1");
    board.AddMember("bob", "pw2");
    topic = board.AddTopic("灌水乐园", "bob", "好 <b>话题</b>", "正文");
    reply = board.AddReply(topic, "alice", "Re", "回复");
    secret = board.AddTopic("密室", "bob", "秘密", "正文");
  }
  void SignIn(const std::string& name, const std::string& password) {
    host.session().Set("Login", Variant(int16_t{1}));
    host.session().Set("UserName", Variant(name));
    host.session().Set("Password", Variant(password));
  }
  std::string AddFavourite(int64_t id, test::FormFields identity = {}) {
    identity.emplace_back("id", std::to_string(id));
    host.PostForm("/favor.asp", identity);
    return host.Run(&Corkboard::Favor);
  }
  long Count(const std::string& where) {
    return board.Scalar("select count(*) from favor where " + where).CLng();
  }
};

TEST_F(Favourites, AGetOnlyShowsTheConfirmingForm) {
  host.Get("/favor.asp?id=" + std::to_string(topic) + "&GroupName=灌水乐园&Subject=<i>好</i>");
  const std::string visitor = host.Run(&Corkboard::Favor);
  EXPECT_TRUE(Has(visitor, "<title>收藏主题 [&lt;i&gt;好&lt;/i&gt;] - "));
  EXPECT_TRUE(Has(visitor, "<form action=Favor.asp method=post name=chkUser>"));
  EXPECT_TRUE(Has(visitor, "name=Password"));
  EXPECT_TRUE(Has(visitor, "我已经注册过了，天啊！我把密码给忘了？！"));

  SignIn("alice", "pw1");
  host.Get("/favor.asp?id=" + std::to_string(topic));
  const std::string member = host.Run(&Corkboard::Favor);
  EXPECT_TRUE(Has(member, "<input type=hidden name=id value=" + std::to_string(topic) + ">"));
  EXPECT_FALSE(Has(member, "name=Password"));
  EXPECT_EQ(Count("1=1"), 0);
}

TEST_F(Favourites, AddingByFormOrSession) {
  const std::string page = AddFavourite(topic, {{"UserName", " alice "}, {"Password", "pw1"}});
  EXPECT_TRUE(Has(page, "alice，该主题已被收藏！")) << page;
  EXPECT_TRUE(Has(page, "newsdetail.asp?id=" + std::to_string(topic)));
  EXPECT_EQ(Count("username='alice' and postid=" + std::to_string(topic)), 1);
  // The checked pair stays with the visit, without signing it in; the id is renewed.
  EXPECT_EQ(host.session().Get("UserName").Str(), "alice");
  EXPECT_TRUE(host.session().Get("Login").IsEmpty());
  EXPECT_TRUE(host.session().TakeRenewal());

  SignIn("bob", "pw2");
  EXPECT_TRUE(Has(AddFavourite(topic, {{"UserName", "alice"}, {"Password", "pw1"}}),
                  "bob，该主题已被收藏！"));
  EXPECT_EQ(Count("username='bob'"), 1);
}

TEST_F(Favourites, Refusals) {
  const test::FormFields alice = {{"UserName", "alice"}, {"Password", "pw1"}};
  struct Case {
    std::string id;
    test::FormFields identity;
    const char* message;
  };
  const Case cases[] = {
      {"abc", alice, "参数错误！"},
      {"0", alice, "参数错误！"},
      {std::to_string(reply), alice, "参数错误！"},
      {"99999", alice, "参数错误！"},
      {std::to_string(secret), alice, "参数错误！"},
      {std::to_string(topic),
       {{"UserName", "alice"}, {"Password", "x"}},
       "对不起，您不是我们的注册用户，请注册后再使用该功能！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    test::FormFields form = c.identity;
    form.emplace_back("id", c.id);
    host.PostForm("/favor.asp", form);
    const std::string page = host.Run(&Corkboard::Favor);
    EXPECT_TRUE(Has(page, c.message)) << page;
    EXPECT_TRUE(test::EndsPage(page));
  }
  EXPECT_EQ(Count("1=1"), 0);

  AddFavourite(topic, alice);
  EXPECT_TRUE(Has(AddFavourite(topic, alice), "收藏主题失败，通常情况是该主题已经被收藏！"));
  EXPECT_EQ(Count("1=1"), 1);
}

TEST_F(Favourites, EachMemberSeesAndDeletesOnlyHisOwn) {
  const int64_t second = board.AddTopic("棋牌", "alice", "第二个", "x");
  board.Exec("insert into favor (username,postid,favordate) values ('alice'," +
             std::to_string(topic) + ",'2024-05-01 08:00:00')");
  board.Exec("insert into favor (username,postid,favordate) values ('bob'," +
             std::to_string(second) + ",'2024-05-02 08:00:00')");

  host.Get("/showfavor.asp");
  EXPECT_TRUE(Has(host.Run(&Corkboard::Showfavor), "name=frmSearch"));

  host.PostForm("/showfavor.asp",
                {{"action", "chkUser"}, {"UserName", "alice"}, {"Password", "no"}});
  EXPECT_TRUE(Has(host.Run(&Corkboard::Showfavor), "对不起，你不是我们论坛的注册用户"));

  host.PostForm("/showfavor.asp",
                {{"action", "chkUser"}, {"UserName", "alice"}, {"Password", "pw1"}});
  const std::string list = host.Run(&Corkboard::Showfavor);
  EXPECT_TRUE(Has(list, "<a href=newsdetail.asp?id=" + std::to_string(topic) +
                            ">好 &lt;b&gt;话题&lt;/b&gt;</a>"))
      << list;
  EXPECT_TRUE(Has(list, "<td>2024-05-01</td>"));
  EXPECT_FALSE(Has(list, "第二个"));

  // Bob's favourite cannot be deleted from Alice's visit, whatever the form says.
  host.PostForm("/showfavor.asp", {{"action", "deletefavor"},
                                   {"delete", std::to_string(second)},
                                   {"delete", "1 or 1=1"},
                                   {"username", "bob"}});
  host.Run(&Corkboard::Showfavor);
  EXPECT_EQ(Count("username='bob'"), 1);
  EXPECT_EQ(Count("username='alice'"), 1);

  host.PostForm("/showfavor.asp", {{"action", "deletefavor"}, {"Delete", std::to_string(topic)}});
  EXPECT_TRUE(
      Has(host.Run(&Corkboard::Showfavor), "<tr><td><p><b>没有发现收藏！</b></p></td></tr>"));
  EXPECT_EQ(Count("username='alice'"), 0);
  EXPECT_EQ(Count("username='bob'"), 1);
}

TEST_F(Favourites, ListPagesAreBounded) {
  host.Configure({{"PageSize", "2"}});
  for (int i = 0; i < 5; ++i) {
    const int64_t id = board.AddTopic("棋牌", "bob", "题" + std::to_string(i), "x");
    board.Exec("insert into favor (username,postid,favordate) values ('alice'," +
               std::to_string(id) + ",'2024-05-0" + std::to_string(i + 1) + " 08:00:00')");
  }
  SignIn("alice", "pw1");
  struct Case {
    const char* page;
    const char* first;  // newest favourite first
    const char* absent;
  };
  const Case cases[] = {{"1", "题4", "题2"}, {"99", "题0", "题2"}, {"-1", "题4", "题0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    host.Get(std::string("/showfavor.asp?page=") + c.page);
    const std::string page = host.Run(&Corkboard::Showfavor);
    EXPECT_TRUE(Has(page, c.first)) << page;
    EXPECT_FALSE(Has(page, c.absent));
  }
}

struct Subscriptions : Favourites {
  std::string Submit(const test::FormFields& form) {
    host.PostForm("/subscibe.asp", form);
    return host.Run(&Corkboard::subscibe);
  }
};

TEST_F(Subscriptions, OnlyASignedInVerifiedMember) {
  host.Get("/subscibe.asp");
  EXPECT_TRUE(
      Has(host.Run(&Corkboard::subscibe), "对不起，个人订阅必须登录后才能进行该操作！请先登录！"));
  SignIn("alice", "wrong");
  EXPECT_TRUE(Has(Submit({{"subscibe", "棋牌"}, {"submit", "订阅"}}),
                  "对不起，您没有通过我们的身份认证！请重新登录！"));
  EXPECT_EQ(board.Scalar("select count(*) from subscibe").CLng(), 0);
}

TEST_F(Subscriptions, ReplacedAsAWholeForTheMemberAlone) {
  board.Exec("insert into subscibe (username,forumname) values ('bob','棋牌')");
  SignIn("alice", "pw1");
  const std::string page = Submit({{"subscibe", "棋牌"},
                                   {"subscibe", "密室"},
                                   {"subscibe", "棋牌"},
                                   {"subscibe", "没有的论坛"},
                                   {"submit", "订阅"},
                                   {"username", "bob"}});
  EXPECT_TRUE(Has(page, "<input type=checkbox name=subscibe value=\"棋牌\" checked>棋牌(下棋)"))
      << page;
  EXPECT_TRUE(Has(page, "<input type=checkbox name=subscibe value=\"灌水乐园\">灌水乐园(随便聊)"));
  EXPECT_TRUE(Has(page, "<b>内部</b>"));
  EXPECT_EQ(board.Scalar("select count(*) from subscibe where username='alice'").CLng(), 2);
  EXPECT_EQ(board.Scalar("select count(*) from subscibe where username='bob'").CLng(), 1);

  // GetSubscibeList: columns by rows; nothing at all for a member without subscriptions.
  host.Get("/");
  Variant alice, carol;
  host.RunWith<Corkboard>([&](Corkboard& p) {
    alice = p.GetSubscibeList(Variant("alice"));
    carol = p.GetSubscibeList(Variant("carol"));
  });
  ASSERT_EQ(alice.type(), VType::kArray);
  EXPECT_EQ(alice.AsArray().cols(), 2);  // one column of the array per row
  const std::set<std::string> forums{alice.AsArray().at(1, 0).Str(),
                                     alice.AsArray().at(1, 1).Str()};
  EXPECT_EQ(forums, (std::set<std::string>{"棋牌", "密室"}));
  EXPECT_TRUE(carol.IsEmpty());

  for (const char* button : {"取消订阅", ""}) {
    SCOPED_TRACE(button);
    Submit({{"subscibe", "棋牌"}, {"cancelsubscibe", button}});
    EXPECT_EQ(board.Scalar("select count(*) from subscibe where username='alice'").CLng(), 0);
  }
  EXPECT_EQ(board.Scalar("select count(*) from subscibe where username='bob'").CLng(), 1);
}

}  // namespace
}  // namespace cb
