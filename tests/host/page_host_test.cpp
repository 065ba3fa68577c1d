// One exchange without sockets: request objects from HTTP, GBK out, the session cookie, the error
// report of a failing page, and static files that never leave the site folder.
#include "host/page_host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/http_text.h"
#include "runtime/gbk.h"
#include "runtime/script_error.h"

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
  return r;
}

class PageHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("cbhost" + std::to_string(getpid()));
    fs::create_directories(root_ / "site" / "images");
    std::ofstream(root_ / "site" / "DEFAULT.CSS") << "body{}";
    std::ofstream(root_ / "site" / "images" / "logo.gif") << "GIF89a";
    std::ofstream(root_ / "site" / ".hidden") << "hidden";
    std::ofstream(root_ / "secret.txt") << "SECRET";
    fs::create_directory_symlink(root_, root_ / "site" / "link");
    std::ofstream(root_ / "site" / "inside.txt") << "inside";
    fs::create_symlink(root_ / "site" / "inside.txt", root_ / "site" / "alias.txt");
    cfg_.site_dir = (root_ / "site").string();
    host_ = std::make_unique<PageHost>(cfg_, app_, TestRoutes(), clock_);
  }
  void TearDown() override { fs::remove_all(root_); }

  OutgoingResponse Get(std::string target, HeaderList headers = {}) {
    IncomingRequest in;
    in.target = std::move(target);
    in.headers = std::move(headers);
    return host_->Handle(in);
  }

  fs::path root_;
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
            "UserName=%D5%C5%C8%FD; expires=" + HttpDate(DateTime::FromSeconds(1715250030)));
}

TEST_F(PageHostTest, RedirectSendsGbkLocation) {
  OutgoingResponse out = Get("/go.asp");
  EXPECT_EQ(out.status, 302);
  EXPECT_EQ(Header(out, "Location"), "list.asp?GroupName=%D6%D0%CE%C4");
  EXPECT_EQ(out.body.find("never seen"), std::string::npos);
}

TEST_F(PageHostTest, FailingPageBecomesTheHostErrorReport) {
  struct Case {
    const char* target;
    const char* number;
    const char* description;
    const char* source;
  };
  const Case cases[] = {
      {"/throw.asp", "13", "类型不匹配 &lt;b&gt;", "Corkboard.list"},
      {"/crash.asp", "-2147418113", "vector index", "Corkboard"},
  };
  for (const Case& c : cases) {
    OutgoingResponse out = Get(c.target);
    EXPECT_EQ(out.status, 500);
    std::string page = GbkToUtf8(out.body);
    EXPECT_NE(page.find(std::string("错误号：") + c.number), std::string::npos) << page;
    EXPECT_NE(page.find(std::string("错误描述：") + c.description), std::string::npos) << page;
    EXPECT_NE(page.find(std::string("错误来源：") + c.source), std::string::npos) << page;
    EXPECT_EQ(page.find("half"), std::string::npos);
    EXPECT_EQ(Get("/store.asp").status, 200);
  }
}

TEST_F(PageHostTest, StaticFilesStayInsideTheSiteFolder) {
  struct Case {
    const char* target;
    int status;
  };
  const Case cases[] = {
      {"/DEFAULT.CSS", 200},
      {"/default.css", 200},  // names match without regard to case, as links expect
      {"/Images/LOGO.GIF", 200},
      {"/alias.txt", 200},  // a link that stays inside
      {"/images", 404},     // no directory listing
      {"/images/", 404},
      {"/missing.htm", 404},
      {"/../secret.txt", 400},
      {"/images/../../secret.txt", 400},
      {"/%2e%2e/secret.txt", 400},
      {"/%2E%2E%2fsecret.txt", 400},
      {"/images/%2e%2e%2f%2e%2e%2fsecret.txt", 400},
      {"/%252e%252e/secret.txt", 400},
      {"/..%5csecret.txt", 400},
      {"/images\\..\\..\\secret.txt", 400},
      {"/.hidden", 400},
      {"/%00secret.txt", 400},
      {"/%zz", 400},
      {"//secret.txt", 404},
      {"/link/secret.txt", 404},  // a link that points outside
      {"http://evil/secret.txt", 400},
  };
  for (const Case& c : cases) {
    OutgoingResponse out = Get(c.target);
    EXPECT_EQ(out.status, c.status) << c.target;
    EXPECT_EQ(out.body.find("SECRET"), std::string::npos) << c.target;
  }
  OutgoingResponse css = Get("/DEFAULT.CSS");
  EXPECT_EQ(css.body, "body{}");
  EXPECT_EQ(Header(css, "Content-Type"), "text/css");
  EXPECT_EQ(Header(Get("/images/logo.gif"), "Content-Type"), "image/gif");
  std::string modified = Header(css, "Last-Modified");
  ASSERT_FALSE(modified.empty());
  EXPECT_EQ(Get("/DEFAULT.CSS", {{"If-Modified-Since", modified}}).status, 304);
}

TEST_F(PageHostTest, OnlyReadingMethodsReachFiles) {
  IncomingRequest in;
  in.method = "POST";
  in.target = "/DEFAULT.CSS";
  EXPECT_EQ(host_->Handle(in).status, 405);
  in.method = "DELETE";
  in.target = "/store.asp";
  EXPECT_EQ(host_->Handle(in).status, 405);
}

}  // namespace
}  // namespace cb
