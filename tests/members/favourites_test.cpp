// Favourites and subscriptions: each member's own, changed only by a confirmed POST.
#include <set>

#include "support/page_test.h"

namespace cb {
namespace {

struct Favourites : test::BoardTest {
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
  std::string AddFavourite(int64_t id, FormFields identity = {}) {
    identity.emplace_back("id", std::to_string(id));
    return host.PostForm("/favor.asp", identity).Run(&Corkboard::Favor);
  }
  long Count(const std::string& where) {
    return board.Scalar("select count(*) from favor where " + where).CLng();
  }
};

TEST_F(Favourites, AGetOnlyShowsTheConfirmingForm) {
  host.Get("/favor.asp?id=" + std::to_string(topic) + "&GroupName=灌水乐园&Subject=<i>好</i>");
  EXPECT_GOLDEN("favourites/confirm_visitor", host.Run(&Corkboard::Favor));
  host.SignIn("alice", "pw1");
  host.Get("/favor.asp?id=" + std::to_string(topic));
  EXPECT_GOLDEN("favourites/confirm_member", host.Run(&Corkboard::Favor));
  EXPECT_EQ(Count("1=1"), 0);
}

TEST_F(Favourites, AddingByFormOrSession) {
  std::string pages =
      GoldenCase("by form", AddFavourite(topic, {{"UserName", " alice "}, {"Password", "pw1"}}));
  EXPECT_EQ(Count("username='alice' and postid=" + std::to_string(topic)), 1);
  // The checked pair stays with the visit, without signing it in; the id is renewed.
  EXPECT_EQ(host.session().Get("UserName").Str(), "alice");
  EXPECT_TRUE(host.session().Get("Login").IsEmpty());
  EXPECT_TRUE(host.session().TakeRenewal());

  host.SignIn("bob", "pw2");
  pages +=
      GoldenCase("by session", AddFavourite(topic, {{"UserName", "alice"}, {"Password", "pw1"}}));
  EXPECT_GOLDEN("favourites/added", pages);
  EXPECT_EQ(Count("username='bob'"), 1);
}

TEST_F(Favourites, Refusals) {
  const FormFields alice = {{"UserName", "alice"}, {"Password", "pw1"}};
  const std::pair<std::string, FormFields> cases[] = {
      {"abc", alice},
      {"0", alice},
      {std::to_string(reply), alice},
      {"99999", alice},
      {std::to_string(secret), alice},
      {std::to_string(topic), {{"UserName", "alice"}, {"Password", "x"}}},
  };
  std::string pages;
  for (const auto& [id, identity] : cases) {
    host.PostForm("/favor.asp", WithChanges(identity, {{"id", id}}));
    pages += GoldenCase(id, host.Run(&Corkboard::Favor));
  }
  EXPECT_EQ(Count("1=1"), 0);
  AddFavourite(topic, alice);
  pages += GoldenCase("twice", AddFavourite(topic, alice));
  EXPECT_GOLDEN("favourites/refusals", pages);
  EXPECT_EQ(Count("1=1"), 1);
}

TEST_F(Favourites, EachMemberSeesAndDeletesOnlyHisOwn) {
  const int64_t second = board.AddTopic("棋牌", "alice", "第二个", "x");
  board.Exec("insert into favor (username,postid,favordate) values ('alice'," +
             std::to_string(topic) + ",'2024-05-01 08:00:00')");
  board.Exec("insert into favor (username,postid,favordate) values ('bob'," +
             std::to_string(second) + ",'2024-05-02 08:00:00')");

  std::string pages =
      GoldenCase("sign-in form", host.Get("/showfavor.asp").Run(&Corkboard::Showfavor));
  for (const char* password : {"no", "pw1"}) {
    host.PostForm("/showfavor.asp",
                  {{"action", "chkUser"}, {"UserName", "alice"}, {"Password", password}});
    pages += GoldenCase(password, host.Run(&Corkboard::Showfavor));
  }

  // Bob's favourite cannot be deleted from Alice's visit, whatever the form says.
  host.PostForm("/showfavor.asp", {{"action", "deletefavor"},
                                   {"delete", std::to_string(second)},
                                   {"delete", "1 or 1=1"},
                                   {"username", "bob"}});
  host.Run(&Corkboard::Showfavor);
  EXPECT_EQ(Count("username='bob'"), 1);
  EXPECT_EQ(Count("username='alice'"), 1);

  host.PostForm("/showfavor.asp", {{"action", "deletefavor"}, {"Delete", std::to_string(topic)}});
  pages += GoldenCase("after deleting", host.Run(&Corkboard::Showfavor));
  EXPECT_GOLDEN("favourites/list", pages);
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
  host.SignIn("alice", "pw1");
  std::string pages;  // newest favourite first
  for (const char* page : {"1", "99", "-1"}) {
    host.Get(std::string("/showfavor.asp?page=") + page);
    pages += GoldenCase(page, host.Run(&Corkboard::Showfavor));
  }
  EXPECT_GOLDEN("favourites/pages", pages);
}

struct Subscriptions : Favourites {
  std::string Submit(const FormFields& form) {
    return host.PostForm("/subscibe.asp", form).Run(&Corkboard::subscibe);
  }
};

TEST_F(Subscriptions, OnlyASignedInVerifiedMember) {
  std::string pages = GoldenCase("guest", host.Get("/subscibe.asp").Run(&Corkboard::subscibe));
  host.SignIn("alice", "wrong");
  pages += GoldenCase("wrong password", Submit({{"subscibe", "棋牌"}, {"submit", "订阅"}}));
  EXPECT_GOLDEN("favourites/subscription_refused", pages);
  EXPECT_EQ(board.Scalar("select count(*) from subscibe").CLng(), 0);
}

TEST_F(Subscriptions, ReplacedAsAWholeForTheMemberAlone) {
  board.Exec("insert into subscibe (username,forumname) values ('bob','棋牌')");
  host.SignIn("alice", "pw1");
  const std::string page = Submit(test::FieldsOf(
      "subscibe=棋牌&subscibe=密室&subscibe=棋牌&subscibe=没有的论坛&submit=订阅&username=bob",
      "&"));
  EXPECT_GOLDEN("favourites/subscriptions", page);
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
