// The host objects on their own. (Keys without regard to case, of server variables and session
// values, are checked through the page host: page_host_test.)
#include "host/context.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace cb {
namespace {

TEST(RequestTest, LookupTakesQueryThenFormThenCookiesThenServerVariables) {
  const struct {
    const char *query, *form, *cookie, *server, *expected;
  } cases[] = {{"q", "f", "c", "s", "q"},         {nullptr, "f", "c", "s", "f"},
               {nullptr, nullptr, "c", "s", "c"}, {nullptr, nullptr, nullptr, "s", "s"},
               {"q", nullptr, nullptr, "s", "q"}, {nullptr, nullptr, nullptr, nullptr, nullptr},
               {"", "3", nullptr, nullptr, ""}};  // present but empty still hides the form
  for (const auto& c : cases) {
    Request r;
    if (c.query) r.query().Add("Key", c.query);
    if (c.form) r.form().Add("KEY", c.form);
    if (c.cookie) r.cookies().Add("key", c.cookie);
    if (c.server) r.SetServerVariable("kEy", c.server);
    const Variant v = r("key");
    EXPECT_EQ(v.Str(), c.expected ? c.expected : "") << (c.form ? c.form : "-");
    EXPECT_EQ(v.IsEmpty(), c.expected == nullptr);
  }
}

TEST(RequestTest, MultiValuedFieldsKeepOrderAndCount) {
  Request r;
  for (const char* id : {"1", "x", "2", "3"}) r.form().Add(*id == 'x' ? "other" : "ID", id);
  EXPECT_EQ(r.form().Count("id"), 3);
  EXPECT_EQ(r.Form("iD").Str(), "1");
  EXPECT_EQ(r.form().Item("Id", 2).Str(), "2");
  EXPECT_EQ(r.form().Item("ID", 3).Str(), "3");
  EXPECT_TRUE(r.form().Item("ID", 4).IsEmpty());
  EXPECT_TRUE(r.form().Item("ID", 0).IsEmpty());
  EXPECT_EQ(r.form().Count("missing"), 0);
  r.form().Set("id", "9");
  EXPECT_EQ(r.form().Count("ID"), 1);
  EXPECT_EQ(r.Form("id").Str(), "9");
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

TEST(ApplicationTest, LockSerialisesReadModifyWrite) {
  Application app;
  app.Set("OnlineCount", Variant(int32_t{0}));
  constexpr int kThreads = 8, kRounds = 2000;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        ApplicationLock lock(app);
        app.Set("ONLINECOUNT", Variant(app.Get("onlinecount").CLng() + 1));
      }
    });
  }
  for (auto& w : writers) w.join();
  EXPECT_EQ(app.Get("OnlineCount").CLng(), kThreads * kRounds);
}

}  // namespace
}  // namespace cb
