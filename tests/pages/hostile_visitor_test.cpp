// The pages against a hostile visitor and a returning member: each case is a request and what
// must not happen.
#include <regex>

#include "frame/procedures.h"
#include "frame/throttle.h"
#include "pages/posting_fixture.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "runtime/percent.h"
#include "support/page_test.h"
#include "support/payloads.h"

namespace cb {
namespace {

using test::kForum;

constexpr const char* kPrivate = "密室";

// The value of the first href="…" that starts with prefix, or "" when there is none.
std::string HrefStartingWith(const std::string& page, const std::string& prefix) {
  const size_t start = page.find("href=\"" + prefix);
  if (start == std::string::npos) return "";
  const size_t value = start + 6;
  return page.substr(value, page.find('"', value) - value);
}

// What a browser does to an attribute value: the references the board writes are decoded.
std::string AttributeValue(const std::string& v) {
  std::string out = v;
  for (const auto& [ref, ch] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    out = ReplaceNoCase(out, ref, ch);
  }
  return out;
}

// The value of a script string written with \xNN and \uNNNN escapes only.
std::string ScriptStringValue(const std::string& s) {
  std::string out;
  uint32_t high = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    const size_t digits = s[i + 1] == 'x' ? 2 : 4;
    uint32_t cp = 0;
    for (size_t k = 0; k < digits; ++k) cp = cp * 16 + HexValue(s[i + 2 + k]);
    i += 1 + digits;
    if (cp >= 0xD800 && cp < 0xDC00) {
      high = cp;
      continue;
    }
    if (cp >= 0xDC00 && cp < 0xE000) cp = 0x10000 + ((high - 0xD800) << 10) + (cp - 0xDC00);
    AppendUtf8(out, cp);
  }
  return out;
}

struct HostileVisitor : test::PostingTest {
  int64_t topic = 0;
  int64_t secret = 0;

