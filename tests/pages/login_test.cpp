// Sign-in (Login), the private-forum identity check (IDCheck) with its return address, and the
// moderators' address lookup (GetIP). The pages of each table are in one golden file. A change
// of identity asks the host for a new session id; a refusal does not.
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "support/fake_host.h"
#include "support/golden.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FormFields;
using test::GoldenCase;

// A board with members and private forums, and one visitor of it.
struct Visit {
  test::FakeHost host;
  test::TestBoard board{host};

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
    host.PostForm("/cbkmisc.asp", form);
    return host.Run(method);
  }
};

TEST(SignIn, LoginSignsInOnlyAMemberWithItsPassword) {
  struct Case {
    const char* user;
    const char* password;
    bool signed_in;
  };
  const Case cases[] = {
      {"member", "pw-member", true},
      {"  member ", " pw-member  ", true},
      {"o'neil", "pw-o", true},
      {"admin", "pw-admin", true},
      {"   ", "pw-member", false},
      {"member", "", false},
      {"member", "wrong", false},
      {"nobody", "pw-member", false},
      {"<b>member</b>", "pw-member", false},
      {"member' or '1'='1", "x' or '1'='1", false},
  };
  std::string pages;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    Visit v;
    auto& host = v.host;
    const std::string page = v.Post(
        &Corkboard::Login, {{"action", "login"}, {"UserName", c.user}, {"Password", c.password}});
    // A new identity gets a new session id; the session keeps the trimmed name and password.
    const Session& session = host.session();
    pages += GoldenCase(std::string(c.user) + "/" + c.password,
                        page + "\nredirect " + host.redirect().value_or("none") + ", new id " +
                            (host.session().TakeRenewal() ? "yes" : "no") + ", session " +
                            session.Get("Login").Str() + "|" + session.Get("UserName").Str() + "|" +
                            session.Get("Password").Str());
    EXPECT_EQ(host.redirect().has_value(), c.signed_in);
  }
  EXPECT_GOLDEN("members/login", pages);
}

TEST(SignIn, IDCheckAdmitsAdministratorsModeratorsAndHoldersOfTheForumPassword) {
  struct Case {
    const char* what;
    const char* user;
    const char* password;
    const char* forum;
    const char* forum_password;
    bool admitted;
  };
  const Case cases[] = {
      {"administrator, any forum", "admin", "pw-admin", "密室", "", true},
      {"moderator of the forum", "mod", "pw-mod", "密室", "", true},
      {"moderator elsewhere needs the password", "mod", "pw-mod", "书房", "", false},
      {"member with the forum password", "member", "pw-member", "密室", "sesame", true},
      {"member with a wrong forum password", "member", "pw-member", "密室", "sesam", false},
      {"member without a password, forum has one", "member", "pw-member", "密室", "", false},
      {"member, forum without a password", "member", "pw-member", "客厅", "", true},
      {"member giving a password to a forum without one", "member", "pw-member", "客厅", "x",
       false},
      {"wrong member password", "member", "pw-mod", "客厅", "", false},
      {"blank name", "  ", "pw-member", "客厅", "", false},
  };
  std::string pages;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Visit v;
    pages += GoldenCase(c.what,
                        v.Post(&Corkboard::IDCheck, {{"action", "idcheck"},
                                                     {"UserName", c.user},
                                                     {"Password", c.password},
                                                     {"forum", c.forum},
                                                     {"ForumPassword", c.forum_password},
                                                     {"url", "/list.asp?GroupName=%C3%DC%CA%D2"}}));
    EXPECT_EQ(v.host.session().Get(c.forum).IsEmpty(), !c.admitted);
    EXPECT_EQ(v.host.session().TakeRenewal(), c.admitted);
  }
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
  struct Case {
    const char* what;
    const char* user;  // nullptr: a GET, which shows the form
    const char* password;
  };
  const Case cases[] = {
      {"a visitor first sees the form", nullptr, nullptr},
      {"administrator", "admin", "pw-admin"},
      {"moderator of the forum", "mod", "pw-mod"},
      {"ordinary member", "member", "pw-member"},
      {"not a member", "member", "x"},
  };
  std::string pages;
  for (const Case& c : cases) {
    if (c.user) {
      pages += GoldenCase(c.what, v.Post(&Corkboard::GetIP, {{"action", "getip"},
                                                             {"Forum", "密室"},
                                                             {"topic", id},
                                                             {"UserName", c.user},
                                                             {"Password", c.password}}));
    } else {
      v.host.Get("/cbkmisc.asp?action=getip&forum=密室&topic=" + id);
      pages += GoldenCase(c.what, v.host.Run(&Corkboard::GetIP));
    }
  }
  for (const char* topic : {"abc", "0", "-3", "", "99999999999"}) {
    pages += GoldenCase(std::string("topic ") + topic,
                        v.Post(&Corkboard::GetIP, {{"action", "getip"},
                                                   {"Forum", "密室"},
                                                   {"topic", topic},
                                                   {"UserName", "admin"},
                                                   {"Password", "pw-admin"}}));
  }
  EXPECT_GOLDEN("members/getip", pages);
}

}  // namespace
}  // namespace cb
