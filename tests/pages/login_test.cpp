// Sign-in (Login), the private-forum identity check (IDCheck) with its return address, and the
// moderators' address lookup (GetIP).
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "pages/board_seed.h"
#include "runtime/convert.h"
#include "support/fake_host.h"
#include "support/page_text.h"

namespace cb {
namespace {

using test::FakeHost;
using test::FormFields;
using test::Has;
using test::SeededBoard;

void SeedMembers(SeededBoard& board) {
  board.Member("admin", "pw-admin", "administrator");
  board.Member("mod", "pw-mod", "Moderater");
  board.Member("member", "pw-member");
  board.Member("o''neil", "pw-o");
  board.Exec("insert into moderated (forum,moderater) values ('密室','mod')");
  board.Exec(
      "insert into forum (forumname,catalog,sequence,[restrict],forumpassword) values "
      "('密室','私家',1,'private','sesame')");
  board.Exec(
      "insert into forum (forumname,catalog,sequence,[restrict]) values "
      "('客厅','私家',2,'private')");
  board.Exec(
      "insert into forum (forumname,catalog,sequence,[restrict],forumpassword) values "
      "('书房','私家',3,'private','key')");
}

TEST(Login, SignsInOnlyAMemberWithItsPassword) {
  struct Case {
    const char* user;
    const char* password;
    const char* message;  // empty: signed in
  };
  const char* kEmpty = "请输入您的用户名和密码！";
  const char* kUnknown = "对不起，您不是我们论坛的注册用户，请先<a href=signup.asp>注册</a>";
  const Case cases[] = {
      {"member", "pw-member", ""},
      {"  member ", " pw-member  ", ""},
      {"o'neil", "pw-o", ""},
      {"admin", "pw-admin", ""},
      {"   ", "pw-member", kEmpty},
      {"member", "", kEmpty},
      {"member", "wrong", kUnknown},
      {"nobody", "pw-member", kUnknown},
      {"<b>member</b>", "pw-member", kUnknown},
      {"member' or '1'='1", "x' or '1'='1", kUnknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    FakeHost host;
    SeededBoard board(host);
    SeedMembers(board);
    host.PostForm("/cbkmisc.asp",
                  {{"action", "login"}, {"UserName", c.user}, {"Password", c.password}});
    const std::string page = host.Run(&Corkboard::Login);
    if (*c.message == '\0') {
      EXPECT_EQ(host.redirect(), "Default.htm");
      EXPECT_EQ(page, "");
      EXPECT_EQ(host.session().Get("Login").CInt(), 1);
      EXPECT_EQ(host.session().Get("UserName").Str(), Trim(c.user));
      EXPECT_EQ(host.session().Get("Password").Str(), Trim(c.password));
    } else {
      EXPECT_FALSE(host.redirect());
      EXPECT_TRUE(Has(page, c.message)) << page;
      EXPECT_FALSE(Has(page, "<b>member</b>"));
      EXPECT_TRUE(host.session().Get("Login").IsEmpty());
    }
  }
}

TEST(IDCheck, AdmitsAdministratorsModeratorsAndHoldersOfTheForumPassword) {
  struct Case {
    const char* what;
    const char* user;
    const char* password;
    const char* forum;
    const char* forum_password;
    const char* message;  // empty: admitted
  };
  const char* kNotMember = "对不起，您不是本论坛的注册用户，请注册后再使用！";
  const char* kRefused = "对不起，您不能进入该身份认证论坛";
  const Case cases[] = {
      {"administrator, any forum", "admin", "pw-admin", "密室", "", ""},
      {"moderator of the forum", "mod", "pw-mod", "密室", "", ""},
      {"moderator elsewhere needs the password", "mod", "pw-mod", "书房", "", kRefused},
      {"member with the forum password", "member", "pw-member", "密室", "sesame", ""},
      {"member with a wrong forum password", "member", "pw-member", "密室", "sesam", kRefused},
      {"member without a password, forum has one", "member", "pw-member", "密室", "", kRefused},
      {"member, forum without a password", "member", "pw-member", "客厅", "", ""},
      {"member giving a password to a forum without one", "member", "pw-member", "客厅", "x",
       kRefused},
      {"wrong member password", "member", "pw-mod", "客厅", "", kNotMember},
      {"blank name", "  ", "pw-member", "客厅", "", kNotMember},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    SeededBoard board(host);
    SeedMembers(board);
    host.PostForm("/cbkmisc.asp", {{"action", "idcheck"},
                                   {"UserName", c.user},
                                   {"Password", c.password},
                                   {"forum", c.forum},
                                   {"ForumPassword", c.forum_password},
                                   {"url", "/list.asp?GroupName=%C3%DC%CA%D2"}});
    const std::string page = host.Run(&Corkboard::IDCheck);
    EXPECT_TRUE(page.ends_with("</body></html>"));
    if (*c.message == '\0') {
      EXPECT_TRUE(host.session().Get(c.forum).CBool());
      EXPECT_TRUE(
          Has(page,
              "谢谢你！我们已经确认了你的身份并允许你进入此论坛，您将在2秒内被自动转送到该论坛。"));
      EXPECT_TRUE(Has(page, "URL='/list.asp?GroupName=%C3%DC%CA%D2'"));
    } else {
      EXPECT_TRUE(host.session().Get(c.forum).IsEmpty());
      EXPECT_TRUE(Has(page, c.message)) << page;
    }
  }
}

TEST(IDCheck, SignedInSessionWinsOverTheFormFields) {
  FakeHost host;
  SeededBoard board(host);
  SeedMembers(board);
  host.session().Set("Login", Variant(int16_t{1}));
  host.session().Set("UserName", Variant("admin"));
  host.session().Set("Password", Variant("pw-admin"));
  host.PostForm("/cbkmisc.asp", {{"action", "idcheck"},
                                 {"UserName", "nobody"},
                                 {"Password", "nothing"},
                                 {"forum", "密室"},
                                 {"url", "/list.asp"}});
  host.Run(&Corkboard::IDCheck);
  EXPECT_TRUE(host.session().Get("密室").CBool());
}

TEST(IDCheck, ReturnsOnlyToAddressesOfThisBoard) {
  struct Case {
    const char* url;
    const char* target;  // as written into the refresh
  };
  const Case cases[] = {
      {"/list.asp?GroupName=%C3%DC%CA%D2&DaysPrune=5",
       "/list.asp?GroupName=%C3%DC%CA%D2&DaysPrune=5"},
      {"list.asp?GroupName=x", "list.asp?GroupName=x"},
      {"http://evil.example/", "default.asp"},
      {"HTTPS://evil.example/x", "default.asp"},
      {"//evil.example/x", "default.asp"},
      {"/\\evil.example/x", "default.asp"},
      {"javascript:alert(1)", "default.asp"},
      {" //evil.example", "default.asp"},
      {"\t/\t/evil.example", "default.asp"},
      {"", "default.asp"},
      {"/list.asp?x=\"><script>'", "/list.asp?x=%22%3E%3Cscript%3E%27"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    FakeHost host;
    SeededBoard board(host);
    SeedMembers(board);
    host.PostForm("/cbkmisc.asp", {{"action", "idcheck"},
                                   {"UserName", "admin"},
                                   {"Password", "pw-admin"},
                                   {"forum", "密室"},
                                   {"url", c.url}});
    const std::string page = host.Run(&Corkboard::IDCheck);
    EXPECT_TRUE(Has(page, std::string("URL='") + c.target + "'")) << page;
    EXPECT_TRUE(Has(page, std::string("<A HREF=\"") + c.target + "\">")) << page;
    EXPECT_FALSE(Has(page, "evil.example"));
    EXPECT_FALSE(Has(page, "<script>"));
  }
}

TEST(GetIP, ShowsThePostsAddressToAdministratorsAndModerators) {
  struct Case {
    const char* what;
    bool post;
    FormFields form;
    const char* expected;
  };
  const Case cases[] = {
      {"a visitor first sees the form", false, {}, "为了查看此贴的登录 IP，先在下面认证你的身份。"},
      {"administrator",
       true,
       {{"UserName", "admin"}, {"Password", "pw-admin"}},
       "<b>10.20.30.40</b>"},
      {"moderator of the forum",
       true,
       {{"UserName", "mod"}, {"Password", "pw-mod"}},
       "<b>10.20.30.40</b>"},
      {"ordinary member",
       true,
       {{"UserName", "member"}, {"Password", "pw-member"}},
       "对不起，您没有执行这个操作的权限"},
      {"not a member",
       true,
       {{"UserName", "member"}, {"Password", "x"}},
       "对不起，您不是本系统的注册用户"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    SeededBoard board(host);
    SeedMembers(board);
    board.Exec(
        "insert into post (forumname,username,subject,message,ip,posttime) values "
        "('密室','member','<i>题目</i>','[b]正文[/b]','10.20.30.40','2024-05-01 12:00:00')");
    const std::string id = board.Scalar("select max(postid) from post").Str();
    FormFields form = c.form;
    form.push_back({"action", "getip"});
    form.push_back({"Forum", "密室"});
    form.push_back({"topic", id});
    if (c.post) {
      host.PostForm("/cbkmisc.asp", form);
    } else {
      host.Get("/cbkmisc.asp?action=getip&forum=密室&topic=" + id);
    }
    const std::string page = host.Run(&Corkboard::GetIP);
    EXPECT_TRUE(Has(page, c.expected)) << page;
    if (std::string(c.expected) == "<b>10.20.30.40</b>") {
      EXPECT_TRUE(Has(page, "<a href=NewsDetail.asp?id=" + id + ">&lt;i&gt;题目&lt;/i&gt;</a>"));
      EXPECT_TRUE(Has(page, "<b>正文</b>"));
      EXPECT_TRUE(Has(page, "由member发表于2024-05-01"));
    }
    EXPECT_TRUE(page.ends_with("</body></html>"));
  }
}

TEST(GetIP, RefusesATopicThatIsNotAPositiveNumber) {
  for (const char* topic : {"abc", "0", "-3", "", "99999999999"}) {
    SCOPED_TRACE(topic);
    FakeHost host;
    SeededBoard board(host);
    SeedMembers(board);
    host.PostForm("/cbkmisc.asp", {{"action", "getip"},
                                   {"Forum", "密室"},
                                   {"topic", topic},
                                   {"UserName", "admin"},
                                   {"Password", "pw-admin"}});
    EXPECT_TRUE(Has(host.Run(&Corkboard::GetIP), "参数错误！"));
  }
}

}  // namespace
}  // namespace cb
