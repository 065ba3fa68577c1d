// Sessions: idle expiry on an injected clock, isolation between visitors, the caps and the trial
// tier, random ids. (Renewal at sign-in is checked through the page host: page_host_test.)
#include "host/session_store.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "store/shared_state.h"

namespace cb {
namespace {

using namespace std::chrono_literals;

class SessionStoreTest : public ::testing::Test {
 protected:
  FixedClock clock_{DateTime::FromParts(2024, 5, 9)};
  SessionStore store_{std::chrono::minutes(20), clock_};

  // Keeps a new session of user, or without a user a first front-page visit: only a mark the page
  // can recompute.
  std::string KeepNew(const char* user, const std::string& address = "10.0.0.1") {
    auto s = store_.NewSession();
    if (user) {
      s->Set("UserName", Variant(user));
    } else {
      s->SetRecomputable("FirstIn", Variant("yes"));
    }
    store_.Keep(s, address);
    return s->id();
  }
};

TEST_F(SessionStoreTest, IdleTimeDecidesExpiryAndEachVisitKeepsTheSessionAlive) {
  auto unkept = store_.NewSession();  // not kept until asked
  EXPECT_EQ(store_.Find(unkept->id()), nullptr);
  std::string visited = KeepNew("甲");
  for (int i = 0; i < 5; ++i) {
    clock_.Advance(15min);
    ASSERT_NE(store_.Find(visited), nullptr) << i;
  }
  const std::pair<std::chrono::seconds, bool> cases[] = {
      {0s, true}, {19min, true}, {20min, true}, {20min + 1s, false}, {2h, false}};
  for (const auto& [idle, alive] : cases) {
    std::string id = KeepNew("甲");
    clock_.Advance(idle);
    auto found = store_.Find(id);
    EXPECT_EQ(found != nullptr, alive) << idle.count();
    if (found) {
      EXPECT_EQ(found->Get("username").Str(), "甲");
    }
  }
}

TEST_F(SessionStoreTest, SweepDropsOnlyIdleSessionsAndRunsByItself) {
  KeepNew("old1");
  KeepNew("old2");
  clock_.Advance(15min);
  std::string fresh = KeepNew("new");
  clock_.Advance(10min);
  EXPECT_EQ(store_.Sweep(), 2u);
  EXPECT_EQ(store_.size(), 1u);
  EXPECT_NE(store_.Find(fresh), nullptr);
  for (int i = 0; i < 50; ++i) KeepNew("gone");
  clock_.Advance(30min);
  KeepNew("stays");  // visitors coming is enough
  EXPECT_EQ(store_.size(), 1u);
}

TEST_F(SessionStoreTest, CapsDropTheLeastRecentlyUsedOfTheAddressThenOfAll) {
  store_.SetLimits({.total = 4, .per_address = 2, .trial_total = 2});
  std::string a1 = KeepNew("a1", "10.0.0.1");
  std::string a2 = KeepNew("a2", "10.0.0.1");
  std::string b1 = KeepNew("b1", "10.0.0.2");
  clock_.Advance(1s);
  ASSERT_NE(store_.Find(a1), nullptr);  // a1 is now used more recently than a2
  std::string a3 = KeepNew("a3", "10.0.0.1");
  std::string c1 = KeepNew("c1", "10.0.0.3");
  std::string c2 = KeepNew("c2", "10.0.0.3");  // five kept: b1 is the oldest of all
  for (const std::string& id : {a1, a3, c1, c2}) EXPECT_NE(store_.Find(id), nullptr) << id;
  for (const std::string& id : {a2, b1}) EXPECT_EQ(store_.Find(id), nullptr) << id;
  // Each visitor sees only their own values.
  store_.Find(a1)->Set("Login", Variant(int32_t{1}));
  EXPECT_EQ(store_.Find(a1)->Get("username").Str(), "a1");
  EXPECT_EQ(store_.Find(c1)->Get("username").Str(), "c1");
  EXPECT_TRUE(store_.Find(c1)->Get("login").IsEmpty());
  EXPECT_EQ(store_.Find("not-an-id"), nullptr);
  EXPECT_EQ(store_.size(), 4u);
}

TEST_F(SessionStoreTest, FirstVisitsWaitInTheTrialTierUntilTheCookieComesBack) {
  store_.SetLimits({.total = 100, .per_address = 100, .trial_total = 3});
  std::string returning = KeepNew(nullptr, "10.0.0.9");
  EXPECT_EQ(store_.trial_size(), 1u);
  auto found = store_.Find(returning);  // the browser sent the cookie: kept for good
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Get("FirstIn").Str(), "yes");
  EXPECT_EQ(store_.trial_size(), 0u);
  std::string member = KeepNew("member");
  // A flood of cookie-less visits evicts only other trial sessions.
  for (int i = 0; i < 1000; ++i) KeepNew(nullptr, "10.1.0." + std::to_string(i % 250));
  EXPECT_EQ(store_.trial_size(), 3u);
  EXPECT_EQ(store_.size(), 5u);
  EXPECT_NE(store_.Find(returning), nullptr);
  EXPECT_NE(store_.Find(member), nullptr);
}

// The shared session table of a board several processes serve, and its change notices, in
// memory: the test plays the other processes (their writes, the notices, a lost connection).
class TableState final : public SharedState {
 public:
  std::map<std::string, StoredSession> rows;
  int loads = 0;
  bool watching = false;
  std::function<void()> during_load;  // runs while a read is on its way
  std::function<void(const std::string*)> changed;

