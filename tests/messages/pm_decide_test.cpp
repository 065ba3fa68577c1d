// The pure decisions of the private-message pages: the order of PostPM's refusals, the ignore
// list's canonical name and which "delete" values name a message.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "messages/pm_pages.h"

namespace cb {
namespace {

// Each case breaks its own fact and every fact checked after it: the refusal must still be its
// own, so the table proves the order as well as each check.
TEST(PmDecide, PostRefusalsInOrder) {
  using Break = std::function<void(PostFacts&)>;
  const std::vector<std::pair<PostRefusal, Break>> checks = {
      {PostRefusal::kAddress, [](PostFacts& f) { f.address_allowed = false; }},
      {PostRefusal::kEmpty, [](PostFacts& f) { f.subject.clear(); }},
      {PostRefusal::kAccount, [](PostFacts& f) { f.account_ok = false; }},
      {PostRefusal::kBarred, [](PostFacts& f) { f.can_post = false; }},
      {PostRefusal::kFlood, [](PostFacts& f) { f.submit_due = false; }},
      {PostRefusal::kNoRecipient, [](PostFacts& f) { f.recipient_exists = false; }},
      {PostRefusal::kIgnored, [](PostFacts& f) { f.ignored = true; }},
  };
  const PostFacts good{.recipient = "bob", .subject = "s", .message = "m"};
  EXPECT_EQ(DecidePostPM(good), PostRefusal::kNone);
  for (size_t i = 0; i < checks.size(); ++i) {
    PostFacts f = good;
    for (size_t j = i; j < checks.size(); ++j) checks[j].second(f);
    EXPECT_EQ(DecidePostPM(f), checks[i].first) << i;
  }
  for (auto empty : {&PostFacts::recipient, &PostFacts::subject, &PostFacts::message}) {
    PostFacts f = good;
    f.*empty = "";
    EXPECT_EQ(DecidePostPM(f), PostRefusal::kEmpty);
  }
}

// The ignore list's refusals and their texts are the page's golden cases (pm_pages_test); here
// the branch they miss: a typed name unlike hers that the register's lookup names as hers.
TEST(PmDecide, AMemberCannotIgnoreHerself) {
  EXPECT_EQ(DecideAddIgnore("alice", "alice ", "Alice", false), IgnoreRefusal::kSelf);
}

TEST(PmDecide, OnlyPositiveWholeNumbersNameMessages) {
  EXPECT_EQ(MessageNumbers({"3", " 7 ", "0", "-2", "x", "", "1 or 1=1", "99999999999", "12"}),
            (std::vector<int32_t>{3, 7, 12}));
}

}  // namespace
}  // namespace cb
