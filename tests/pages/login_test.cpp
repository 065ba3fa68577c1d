// Sign-in, the private-forum identity check and the address lookup. A change of identity asks
// the host for a new session id; a refusal does not.
#include "support/page_test.h"

namespace cb {
namespace {

// A board with members and private forums, and one visitor of it.
struct Visit : test::HostedBoard {
  Visit() {
    board.AddMember("admin", "pw-admin", {.status = "administrator"});
    board.AddMember("mod", "pw-mod", {.status = "Moderater"});
    board.AddMember("member", "pw-member");
    board.AddMember("o'neil", "pw-o");
    board.AddModerator("密室", "mod");
    board.AddCatalogForum("私家", "密室", {.restrict = "private", .forumpassword = "sesame"});
    board.AddCatalogForum("私家", "客厅", {.restrict = "private"});
    board.AddCatalogForum("私家", "书房", {.restrict = "private", .forumpassword = "key"});
  }
  std::string Post(void (Corkboard::*method)(), const FormFields& form) {
    return host.PostForm("/cbkmisc.asp", form).Run(method);
  }
};

// A new identity gets a new session id; the session keeps the trimmed name and password.
TEST(SignIn, LoginSignsInOnlyAMemberWithItsPassword) {
  std::string pages;
  for (const auto& [user, password] : {std::pair{"member", "pw-member"},
                                       {"  member ", " pw-member  "},
                                       {"o'neil", "pw-o"},
                                       {"admin", "pw-admin"},
                                       {"   ", "pw-member"},
                                       {"member", ""},
                                       {"member", "wrong"},
                                       {"nobody", "pw-member"},
                                       {"<b>member</b>", "pw-member"},
                                       {"member' or '1'='1", "x' or '1'='1"}}) {
    Visit v;
    const std::string page = v.Post(
        &Corkboard::Login, {{"action", "login"}, {"UserName", user}, {"Password", password}});
    const Session& session = v.host.session();
    pages += GoldenCase(std::string(user) + "/" + password,
                        page + "\nredirect " + v.host.redirect().value_or("none") + ", new id " +
                            (v.host.session().TakeRenewal() ? "yes" : "no") + ", session " +
                            session.Get("Login").Str() + "|" + session.Get("UserName").Str() + "|" +
                            session.Get("Password").Str());
  }
  EXPECT_GOLDEN("members/login", pages);
}

TEST(SignIn, IDCheckAdmitsAdministratorsModeratorsAndHoldersOfTheForumPassword) {
  std::string pages;
  const auto check = [&](const char* what, const char* user, const char* password,
                         const char* forum, const char* forum_password, bool admitted) {
    SCOPED_TRACE(what);
    Visit v;
    pages += GoldenCase(what,
                        v.Post(&Corkboard::IDCheck, {{"action", "idcheck"},
                                                     {"UserName", user},
                                                     {"Password", password},
                                                     {"forum", forum},
                                                     {"ForumPassword", forum_password},
                                                     {"url", "/list.asp?GroupName=%C3%DC%CA%D2"}}));
    EXPECT_EQ(v.host.session().Get(forum).IsEmpty(), !admitted);
    EXPECT_EQ(v.host.session().TakeRenewal(), admitted);
  };
  check("administrator, any forum", "admin", "pw-admin", "密室", "", true);
  check("moderator of the forum", "mod", "pw-mod", "密室", "", true);
  check("moderator elsewhere needs the password", "mod", "pw-mod", "书房", "", false);
  check("member with the forum password", "member", "pw-member", "密室", "sesame", true);
  check("member with a wrong forum password", "member", "pw-member", "密室", "sesam", false);
  check("member without a password, forum has one", "member", "pw-member", "密室", "", false);
  check("member, forum without a password", "member", "pw-member", "客厅", "", true);
  check("member giving a password to a forum without one", "member", "pw-member", "客厅", "x",
        false);
  check("wrong member password", "member", "pw-mod", "客厅", "", false);
  check("blank name", "  ", "pw-member", "客厅", "", false);
  EXPECT_GOLDEN("members/idcheck", pages);
}

TEST(SignIn, IDCheckTakesTheSignedInSessionOverTheFormFields) {
  Visit v;
  auto& host = v.host;
  host.SignIn("admin", "pw-admin");
  host.PostForm("/cbkmisc.asp", {{"action", "idcheck"},
                                 {"UserName", "nobody"},
                                 {"Password", "nothing"},
                                 {"forum", "密室"},
                                 {"url", "/list.asp"}});
  host.Run(&Corkboard::IDCheck);
  EXPECT_TRUE(host.session().Get("密室").CBool());
}

// Addresses elsewhere are in tests/data/address_payloads.txt (hostile_visitor_test).
TEST(SignIn, IDCheckReturnsToAddressesOfThisBoardAsText) {
  // The return addresses are the golden file's cases; the link and the refresh name each as text.
  test::ExpectGoldenCases("members/idcheck_return", [](const std::string& url) {
    Visit v;
    return v.Post(
        &Corkboard::IDCheck,
        {{"UserName", "admin"}, {"Password", "pw-admin"}, {"forum", "密室"}, {"url", url}});
  });
}

TEST(SignIn, GetIPShowsThePostsAddressToAdministratorsAndModerators) {
  Visit v;
  v.board.Exec(
      "insert into post (forumname,username,subject,message,ip,posttime) values "
      "('密室','member','<i>题目</i>','[b]正文[/b]','10.20.30.40','2024-05-01 12:00:00')");
  const std::string id = v.board.Scalar("select max(postid) from post").Str();
  std::string pages;
  v.host.Get("/cbkmisc.asp?action=getip&forum=密室&topic=" + id);
  pages += GoldenCase("a visitor first sees the form", v.host.Run(&Corkboard::GetIP));
  const auto lookup = [&](const std::string& what, const char* user, const char* password,
                          const std::string& topic) {
    pages += GoldenCase(what, v.Post(&Corkboard::GetIP, {{"action", "getip"},
                                                         {"Forum", "密室"},
                                                         {"topic", topic},
                                                         {"UserName", user},
                                                         {"Password", password}}));
  };
  lookup("administrator", "admin", "pw-admin", id);
  lookup("moderator of the forum", "mod", "pw-mod", id);
  lookup("ordinary member", "member", "pw-member", id);
  lookup("not a member", "member", "x", id);
  for (const char* topic : {"abc", "0", "-3", "", "99999999999"}) {
    lookup(std::string("topic ") + topic, "admin", "pw-admin", topic);
  }
  EXPECT_GOLDEN("members/getip", pages);
}

}  // namespace
}  // namespace cb
