// Sessions: idle expiry on an injected clock, isolation between visitors, random ids.
#include "host/session_store.h"

#include <gtest/gtest.h>

#include <set>

namespace cb {
namespace {

using namespace std::chrono_literals;

class SessionStoreTest : public ::testing::Test {
 protected:
  SessionStore::TimePoint now_{};
  SessionStore store_{std::chrono::minutes(20), [this] { return now_; }};

  std::string KeepNew(const char* user) {
    auto s = store_.NewSession();
    s->Set("UserName", Variant(user));
    store_.Keep(s);
    return s->id();
  }
};

TEST_F(SessionStoreTest, IdleTimeDecidesExpiry) {
  struct Case {
    std::chrono::seconds idle;
    bool alive;
  };
  const Case cases[] = {{0s, true}, {19min, true}, {20min, true}, {20min + 1s, false}, {2h, false}};
  for (const Case& c : cases) {
    std::string id = KeepNew("甲");
    now_ += c.idle;
    auto found = store_.Find(id);
    EXPECT_EQ(found != nullptr, c.alive) << c.idle.count();
    if (found) {
      EXPECT_EQ(found->Get("username").Str(), "甲");
    }
  }
}

TEST_F(SessionStoreTest, EachVisitKeepsTheSessionAlive) {
  std::string id = KeepNew("甲");
  for (int i = 0; i < 5; ++i) {
    now_ += 15min;
    ASSERT_NE(store_.Find(id), nullptr) << i;
  }
}

TEST_F(SessionStoreTest, VisitorsSeeOnlyTheirOwnValues) {
  std::string a = KeepNew("甲");
  std::string b = KeepNew("乙");
  ASSERT_NE(a, b);
  store_.Find(a)->Set("Login", Variant(int32_t{1}));
  EXPECT_EQ(store_.Find(a)->Get("username").Str(), "甲");
  EXPECT_EQ(store_.Find(b)->Get("username").Str(), "乙");
  EXPECT_TRUE(store_.Find(b)->Get("login").IsEmpty());
  EXPECT_EQ(store_.Find("not-an-id"), nullptr);
}

TEST_F(SessionStoreTest, SweepDropsOnlyIdleSessions) {
  KeepNew("old1");
  KeepNew("old2");
  now_ += 15min;
  std::string fresh = KeepNew("new");
  now_ += 10min;
  EXPECT_EQ(store_.Sweep(), 2u);
  EXPECT_EQ(store_.size(), 1u);
  EXPECT_NE(store_.Find(fresh), nullptr);
}

TEST_F(SessionStoreTest, SweepsByItselfWhileVisitorsCome) {
  for (int i = 0; i < 50; ++i) KeepNew("gone");
  now_ += 30min;
  KeepNew("stays");
  EXPECT_EQ(store_.size(), 1u);
}

TEST_F(SessionStoreTest, NewSessionIsNotKeptUntilAsked) {
  auto s = store_.NewSession();
  EXPECT_EQ(store_.Find(s->id()), nullptr);
  EXPECT_EQ(store_.size(), 0u);
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
