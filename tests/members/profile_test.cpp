// The profile page (sign-in form, edit form, save and its cookies), a member's public view and the
// preferences page, through the fake host on an in-memory board.
#include "frame/procedures.h"
#include "members/member_pages.h"
#include "support/page_test.h"

namespace cb {
namespace {

struct ProfilePage : test::BoardTest {
  void SetUp() override {
    host.Configure({{"BBName", "测试论坛"}});
    board.AddMember("alice", "pw1", {.email = "alice@example.com"});
    board.AddMember("bob", "pw2", {.email = "bob@example.com"});
    board.Exec(
        "update register set oicq='12345',location='北京 <b>',url='http://a.example/',"
        "interests='围棋',signature='签名 <script>',emailview=1,allowmassmail=0,daysprune=10 "
        "where username='alice'");
  }
  static FormFields SaveForm(FormFields changes = {}) {
    return WithChanges(
        test::FieldsOf("action=check&username=alice&password=pw1&Password1=pw1&OldPassword=&"
                       "Email=alice@example.com&OICQ=12345&ICQ=&Location=上海&Occupation=教师&"
                       "URL=http://alice.example/&Interests=象棋&EmailView=no&Signature=新的签名&"
                       "AllowMassMail=yes",
                       "&"),
        changes);
  }
  std::string Post(const FormFields& form) {
    return host.PostForm("/profile.asp", form).Run(&Corkboard::Profile);
  }
  std::string Stored(const std::string& column, const std::string& user = "alice") {
    return board.Scalar("select " + column + " from register where username='" + user + "'").Str();
  }
};

TEST_F(ProfilePage, GoldenForms) {
  host.Get("/profile.asp").Cookie("UserName", "alice").Cookie("Password", "pw\"1");
  EXPECT_GOLDEN("profile/identity_form", host.Run(&Corkboard::Profile));
  host.SignIn("alice", "pw1");
  EXPECT_GOLDEN("profile/edit_form", host.Get("/profile.asp").Run(&Corkboard::Profile));
}

TEST_F(ProfilePage, SignInFormChecksThePasswordAndKeepsTheMember) {
  std::string pages = GoldenCase(
      "wrong password", Post({{"action", "chkUser"}, {"username", "alice"}, {"password", "x"}}));
  EXPECT_FALSE(host.session().TakeRenewal());
  EXPECT_TRUE(host.session().Get("UserName").IsEmpty());

  pages += GoldenCase("name in other case, blanks around",
                      Post({{"action", "chkUser"}, {"username", " ALICE "}, {"password", "pw1"}}));
  EXPECT_GOLDEN("profile/sign_in", pages);
  EXPECT_TRUE(host.session().TakeRenewal());
  EXPECT_EQ(host.session().Get("UserName").Str(), "alice");
  // The save goes to the member just checked.
  Post(SaveForm());
  EXPECT_EQ(Stored("location"), "上海");
}

TEST_F(ProfilePage, SaveWritesTheMembersOwnRowAndCookies) {
  host.SignIn("alice", "pw1");
  host.PostForm("/profile.asp", SaveForm({{"Signature", std::string(600, 's')}}))
      .Cookie("NameStorage", "YES");
  // The page, the cookies it sets and the rows stored (the signature cut to 500 characters);
  // without the cookie, name and password cookies are deleted.
  std::string out = GoldenCase("names kept", host.Run(&Corkboard::Profile));
  out += test::SetCookies(host) +
         test::Rows(board,
                    "select username,location,occupation,url,interests,oicq,signature,emailview,"
                    "allowmassmail,namestorage from register order by username");
  Post(SaveForm());
  EXPECT_GOLDEN("profile/saved", out + GoldenCase("names not kept", test::SetCookies(host)));
  EXPECT_EQ(Stored("namestorage"), "False");
}

TEST_F(ProfilePage, PasswordOrAddressChangeNeedsTheCurrentPassword) {
  host.SignIn("alice", "pw1");
  std::string pages = GoldenCase("no current password",
                                 Post(SaveForm({{"password", "new2"}, {"Password1", "new2"}})));
  EXPECT_EQ(Stored("password"), "pw1");
  // Another member's address is refused like at registration.
  pages += GoldenCase("address taken",
                      Post(SaveForm({{"Email", "BOB@example.com"}, {"OldPassword", "pw1"}})));
  EXPECT_GOLDEN("profile/current_password", pages);

  Post(SaveForm({{"password", "new2"}, {"Password1", "new2"}, {"OldPassword", "pw1"}}));
  EXPECT_EQ(Stored("password"), "new2");
  // The visit goes on with the new password, under a new id.
  EXPECT_EQ(host.session().Get("Password").Str(), "new2");
  EXPECT_TRUE(host.session().TakeRenewal());
}

TEST_F(ProfilePage, WrongCurrentPasswordsCountAsFailedSignIns) {
  host.SignIn("alice", "pw1");
  const FormFields guess = {{"Email", "x@example.com"}, {"OldPassword", "guess"}};
  for (int i = 0; i < 10; ++i) Post(SaveForm(guess));
  EXPECT_TRUE(Has(Post(SaveForm({{"Email", "x@example.com"}, {"OldPassword", "pw1"}})),
                  kProfileOldPassword));
  EXPECT_EQ(Stored("email"), "alice@example.com");
}

TEST_F(ProfilePage, SaveNeverReachesAnotherMembersRow) {
  // A visit that checked no one, then alice's, each sending bob's name in the hidden field.
  for (const bool signed_in : {false, true}) {
    SCOPED_TRACE(signed_in);
    for (const char* key : {"Login", "UserName", "Password"}) host.session().Set(key, Variant());
    if (signed_in) host.SignIn("alice", "pw1");
    const std::string page =
        Post(SaveForm({{"username", "bob"}, {"password", "pw2"}, {"Password1", "pw2"}}));
    EXPECT_TRUE(Has(page, kProfileNotMember)) << page;
    EXPECT_EQ(Stored("location", "bob"), "");
    EXPECT_EQ(Stored("location"), "北京 <b>");
  }
}

// The first and the last of the form's own checks (the rest: tests/data/members.txt).
TEST_F(ProfilePage, RefusalsAreErrorPages) {
  host.SignIn("alice", "pw1");
  const FormFields cases[] = {{{"password", ""}, {"Password1", ""}}, {{"ICQ", "12<b>"}}};
  std::string pages;
  for (const FormFields& changes : cases) {
    pages += GoldenCase(changes[0].first, Post(SaveForm(changes)));
    EXPECT_EQ(Stored("location"), "北京 <b>");
    EXPECT_TRUE(host.response().cookies().empty());
  }
  EXPECT_GOLDEN("profile/refusals", pages);
}

TEST_F(ProfilePage, MemberViewShowsWhatTheMemberChoseAsText) {
  board.Exec(
      "update register set status='administrator',postcount=12,jf=30,icq='777' "
      "where username='alice'");
  host.Get("/viewuser.asp?userName=alice");
  EXPECT_GOLDEN("viewuser/member", host.Run(&Corkboard::ViewUser));

  // A hidden address, a home page without its scheme.
  board.Exec("update register set url='www.bob.example' where username='bob'");
  host.Get("/viewuser.asp?userName=bob");
  EXPECT_GOLDEN("viewuser/hidden_address", host.Run(&Corkboard::ViewUser));

  host.Get("/viewuser.asp?userName=nobody'");
  EXPECT_GOLDEN("viewuser/nobody", host.Run(&Corkboard::ViewUser));
}

TEST_F(ProfilePage, PreferencesShowTheCookiesSentAndWriteTheChosenOnes) {
  // Each page, then the cookies it set.
  const auto run = [&] {
    const std::string page = host.Run(&Corkboard::CorkboardOption);
    return page + "\n" + test::SetCookies(host);
  };
  host.Get("/option.asp").Cookie("DaysPrune", "-5").Cookie("NameStorage", "no");
  EXPECT_GOLDEN("profile/preferences", run());
  host.PostForm("/option.asp",
                {{"action", "PrefsSubmit"}, {"NameStorage", "no"}, {"DaysPrune", "30"}})
      .Cookie("DaysPrune", "abc");
  // The page reflects what the browser sent: no valid day cookie, so the board's default.
  std::string saved = GoldenCase("names not kept", run());
  host.PostForm("/option.asp", {{"NameStorage", "yes"}, {"DaysPrune", "x"}});
  EXPECT_GOLDEN("profile/preferences_saved", saved + GoldenCase("bad days, names kept", run()));
}

// The number is shown only when it is one of digits; anything else is refused, never echoed.
TEST(MessengerPage, ShowsOnlyANumberOfDigits) {
  std::string pages;
  for (const char* uin : {"12345", "", "12a", "');alert(1);//", "12345678901"}) {
    FakeHost host;
    host.Get(std::string("/cbkmisc.asp?action=icqmessage&UIN=") + uin);
    pages += GoldenCase(uin, host.Run(&Corkboard::IcqMessage));
  }
  EXPECT_GOLDEN("member/messenger", pages);
}

}  // namespace
}  // namespace cb
