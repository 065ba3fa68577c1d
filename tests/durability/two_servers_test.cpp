// Two real board processes on one PostgreSQL board, as behind a load balancer (not on SQLite).
#include <gtest/gtest.h>

#include "durability/posting_load.h"
#include "store/board_setup.h"
#include "store/data_sources.h"
#include "support/page_text.h"
#include "support/pg_board.h"
#include "support/test_env.h"

namespace cb::test {
namespace {

// The session id the answer set, or "".
std::string SessionCookie(const std::optional<RawResponse>& r) {
  if (!r) return "";
  for (auto [it, end] = r->headers.equal_range("set-cookie"); it != end; ++it) {
    if (it->second.starts_with("CBSESSION="))
      return it->second.substr(10, it->second.find(';') - 10);
  }
  return "";
}

std::string Page(uint16_t port, const std::string& target, const std::string& cookie = "",
                 const std::string& address = "127.0.0.1") {
  auto r = Fetch(
      port, GetRequest(target, "X-Forwarded-For: " + address + "\r\n" +
                                   (cookie.empty() ? "" : "Cookie: CBSESSION=" + cookie + "\r\n")));
  return r ? PageText(*r) : "";
}

std::string Posted(const std::optional<RawResponse>& r) { return r ? PageText(*r) : ""; }

// Whether what holds within five seconds (the processes exchange some values once a second).
template <class What>
bool Soon(What what) {
  return Eventually(what, std::chrono::seconds(5));
}

bool SignedIn(uint16_t port, const std::string& cookie) {
  const std::string page = Page(port, "/subscibe.asp", cookie);
  return page.ends_with("</html>") && page.find("必须登录") == std::string::npos;
}

TEST(TwoServers, ShareSignInsMenusAndPostsAndOneServesOnWhenTheOtherIsKilled) {
  if (!OnPostgres()) GTEST_SKIP() << "two processes serve one board on PostgreSQL only";
  const ScratchDir dir("corkboard-two-servers");
  const std::filesystem::path& data = dir.path();
  const std::string spec = CreatePgBoard();
  RegisterDataSource(kDataSource, ParseDataSourceSpec(spec));
  struct Cleanup {
    std::string spec;
    ~Cleanup() {
      UnregisterDataSource(kDataSource);
      DropPgBoard(spec, /*reusable=*/false);  // it holds the shared tables now
    }
  } cleanup{spec};
  const SeedResult seed = SeedNewBoard(kConnection);
  for (int i = 0; i < kPosters; ++i) AddUser(kConnection, "poster" + std::to_string(i), "pw");
  {
    BoardProcess a(data, {"DataSource.Corkboard=" + spec});
    BoardProcess b(data, {"DataSource.Corkboard=" + spec});
    ASSERT_TRUE(a.Start() && b.Start()) << "see " << data / "server.log";

    const std::string member = SessionCookie(PostForm(
        a.port(), "/cbkmisc.asp", "action=login&UserName=poster0&Password=pw", "10.9.0.1"));
    ASSERT_FALSE(member.empty());
    EXPECT_TRUE(SignedIn(b.port(), member));
    EXPECT_FALSE(SignedIn(b.port(), ""));
    EXPECT_FALSE(SignedIn(b.port(), "0123456789abcdef0123456789abcdef"));
    // Signing in again through one gives a new id; the other, which keeps the sessions it read,
    // hears of the old one's end from the session table.
    const std::string renewed = SessionCookie(PostForm(
        a.port(), "/cbkmisc.asp", "action=login&UserName=poster1&Password=pw", "10.9.0.1", member));
    ASSERT_FALSE(renewed.empty());
    EXPECT_NE(renewed, member);
    EXPECT_TRUE(Soon([&] { return !SignedIn(b.port(), member); }));
    EXPECT_TRUE(SignedIn(b.port(), renewed));

    // The flood guard holds an address back on both; each lists the other's visitors.
    const std::string topic = "action=posttopic&forum=" + UrlEncode(seed.forum) +
                              "&UserName=poster2&Password=pw&MsgIcon=1&TopicSubject=s&Message=m";
    EXPECT_TRUE(Has(Posted(PostForm(a.port(), "/posting.asp", topic, "10.9.0.3")), "谢谢您"));
    EXPECT_TRUE(Has(Posted(PostForm(b.port(), "/posting.asp", topic, "10.9.0.3")), "重复递交"));
    Page(b.port(), "/default.asp", "", "10.2.2.2");
    EXPECT_TRUE(Soon([&] { return Has(Page(a.port(), "/online.asp"), "10.2.2.*"); }));

    const std::string menu_entry = "list.asp?GroupName=" + UrlEncode("新版面");
    const std::string list = "/list.asp?groupname=" + UrlEncode(seed.forum);
    EXPECT_FALSE(Has(Page(b.port(), list), menu_entry));  // and now cached
    auto added =
        PostForm(a.port(), "/admin/forum.asp",
                 "action=addnewforum&forumname=" + UrlEncode("新版面") +
                     "&catalog=" + UrlEncode(seed.catalog) +
                     "&TopicRestrict=all&ReplyRestrict=all&descript=d&UserName=" +
                     UrlEncode(seed.admin_name) + "&Password=" + UrlEncode(seed.admin_password),
                 "10.9.0.2");
    ASSERT_TRUE(added && Has(PageText(*added), "版面更新结束"));
    EXPECT_TRUE(Soon([&] { return Has(Page(b.port(), list), menu_entry); }))
        << "the new forum is not in the other process's menu";

    // Even posters go to one process, odd ones to the other, until the balancer loses one.
    std::atomic<uint16_t> port_a{a.port()}, port_b{b.port()};
    std::atomic<bool> stop{false};
    Tally tally;
    std::vector<std::thread> posters;
    for (int i = 0; i < kPosters; ++i) {
      posters.emplace_back(Post, i, std::cref(i % 2 ? port_b : port_a), std::cref(stop), seed.forum,
                           std::ref(tally));
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    a.Kill();
    port_a = b.port();
    const size_t acknowledged_at_kill = tally.AcknowledgedSoFar();
    EXPECT_TRUE(SignedIn(b.port(), renewed));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop = true;
    for (std::thread& t : posters) t.join();
    EXPECT_TRUE(b.Stop());

    EXPECT_EQ(tally.unexpected, "");
    EXPECT_EQ(tally.error_pages, 0);
    EXPECT_GT(acknowledged_at_kill, 0u);
    EXPECT_GT(tally.acknowledged.size(), acknowledged_at_kill);
    EXPECT_EQ(Disagreements(tally), "");
    std::printf("%zu posts acknowledged through two processes, %d cut by the kill\n",
                tally.acknowledged.size(), tally.cut);
  }
}

}  // namespace
}  // namespace cb::test
