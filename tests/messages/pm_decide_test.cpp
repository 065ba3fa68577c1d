// The pure decisions of the private-message pages: the order of PostPM's refusals, the ignore
// list's refusals and which "delete" values name a message.
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

TEST(PmDecide, IgnoreListRefusals) {
  const struct {
    const char* name;
    const char* canonical;
    bool listed;
    IgnoreRefusal expected;
  } cases[] = {
      {"bob", "bob", false, IgnoreRefusal::kNone},
      {"alice", "alice", false, IgnoreRefusal::kSelf},
      {"ALICE", "alice", false, IgnoreRefusal::kSelf},  // one member whatever the letter case
      {"alice", "", false, IgnoreRefusal::kSelf},       // herself comes before "no such member"
      {"nobody", "", false, IgnoreRefusal::kNoMember},
      {"", "", false, IgnoreRefusal::kNoMember},
      {"BOB", "bob", true, IgnoreRefusal::kAlreadyListed},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideAddIgnore("alice", c.name, c.canonical, c.listed), c.expected) << c.name;
  }
  EXPECT_STREQ(IgnoreRefusalMessage(IgnoreRefusal::kAlreadyListed), "该用户已经在您的拒绝列表中！");
}

TEST(PmDecide, OnlyPositiveWholeNumbersNameMessages) {
  EXPECT_EQ(MessageNumbers({"3", " 7 ", "0", "-2", "x", "", "1 or 1=1", "99999999999", "12"}),
            (std::vector<int32_t>{3, 7, 12}));
}

TEST(PmDecide, LongDate) { EXPECT_EQ(LongDateText(2023, 2, 1), "2023年2月1日"); }

}  // namespace
}  // namespace cb
