// Attempt limits: the sign-in guard's refusals (from the tenth failure, doubling, capped, always
// ending), what keys it counts by, and the bound on the shared attempt table.
#include "frame/throttle.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace cb {
namespace {

const DateTime kStart = DateTime::FromParts(2024, 5, 9, 10, 0, 0);

bool RefusedAt(Application& app, int second, const char* address, const char* name) {
  return SignInGuard(app, address, name, kStart.AddSeconds(second)).Refused();
}

void FailAt(Application& app, int second, const char* address, const char* name) {
  SignInGuard(app, address, name, kStart.AddSeconds(second)).Failed();
}

TEST(SignInGuard, RefusesFromTheTenthFailureForADoublingTimeThatEnds) {
  Application app;
  for (int i = 0; i < 9; ++i) FailAt(app, i, "10.0.0.1", "alice");
  EXPECT_FALSE(RefusedAt(app, 9, "10.0.0.1", "alice"));
  int now = 9;
  // Each failure made the moment the previous refusal ends is refused longer, up to 15 minutes.
  for (int seconds : {60, 120, 240, 480, 900, 900}) {
    SCOPED_TRACE(seconds);
    FailAt(app, now, "10.0.0.1", "alice");
    EXPECT_TRUE(RefusedAt(app, now + seconds - 1, "10.0.0.1", "alice"));
    EXPECT_FALSE(RefusedAt(app, now + seconds, "10.0.0.1", "alice"));
    now += seconds;
  }
}

TEST(SignInGuard, CountsPerAddressAndPerNameWithoutLetterCase) {
  Application app;
  // Ten failures for ALICE, each from its own address: the name is refused, not the addresses.
  for (int i = 0; i < 10; ++i) {
    FailAt(app, i, ("10.0.1." + std::to_string(i)).c_str(), "ALICE");
  }
  // Ten failures from one address, each for another name: the address is refused.
  for (int i = 0; i < 10; ++i) FailAt(app, i, "10.0.0.7", ("user" + std::to_string(i)).c_str());
  for (const auto& [address, name, refused] : {std::tuple{"10.0.2.1", "alice", true},
                                               {"10.0.2.1", " Alice ", true},
                                               {"10.0.1.3", "bob", false},
                                               {"10.0.0.7", "bob", true},
                                               {"10.0.0.7", "", true},
                                               {"10.0.2.1", "bob", false},
                                               {"10.0.2.1", "alicia", false}}) {
    EXPECT_EQ(RefusedAt(app, 10, address, name), refused) << address << " " << name;
  }
}

TEST(SignInGuard, RightPasswordClearsTheNameAndOldFailuresLapse) {
  Application app;
  for (int i = 0; i < 9; ++i) FailAt(app, i, "10.0.0.1", "alice");
  SignInGuard(app, "10.0.0.2", "alice", kStart.AddSeconds(9)).Succeeded();
  FailAt(app, 10, "10.0.0.3", "alice");
  EXPECT_FALSE(RefusedAt(app, 11, "10.0.0.3", "alice"));
  // The address kept its nine; a tenth eleven minutes later starts a new count.
  FailAt(app, 9 + 660, "10.0.0.1", "bob");
  EXPECT_FALSE(RefusedAt(app, 9 + 661, "10.0.0.1", "carol"));
}

TEST(ChangeAttempts, KeepsTheMostRecentRecordsUpToTheCapacity) {
  Application app;
  for (int i = 0; i < 5; ++i) {
    ChangeAttempts(app, "T", 3, [&](std::vector<AttemptRecord>& records) {
      records.push_back({"k" + std::to_string(i), 1, kStart.AddSeconds(i), kStart});
    });
  }
  std::vector<std::string> kept;
  ChangeAttempts(app, "T", 3, [&](std::vector<AttemptRecord>& records) {
    for (const AttemptRecord& r : records) kept.push_back(r.key);
  });
  EXPECT_EQ(kept, (std::vector<std::string>{"k4", "k3", "k2"}));
}

}  // namespace
}  // namespace cb