  std::optional<StoredSession> LoadSession(const std::string& id, int64_t now) override {
    ++loads;
    std::optional<StoredSession> found;
    if (auto it = rows.find(id); it != rows.end() && it->second.expires > now) found = it->second;
    if (during_load) during_load();
    return found;
  }
  void SaveSession(const std::string& id, const std::string&, const std::string& data,
                   int64_t expires) override {
    rows[id] = {data, expires};
  }
  void UpdateSession(const std::string& id, const std::string& data, int64_t expires) override {
    rows[id] = {data, expires};
  }
  void DropSession(const std::string& id) override { rows.erase(id); }
  size_t DropExpiredSessions(int64_t) override { return 0; }
  void CapSessions(const std::string&, size_t) override {}
  std::string ChangeValue(const std::string&, const std::function<void(std::string&)>&) override {
    return "";
  }
  void Publish(const std::string&) override {}
  void Listen(std::function<void(const std::string*)>) override {}
  void WatchSessions(std::function<void(const std::string*)> on_change) override {
    changed = std::move(on_change);
  }
  bool WatchingSessions() const override { return watching; }

  // Another process writes the row: the store hears of it only through the notice.
  void WriteElsewhere(const std::string& id, const char* user) {
    Session s(id);
    s.Set("UserName", Variant(user));
    rows[id].data = s.Encoded();
  }
};

TEST_F(SessionStoreTest, ASharedSessionIsReadOnceWhileItsChangesAreWatched) {
  auto table = std::make_shared<TableState>();
  store_.Share(table);
  const std::string id = KeepNew("ann"), other = "x";
  const auto find = [&] {
    auto s = store_.Find(id);
    return s ? s->Get("UserName").Str() : std::string("(none)");
  };
  struct Step {
    const char* what;
    std::function<void()> act;
    std::string user;
    int loads;  // reads of the table so far
  };
  const Step steps[] = {
      {"not watched: each find reads", [] {}, "ann", 1},
      {"", [] {}, "ann", 2},
      {"watched: read once", [&] { table->watching = true; }, "ann", 3},
      {"", [] {}, "ann", 3},
      {"a notice of its change", [&] { table->WriteElsewhere(id, "bob"), table->changed(&id); },
       "bob", 4},
      {"a notice of another's change", [&] { table->changed(&other); }, "bob", 4},
      {"changes may have been missed", [&] { table->changed(nullptr); }, "bob", 5},
      {"a change while reading: not kept",
       [&] {
         table->during_load = [&] { table->changed(&id); };
         table->changed(nullptr);
       },
       "bob", 6},
      {"", [&] { table->during_load = nullptr; }, "bob", 7},
      {"", [] {}, "bob", 7},
      {"this process's own write",
       [&] {
         auto s = store_.Find(id);
         s->Set("UserName", Variant("cy"));
         store_.Finish(s);
       },
       "cy", 8},
      {"expired", [&] { clock_.Advance(21min); }, "(none)", 9},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(find(), step.user) << step.what;
    EXPECT_EQ(table->loads, step.loads) << step.what;
  }
}

TEST(SessionIdTest, IdsAre128RandomBitsInHex) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string id = RandomSessionId();
    ASSERT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
}  // namespace cb
