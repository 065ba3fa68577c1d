// One exchange without sockets: request objects from HTTP, GBK out, the session cookie, the error
// report of a failing page, and static files that never leave the site folder.
#include "host/page_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "host/http_text.h"
#include "runtime/gbk.h"
#include "runtime/script_error.h"
#include "support/case_table.h"
#include "support/golden.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Headers(const OutgoingResponse& r, std::string_view name) {
  std::vector<std::string> out;
  for (const auto& [k, v] : r.headers) {
    if (k == name) out.push_back(v);
  }
  return out;
}

std::string Header(const OutgoingResponse& r, std::string_view name) {
  auto all = Headers(r, name);
  return all.empty() ? std::string() : all.front();
}

Router TestRoutes() {
  Router r;
  r.Add("store.asp", [](ScriptingContext& ctx) {
    std::string u = ctx.request().QueryString("u").Str();
    if (!u.empty()) ctx.session().Set("UserName", Variant(u));
    std::string cookies;
    for (const auto& [name, value] : ctx.request().cookies().all()) cookies += name + ",";
    ctx.response() << "user=" << ctx.session().Get("username").Str() << ";cookies=" << cookies;
  });
  r.Add("echo.asp", [](ScriptingContext& ctx) {
    const Request& q = ctx.request();
    for (const char* name : {"name", "Remote_addr", "request_method", "script_name", "http_referer",
                             "query_string", "SERVER_PORT", "CONTENT_LENGTH"}) {
      ctx.response() << name << "=" << q(name).Str() << "\n";
    }
    ctx.response() << "ids=" << std::to_string(q.form().Count("id")) << "\n";
    ctx.response() << "bytes=" << std::to_string(q.TotalBytes()) << "\n";
  });
  r.Add("cookie.asp", [](ScriptingContext& ctx) {
    ctx.response().Write("中文页面");
    ctx.response().SetCookie("UserName", "张三");
    ctx.response().SetCookieExpires("UserName", DateTime::FromSeconds(1715250030));
  });
  r.Add("go.asp", [](ScriptingContext& ctx) {
    ctx.response().Write("never seen");
    ctx.response().Redirect("list.asp?GroupName=中文");
  });
  r.Add("throw.asp", [](ScriptingContext& ctx) {
    ctx.response().Write("half");
    throw ScriptError(13, "类型不匹配 <b>", "Corkboard.list");
  });
  r.Add("crash.asp", [](ScriptingContext&) { throw std::out_of_range("vector index"); });
  r.Add("signin.asp", [](ScriptingContext& ctx) {
    ctx.session().Set("UserName", Variant("甲"));
    ctx.session().RenewId();
  });
  r.Add("first.asp", [](ScriptingContext& ctx) {
    if (ctx.session().Get("FirstIn").IsEmpty()) {
      ctx.session().SetRecomputable("FirstIn", Variant("yes"));
    } else {
      ctx.session().Set("FirstIn", Variant("no"));
    }
    ctx.response() << ctx.session().Get("FirstIn").Str();
  });
  r.Add("act.asp", [](ScriptingContext& ctx) { ctx.response() << "shown"; });
  r.AddAction("act.asp", "login", [](ScriptingContext& ctx) { ctx.response() << "signed in"; });
  r.RequirePost("act.asp", "login");
  r.SetErrorPage("act.asp", [](ScriptingContext& ctx, std::string_view message) {
    ctx.response() << "refused: " << message;
  });
  r.AddAction("bare.asp", "login", [](ScriptingContext& ctx) { ctx.response() << "signed in"; });
  r.RequirePost("bare.asp", "login");
  return r;
}

class PageHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "site" / "images");
    std::ofstream(root_ / "site" / "DEFAULT.CSS") << "body{}/*\xB0\xEF*/";
    std::ofstream(root_ / "site" / "images" / "logo.gif") << "GIF89a";
    std::ofstream(root_ / "site" / ".hidden") << "hidden";
    std::ofstream(root_ / "secret.txt") << "SECRET";
    fs::create_directory_symlink(root_, root_ / "site" / "link");
    std::ofstream(root_ / "site" / "inside.txt") << "inside";
    fs::create_symlink(root_ / "site" / "inside.txt", root_ / "site" / "alias.txt");
    cfg_.site_dir = (root_ / "site").string();
    cfg_.trusted_proxies = {"10.9.9.9"};
    host_ = std::make_unique<PageHost>(cfg_, app_, TestRoutes(), clock_);
  }

  OutgoingResponse Get(std::string target, HeaderList headers = {}) {
    IncomingRequest in;
    in.target = std::move(target);
    in.headers = std::move(headers);
    return host_->Handle(in);
  }
  // "CBSESSION=..." of a response's session cookie, empty when none was set.
  static std::string SessionCookie(const OutgoingResponse& r) {
    for (const std::string& set : Headers(r, "Set-Cookie")) {
      if (set.starts_with("CBSESSION=")) return set.substr(0, set.find(';'));
    }
    return {};
  }

  test::ScratchDir dir_{"cbhost"};
  const fs::path root_ = dir_.path();
  HostConfig cfg_;
  Application app_;
  FixedClock clock_{DateTime::FromSeconds(1715250030)};
  std::unique_ptr<PageHost> host_;
};

TEST_F(PageHostTest, SessionCookieOnlyOnceAPageStoresSomething) {
  OutgoingResponse first = Get("/store.asp");
  EXPECT_TRUE(Headers(first, "Set-Cookie").empty());
  EXPECT_EQ(host_->sessions().size(), 0u);

  OutgoingResponse login = Get("/store.asp?u=%D5%C5");
  std::string set = Header(login, "Set-Cookie");
  ASSERT_EQ(set.rfind("CBSESSION=", 0), 0u) << set;
  EXPECT_NE(set.find("; Path=/; HttpOnly; SameSite=Lax"), std::string::npos);
  std::string cookie = set.substr(0, set.find(';'));

  OutgoingResponse again = Get("/store.asp", {{"Cookie", "a=1; " + cookie}});
  EXPECT_EQ(GbkToUtf8(again.body), "user=张;cookies=a,");  // the id stays hidden from pages
  EXPECT_TRUE(Headers(again, "Set-Cookie").empty());

  // An id the board never gave out starts a new session under a new id.
  OutgoingResponse forged =
      Get("/store.asp?u=x", {{"Cookie", "CBSESSION=0123456789abcdef0123456789abcdef"}});
  std::string fresh = Header(forged, "Set-Cookie");
  EXPECT_EQ(fresh.find("0123456789abcdef0123456789abcdef"), std::string::npos);
  EXPECT_EQ(host_->sessions().size(), 2u);
}

TEST_F(PageHostTest, SignInGivesANewIdAndTheOldOneNoLongerWorks) {
  std::string before = SessionCookie(Get("/store.asp?u=guest"));
  ASSERT_FALSE(before.empty());
  std::string after = SessionCookie(Get("/signin.asp", {{"Cookie", before}}));
  ASSERT_FALSE(after.empty());
  EXPECT_NE(after, before);
  struct Case {
    const std::string& cookie;
    const char* page;
  };
  const Case cases[] = {{after, "user=甲;cookies="}, {before, "user=;cookies="}};
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToUtf8(Get("/store.asp", {{"Cookie", c.cookie}}).body), c.page) << c.cookie;
  }
  EXPECT_EQ(host_->sessions().size(), 1u);
}

