// What several processes on one board do when their shared parts fail or race.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "host/page_host.h"
#include "mail/mail_queue.h"
#include "runtime/gbk.h"
#include "runtime/script_error.h"
#include "store/shared_state.h"
#include "support/fake_smtp.h"
#include "support/test_env.h"

namespace cb {
namespace {

// The database is away: every write fails; a read finds a stored session when `stored` is set.
class AwayState final : public SharedState {
 public:
  std::optional<StoredSession> stored;
  bool reads_fail = false;

  std::optional<StoredSession> LoadSession(const std::string&, int64_t) override {
    if (reads_fail) Fail();
    return stored;
  }
  void SaveSession(const std::string&, const std::string&, const std::string&, int64_t) override {
    Fail();
  }
  void UpdateSession(const std::string&, const std::string&, int64_t) override { Fail(); }
  void DropSession(const std::string&) override { Fail(); }
  size_t DropExpiredSessions(int64_t) override { Fail(); }
  void CapSessions(const std::string&, size_t) override { Fail(); }
  std::string ChangeValue(const std::string&, const std::function<void(std::string&)>&) override {
    Fail();
  }
  void Publish(const std::string&) override {}
  void Listen(std::function<void(const std::string*)>) override {}

 private:
  [[noreturn]] static void Fail() {
    throw ScriptError(err::kDatabaseOpen, "no connection to the server <db>", "PostgreSQL");
  }
};

TEST(SharedSession, AnUnreadSessionOrAnUnwrittenSignInEndsOnTheErrorPage) {
  const int64_t now = SystemClock::Shared().Now().seconds();
  Session ann("s1");
  ann.Set("UserName", Variant("ann"));
  const std::string kError =
      "ERROR 错误号：-2147467259<br>错误描述：no connection to the server &lt;db&gt;<br>"
      "错误来源：PostgreSQL</body></html>";
  enum Act { kNothing, kSets, kSignsIn };
  struct Case {
    const char* name;
    bool cookie, stored, reads_fail;
    Act act;
    std::string body;
  } cases[] = {
      {"a sign-in on a new session cannot be kept", false, false, false, kSignsIn, kError},
      {"a sign-in on a found session cannot be renewed", true, true, false, kSignsIn, kError},
      {"the session cannot be looked up", true, false, true, kNothing, kError},
      {"a new session's other values cannot be kept", false, false, false, kSets, "PAGE"},
      {"a found session's other values cannot be written", true, true, false, kSets, "PAGE"},
      {"a found session only due for a later expiry", true, true, false, kNothing, "PAGE"},
      {"a page that keeps nothing needs no write", false, false, false, kNothing, "PAGE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = std::make_shared<AwayState>();
    state->reads_fail = c.reads_fail;
    if (c.stored) state->stored = StoredSession{ann.Encoded(), now + 10};
    Router router;
    const Act act = c.act;
    router.Add("page.asp", [act](ScriptingContext& ctx) {
      if (act != kNothing) ctx.session().Set("Seen", Variant(1));
      if (act == kSignsIn) ctx.session().RenewId();
      ctx.response() << "PAGE";
    });
    router.SetErrorPage("page.asp", [](ScriptingContext& ctx, std::string_view message) {
      ctx.response() << "ERROR " << message;
    });
    Application app;
    HostConfig cfg;
    cfg.data_dir = ::testing::TempDir();
    PageHost host(cfg, app, std::move(router));
    host.sessions().Share(state);
    IncomingRequest in;
    in.target = "/page.asp";
    if (c.cookie) in.headers.emplace_back("Cookie", "CBSESSION=s1");
    const OutgoingResponse out = host.Handle(in);
    EXPECT_EQ(out.status, 200);
    EXPECT_EQ(GbkToUtf8(out.body), c.body);
    for (const auto& [name, value] : out.headers) EXPECT_NE(name, "Set-Cookie");
  }
}

TEST(SharedMailFolder, TwoQueuesStartingTogetherSendEachLeftoverOnceAndALockedOneWhenFreed) {
  const test::ScratchDir dir("mailqueue");
  const std::filesystem::path& folder = dir.path();
  constexpr int kMails = 12;
  for (int i = 0; i < kMails; ++i) {
    std::ofstream(folder / ("2024-" + std::to_string(100 + i) + ".eml"), std::ios::binary)
        << "X-Queue-Server: smtp\r\nX-Sender: a@b\r\nX-Receiver: c@d\r\nmail " << i << "\r\n";
  }
  // A process still sending the first mail holds its lock; it dies without sending.
  const int held = ::open((folder / "2024-100.eml").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  auto transport = std::make_shared<test::FakeTransport>();
  transport->delay = std::chrono::milliseconds(20);  // a slow server: the two queues overlap
  const auto times_sent = [&](const std::string& message) {
    const auto mails = transport->mails();
    return std::count_if(mails.begin(), mails.end(), [&](auto& m) { return m.message == message; });
  };
  MailQueueOptions options{.first_retry = std::chrono::milliseconds(100), .log = [](auto&) {}};
  {
    MailQueue one(folder.string(), options, transport);
    MailQueue two(folder.string(), options, transport);
    test::Eventually([&] { return one.waiting() <= 1 && two.waiting() <= 1; },
                     std::chrono::seconds(2));
    EXPECT_EQ(times_sent("mail 0\r\n"), 0);
    ::close(held);
    test::Eventually([&] { return one.waiting() == 0 && two.waiting() == 0; },
                     std::chrono::seconds(2));
  }
  EXPECT_EQ(transport->mails().size(), static_cast<size_t>(kMails));
  for (int i = 0; i < kMails; ++i) EXPECT_EQ(times_sent("mail " + std::to_string(i) + "\r\n"), 1);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace cb
