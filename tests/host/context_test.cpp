// The host objects: request lookup order and multi-valued fields, case-insensitive keys, the
// response's redirect, and the application lock under concurrent writers.
#include "host/context.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace cb {
namespace {

TEST(RequestTest, LookupTakesQueryThenFormThenCookiesThenServerVariables) {
  struct Case {
    bool in_query, in_form, in_cookie, in_server;
    const char* expected;
  };
  const Case cases[] = {
      {true, true, true, true, "q"},    {false, true, true, true, "f"},
      {false, false, true, true, "c"},  {false, false, false, true, "s"},
      {false, false, false, false, ""}, {true, false, false, true, "q"},
  };
  for (const Case& c : cases) {
    Request r;
    if (c.in_query) r.query().Add("Key", "q");
    if (c.in_form) r.form().Add("KEY", "f");
    if (c.in_cookie) r.cookies().Add("key", "c");
    if (c.in_server) r.SetServerVariable("kEy", "s");
    Variant v = r("key");
    EXPECT_EQ(v.Str(), c.expected) << c.in_query << c.in_form << c.in_cookie << c.in_server;
    EXPECT_EQ(v.IsEmpty(), std::string(c.expected).empty());
  }
}

TEST(RequestTest, PresentButEmptyFieldStillHidesLaterCollections) {
  Request r;
  r.query().Add("page", "");
  r.form().Add("page", "3");
  EXPECT_EQ(r("page").Str(), "");
  EXPECT_FALSE(r("page").IsEmpty());
}

TEST(RequestTest, MultiValuedFieldsKeepOrderAndCount) {
  Request r;
  r.form().Add("ID", "1");
  r.form().Add("other", "x");
  r.form().Add("id", "2");
  r.form().Add("Id", "3");
  EXPECT_EQ(r.form().Count("id"), 3);
  EXPECT_EQ(r.Form("iD").Str(), "1");
  EXPECT_EQ(r.form().Item("ID", 2).Str(), "2");
  EXPECT_EQ(r.form().Item("ID", 3).Str(), "3");
  EXPECT_TRUE(r.form().Item("ID", 4).IsEmpty());
  EXPECT_TRUE(r.form().Item("ID", 0).IsEmpty());
  EXPECT_EQ(r.form().Count("missing"), 0);
  r.form().Set("id", "9");
  EXPECT_EQ(r.form().Count("ID"), 1);
  EXPECT_EQ(r.Form("id").Str(), "9");
}

TEST(RequestTest, ServerVariablesIgnoreCase) {
  Request r;
  r.SetServerVariable("REMOTE_ADDR", "10.0.0.7");
  r.SetServerVariable("REQUEST_METHOD", "POST");
  for (const char* name : {"Remote_addr", "remote_addr", "REMOTE_ADDR"}) {
    EXPECT_EQ(r.ServerVariables(name).Str(), "10.0.0.7") << name;
  }
  EXPECT_EQ(r.ServerVariables("request_method").Str(), "POST");
  EXPECT_TRUE(r.ServerVariables("http_referer").IsEmpty());
}

TEST(ResponseTest, RedirectDropsWrittenTextAndCookiesMergeByName) {
  Response resp;
  resp.Write("half a page");
  resp.SetCookie("UserName", "甲");
  resp.SetCookieExpires("username", DateTime::FromSeconds(1000));
  resp.Redirect("Default.htm");
  EXPECT_EQ(resp.body(), "");
  EXPECT_EQ(resp.status(), 302);
  ASSERT_EQ(resp.cookies().size(), 1u);
  EXPECT_EQ(resp.cookies().begin()->second.value, "甲");
  EXPECT_TRUE(resp.cookies().begin()->second.expires.has_value());
}

TEST(SessionTest, KeysIgnoreCase) {
  Session s("id");
  EXPECT_TRUE(s.empty());
  EXPECT_TRUE(s.Get("UserName").IsEmpty());
  s.Set("UserName", Variant("甲"));
  s.Set("USERNAME", Variant("乙"));
  EXPECT_EQ(s.Get("username").Str(), "乙");
  EXPECT_FALSE(s.empty());
}

TEST(ApplicationTest, LockSerialisesReadModifyWrite) {
  Application app;
  app.Set("OnlineCount", Variant(int32_t{0}));
  constexpr int kThreads = 8, kRounds = 2000;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        ApplicationLock lock(app);
        int32_t n = app.Get("onlinecount").CLng();
        app.Set("ONLINECOUNT", Variant(n + 1));
      }
    });
  }
  for (auto& w : writers) w.join();
  EXPECT_EQ(app.Get("OnlineCount").CLng(), kThreads * kRounds);
}

}  // namespace
}  // namespace cb