// Form actions and static files: tests/data/page_host.txt.
TEST_F(PageHostTest, AnswersOfTheCaseTable) {
  app_.Set("BBURL", Variant("https://public.example/board/"));
  const std::map<std::string, std::string> pages = {
      {"get", "refused: 该操作只能通过论坛页面上的表单提交！"},
      {"site", "refused: 对不起，该表单来自其他网站，请求已被拒绝！"}};
  // A request of "method target headers..." (headers alone from first on).
  const auto request = [](const std::vector<std::string>& a, size_t first = 2) {
    IncomingRequest in;
    if (first == 2) {
      in.method = a.at(0);
      in.target = a.at(1);
    }
    for (size_t i = first; i < a.size(); ++i) {
      const size_t colon = a[i].find(": ");
      if (a[i].starts_with("@remote")) {
        in.remote_addr = a[i].substr(colon + 2);
      } else {
        in.headers.emplace_back(a[i].substr(0, colon), a[i].substr(colon + 2));
      }
    }
    if (std::none_of(in.headers.begin(), in.headers.end(),
                     [](auto& h) { return h.first == "Host"; })) {
      in.headers.emplace_back("Host", "board.example");
    }
    return in;
  };
  const auto answer = [&](const std::vector<std::string>& a) -> std::vector<std::string> {
    const OutgoingResponse out = host_->Handle(request(a));
    EXPECT_EQ(out.body.find("SECRET"), std::string::npos) << a.at(1);
    // A page's text; for other answers only which refusal they are, if any.
    std::string page = GbkToUtf8(out.body);
    for (const auto& [name, text] : pages) {
      if (page == text) page = name;
    }
    if (!pages.contains(page) && (out.status != 200 || a.at(1).find(".asp") == std::string::npos))
      page = "";
    std::vector<std::string> answer = {std::to_string(out.status), page};
    if (!Header(out, "Allow").empty()) answer.push_back(Header(out, "Allow"));
    return answer;
  };
  // Every cookie is HttpOnly; Secure says whether the visitor came by https.
  const auto client = [&](const std::vector<std::string>& a) -> std::vector<std::string> {
    IncomingRequest in = request(a, 0);
    std::string secure;
    for (const char* target : {"/cookie.asp", "/signin.asp"}) {
      in.target = target;
      for (const std::string& set : Headers(host_->Handle(in), "Set-Cookie")) {
        EXPECT_NE(set.find("; HttpOnly; SameSite=Lax"), std::string::npos) << set;
        const std::string flag = set.ends_with("; Secure") ? "yes" : "no";
        EXPECT_TRUE(secure.empty() || secure == flag) << set;
        secure = flag;
      }
    }
    in.target = "/echo.asp";
    const std::string page = GbkToUtf8(host_->Handle(in).body);
    const size_t at = page.find("Remote_addr=") + 12;
    return {secure, page.substr(at, page.find('\n', at) - at)};
  };
  test::CheckCaseTable("page_host.txt", {{"form", answer}, {"static", answer}, {"client", client}});
}

TEST_F(PageHostTest, CookielessVisitsLeaveOnlyABoundedTrialOfSessions) {
  auto visit = [&](const char* remote, HeaderList headers = {}) {
    IncomingRequest in;
    in.remote_addr = remote;
    in.target = "/first.asp";
    in.headers = std::move(headers);
    return host_->Handle(in);
  };
  for (int i = 0; i < 500; ++i) ASSERT_EQ(visit("10.5.5.5").body, "yes");
  EXPECT_EQ(host_->sessions().size(), cfg_.sessions_per_address);
  // A browser that returns its cookie sees the first visit once, then a returning one, however
  // many cookie-less visits come in between.
  OutgoingResponse first = visit("10.6.6.6");
  EXPECT_EQ(first.body, "yes");
  std::string cookie = SessionCookie(first);
  ASSERT_FALSE(cookie.empty());
  for (int i = 0; i < 500; ++i) visit("10.5.5.5");
  for (int i = 0; i < 2; ++i) EXPECT_EQ(visit("10.6.6.6", {{"Cookie", cookie}}).body, "no");
  EXPECT_EQ(host_->sessions().trial_size(), cfg_.sessions_per_address);
  EXPECT_EQ(host_->sessions().size(), cfg_.sessions_per_address + 1);
}