  void SetUp() override {
    PostingTest::SetUp();
    board.AddMember("root", "pw-root", {.status = "administrator"});
    board.AddMember("mod", "pw-mod", {.status = "Moderater"});
    board.AddModerator(kForum, "mod");
    topic = board.AddTopic(kForum, "bob", "公开的题目", "m");
    secret = board.AddTopic(kPrivate, "bob", "不可告人的题目", "秘密正文");
    board.Exec("update post set ip='10.20.30.40' where postid=" + std::to_string(secret));
  }
  // Each submission comes advance seconds after the previous one (by default past the flood
  // guard).
  std::string Submit(void (Corkboard::*method)(), const FormFields& form,
                     const std::string& address = "127.0.0.1", int advance = 60) {
    host.clock().Advance(advance);
    return host.PostForm("/cbkmisc.asp", form).RemoteAddr(address).Run(method);
  }
  FormFields TopicForm(const std::string& forum) {
    return {{"forum", forum},       {"UserName", "bob"}, {"Password", "pw"},
            {"TopicSubject", "题"}, {"MsgIcon", "1"},    {"Message", "正文"}};
  }
  FormFields ReplyForm(int64_t to, const std::string& forum) {
    return {{"forum", forum},    {"Topic", std::to_string(to)},
            {"UserName", "bob"}, {"Password", "pw"},
            {"MsgIcon", "1"},    {"Message", "回复"}};
  }
};

// ---- Script injection

TEST_F(HostileVisitor, RegistrationTakesOnlyDigitsForMessengerNumbers) {
  host.Configure({{"EMailRegister", "false"}});
  const FormFields form = {{"UserName", "newbie"},     {"password", "p"},     {"password2", "p"},
                           {"Email", "n@example.com"}, {"NameStorage", "no"}, {"DaysPrune", "0"}};
  for (const std::string& payload : test::ReadPayloads("member_field_payloads.txt")) {
    for (const char* field : {"ICQ", "OICQ"}) {
      SCOPED_TRACE(std::string(field) + " " + payload);
      const std::string page = Submit(&Corkboard::RegSubmit, WithChanges(form, {{field, payload}}));
      EXPECT_TRUE(Has(page, kMessengerNumberMessage)) << page;
      EXPECT_EQ(board.Scalar("select count(*) from register where username='newbie'").CLng(), 0);
    }
  }
  Submit(&Corkboard::RegSubmit, WithChanges(form, {{"ICQ", " 0123456789 "}}));
  EXPECT_EQ(board.Scalar("select icq from register where username='newbie'").Str(), "0123456789");
}

// A row stored before numbers were checked: whatever it holds stays inside the script string.
TEST_F(HostileVisitor, StoredMessengerNumberCannotLeaveItsScriptString) {
  const std::regex kAddress(
      "javascript:winopen\\('cbkmisc\\.asp\\?action=icqmessage&UIN=([A-Za-z0-9\\\\]*)'\\)");
  for (const std::string& payload : test::ReadPayloads("member_field_payloads.txt")) {
    SCOPED_TRACE(payload);
    board.Exec("update register set icq='" + SqlQuote(payload) + "' where username='bob'");
    host.Get("/newsdetail.asp?id=" + std::to_string(topic));
    const std::string href = HrefStartingWith(host.Run(&Corkboard::Detail), "javascript:");
    std::smatch m;
    // A browser decodes the attribute, then the escapes of the "javascript:" address.
    const std::string run = PercentDecode(AttributeValue(href), /*plus_is_space=*/false);
    ASSERT_TRUE(std::regex_match(run, m, kAddress)) << href;
    EXPECT_EQ(UrlDecodeGbk(ScriptStringValue(m[1])), payload);
  }
}

TEST_F(HostileVisitor, PrivateForumSignInReturnsOnlyToThisBoard) {
  for (const std::string& payload : test::ReadPayloads("address_payloads.txt")) {
    SCOPED_TRACE(payload);
    const std::string page = Submit(
        &Corkboard::IDCheck,
        {{"UserName", "root"}, {"Password", "pw-root"}, {"forum", kPrivate}, {"url", payload}});
    EXPECT_TRUE(Has(page, "<A HREF=\"default.asp\">")) << page;
    EXPECT_TRUE(Has(page, "URL='default.asp'\">"));
  }
}

// ---- Access control

// A private topic's own page is refused too (detail/refused.html).
TEST_F(HostileVisitor, PostsGoOnlyWhereTheTopicsOwnForumAdmitsThem) {
  board.Exec("update post set status='close' where postid=" + std::to_string(topic));
  const int64_t open_topic = board.AddTopic(kForum, "bob", "开放", "m");
  std::string pages;
  // stored_forum: the forum of the stored post (nullptr: nothing stored)
  const auto check = [&](const char* what, void (Corkboard::*method)(), const FormFields& form,
                         const char* stored_forum) {
    SCOPED_TRACE(what);
    const int64_t before = Posts();
    pages += GoldenCase(what, Submit(method, form));
    EXPECT_EQ(Posts(), before + (stored_forum ? 1 : 0));
    if (stored_forum) {
      EXPECT_EQ(
          board.Scalar("select forumname from post where postid=(select max(postid) from post)")
              .Str(),
          stored_forum);
    }
  };
  check("topic into a missing forum", &Corkboard::posttopic, TopicForm("NoSuchForum<b>"), nullptr);
  check("topic into a private forum", &Corkboard::posttopic, TopicForm(kPrivate), nullptr);
  check("reply to a private topic", &Corkboard::PostReply, ReplyForm(secret, kForum), nullptr);
  check("reply to a closed topic", &Corkboard::PostReply, ReplyForm(topic, kForum), nullptr);
  check("reply naming another forum", &Corkboard::PostReply, ReplyForm(open_topic, kPrivate),
        kForum);
  EXPECT_GOLDEN("posting/outside_rights", pages);
  EXPECT_EQ(board.Scalar("select replycount from forum where forumname='密室'").CLng(), 0);
}

// mod moderates kForum only: the private topic's address is refused whatever forum the form
// names, the public one's shown. An administrator's debug list alone shows whole addresses.
TEST_F(HostileVisitor, AddressLookupAndOnlineDebugFollowTheRowsNotTheForm) {
  board.Exec("update post set ip='10.20.30.40'");
  std::string pages;
  for (const auto& [post, forum] : {std::pair{secret, kForum}, {topic, kPrivate}}) {
    pages += GoldenCase(forum, Submit(&Corkboard::GetIP, {{"Forum", forum},
                                                          {"topic", std::to_string(post)},
                                                          {"UserName", "mod"},
                                                          {"Password", "pw-mod"}}));
  }
  host.Get("/online.asp").RemoteAddr("10.1.2.3").Run(&Corkboard::Online);
  for (const auto& [user, password] :
       {std::pair{"root", "pw-root"}, {"bob", "pw"}, {"root", "pw"}}) {
    host.SignIn(user, password);
    host.Get("/online.asp?action=debug").RemoteAddr("10.9.9.9");
    pages += GoldenCase(std::string(user) + "/" + password, host.Run(&Corkboard::Online));
  }
  EXPECT_GOLDEN("posting/address_lookup_and_debug", pages);
}

// ---- Sign-in throttle

// After ten failures the right password is refused for a minute, then admitted again; the golden
// file holds each page and what the session holds afterwards.
TEST_F(HostileVisitor, PasswordGuessingIsRefusedForAWhileOnEverySignInForm) {
  std::string pages;
  int n = 0;
  // form: the page's fields without the password
  const auto guess = [&](const char* name, void (Corkboard::*method)(), const FormFields& form) {
    const std::string address = "10.6.6." + std::to_string(++n);
    for (int i = 0; i < SignInGuard::kFailureLimit; ++i) {
      Submit(method, WithChanges(form, {{"Password", "guess" + std::to_string(i)}}), address, 1);
    }
    const FormFields right = WithChanges(form, {{"Password", "pw-root"}});
    for (const char* when : {"refused", "a second later"}) {
      const std::string page = Submit(method, right, address, when[0] == 'r' ? 59 : 1);
      pages += GoldenCase(std::string(name) + ", " + when,
                          page + "\nLogin=" + host.session().Get("Login").Str() +
                              " 密室=" + host.session().Get(kPrivate).Str());
      host.session().Set("Login", Variant());
      host.session().Set(kPrivate, Variant());
    }
  };
  guess("Login", &Corkboard::Login, {{"UserName", "root"}});
  guess("IDCheck", &Corkboard::IDCheck, {{"UserName", "root"}, {"forum", kPrivate}});
  guess("GetIP", &Corkboard::GetIP,
        {{"UserName", "root"}, {"Forum", kPrivate}, {"topic", std::to_string(secret)}});
  EXPECT_GOLDEN("posting/password_guessing", pages);
}

// ---- Flood guard

TEST_F(HostileVisitor, FloodGuardHoldsBackAnAddressThatDropsItsCookie) {
  // address, seconds since the previous step, whether the post is stored
  for (const auto& [address, advance, accepted] : {std::tuple{"10.0.0.5", 0, true},
                                                   {"10.0.0.5", 1, false},
                                                   {"10.0.0.6", 0, true},
                                                   {"10.0.0.5", 19, false},
                                                   {"10.0.0.5", 1, true}}) {
    SCOPED_TRACE(std::string(address) + " +" + std::to_string(advance));
    host.clock().Advance(advance);
    host.session().Set("SubmitTime", Variant());  // a new session every time
    const int64_t before = Posts();
    host.PostForm("/posting.asp", TopicForm(kForum)).RemoteAddr(address);
    const std::string page = host.Run(&Corkboard::posttopic);
    EXPECT_EQ(Has(page, "论坛开启了重复递交检查功能"), !accepted) << page;
    EXPECT_EQ(Posts(), before + (accepted ? 1 : 0));
  }
}

// ---- The last-visit cookie

// The golden file's cases are the cookies the browser holds ("name=value; ..." in the order sent):
// whichever spellings, the page shows one last visit and sets one cookie spelt LastLoginDT.
TEST_F(HostileVisitor, OneLastVisitCookieWhicheverSpellingTheBrowserStillHolds) {
  test::ExpectGoldenCases("index/last_visit_cookie.txt", [&](const std::string& held) {
    host.session().Set("FirstIn", Variant());
    host.Get("/default.asp");
    for (const auto& [name, value] : test::FieldsOf(held, "; ")) host.Cookie(name, value);
    const std::string page = host.Run(&Corkboard::Home);
    const size_t at = page.find("您上次来访时间为: ");
    return page.substr(at, page.find('<', at) - at) + "\n" + test::SetCookies(host);
  });
}

}  // namespace
}  // namespace cb