TEST_F(PageHostTest, RequestCarriesFieldsAndServerVariables) {
  IncomingRequest in;
  in.method = "POST";
  in.target = "/Echo.asp?name=%D6%D0&id=9";
  in.remote_addr = "10.1.2.3";
  in.server_port = 8080;
  in.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                {"Referer", "http://board/list.asp"}};
  in.body = "id=1&id=2&name=form";
  OutgoingResponse out = host_->Handle(in);
  EXPECT_EQ(out.status, 200);
  EXPECT_EQ(GbkToUtf8(out.body),
            "name=中\nRemote_addr=10.1.2.3\nrequest_method=POST\nscript_name=/Echo.asp\n"
            "http_referer=http://board/list.asp\nquery_string=name=%D6%D0&id=9\n"
            "SERVER_PORT=8080\nCONTENT_LENGTH=19\nids=2\nbytes=19\n");
}

TEST_F(PageHostTest, MultipartBodiesStayRawForTheUploadPage) {
  IncomingRequest in;
  in.method = "POST";
  in.target = "/echo.asp";
  in.headers = {{"Content-Type", "multipart/form-data; boundary=xx"}};
  in.body = "--xx\r\nContent-Disposition: form-data; name=\"id\"\r\n\r\n1\r\n--xx--\r\n";
  std::string body = GbkToUtf8(host_->Handle(in).body);
  EXPECT_NE(body.find("ids=0\n"), std::string::npos) << body;
  EXPECT_NE(body.find("bytes=" + std::to_string(in.body.size())), std::string::npos);
}

TEST_F(PageHostTest, PagesLeaveAsGbkWithTheirCookies) {
  OutgoingResponse out = Get("/cookie.asp");
  EXPECT_EQ(out.status, 200);
  EXPECT_EQ(Header(out, "Content-Type"), "text/html; charset=gb2312");
  EXPECT_EQ(out.body, "\xD6\xD0\xCE\xC4\xD2\xB3\xC3\xE6");
  EXPECT_EQ(Header(out, "Set-Cookie"),
            "UserName=%D5%C5%C8%FD; expires=" + HttpDate(DateTime::FromSeconds(1715250030)) +
                "; HttpOnly; SameSite=Lax");
}

TEST_F(PageHostTest, RedirectSendsGbkLocation) {
  OutgoingResponse out = Get("/go.asp");
  EXPECT_EQ(out.status, 302);
  EXPECT_EQ(Header(out, "Location"), "list.asp?GroupName=%D6%D0%CE%C4");
  EXPECT_EQ(out.body.find("never seen"), std::string::npos);
}

// The report of a page's error, or of any other exception, in place of what it had written.
TEST_F(PageHostTest, FailingPageBecomesTheHostErrorReport) {
  test::ExpectGoldenCases("host/error_report", [&](const std::string& target) {
    const OutgoingResponse out = Get(target);
    EXPECT_EQ(out.status, 500);
    EXPECT_EQ(Get("/store.asp").status, 200);
    return GbkToUtf8(out.body);
  });
}

TEST_F(PageHostTest, StaticFilesAreServedAsStored) {
  OutgoingResponse css = Get("/DEFAULT.CSS");
  EXPECT_EQ(css.body, "body{}/*\xB0\xEF*/");  // the stored bytes, not re-encoded
  EXPECT_EQ(Header(css, "Content-Type"), "text/css");
  EXPECT_EQ(Header(Get("/images/logo.gif"), "Content-Type"), "image/gif");
  std::string modified = Header(css, "Last-Modified");
  ASSERT_FALSE(modified.empty());
  EXPECT_EQ(Get("/DEFAULT.CSS", {{"If-Modified-Since", modified}}).status, 304);
}

}  // namespace
}  // namespace cb
