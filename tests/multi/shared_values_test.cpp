// The texts the processes of a board exchange: a session's values survive the trip whatever
// they hold, and the online table merges one row per address.
#include <gtest/gtest.h>

#include "browse/online_share.h"
#include "host/context.h"

namespace cb {
namespace {

TEST(SharedSession, EveryKindOfValueComesBackAsItWas) {
  Session sent("id");
  const DateTime when = DateTime::FromParts(2024, 5, 9, 10, 20, 30);
  sent.Set("UserName", Variant(std::string("张三%41\0x", 11)));
  sent.Set("Bytes", Variant(std::string("\xB0\xA1 gbk")));  // not UTF-8
  sent.Set("Login", Variant(int16_t{1}));
  sent.Set("Big", Variant(int32_t{70000}));
  sent.Set("Ratio", Variant(0.1));
  sent.Set("Flag", Variant(true));
  sent.Set("SubmitTime", Variant(when));
  sent.Set("Nothing", Variant::Null());
  sent.SetRecomputable("FirstIn", Variant("yes"));
  const std::string text = sent.Encoded();
  EXPECT_EQ(text.find('\0'), std::string::npos);

  Session got("id");
  got.Decode(text);
  EXPECT_EQ(got.Get("username").Str(), std::string("张三%41\0x", 11));
  EXPECT_EQ(got.Get("Bytes").Str(), "\xB0\xA1 gbk");
  EXPECT_EQ(got.Get("Login").type(), VType::kInteger);
  EXPECT_EQ(got.Get("Big").CLng(), 70000);
  EXPECT_EQ(got.Get("Ratio").CDbl(), 0.1);
  EXPECT_EQ(got.Get("Flag").type(), VType::kBoolean);
  EXPECT_EQ(got.Get("SubmitTime").CDate(), when);
  EXPECT_TRUE(got.Get("Nothing").IsNull());
  EXPECT_EQ(got.Encoded(), text);
  got.Set("FirstIn", Variant("no"));  // no longer recomputable: the mark travels
  EXPECT_NE(got.Encoded(), text);
}

TEST(SharedSession, ADamagedTextKeepsWhatCameBeforeTheDamage) {
  Session got("id");
  got.Decode("-s4:Name3:bob-s9:Pass");
  EXPECT_EQ(got.Get("Name").Str(), "bob");
  EXPECT_TRUE(got.Get("Pass").IsEmpty());
}

TEST(SharedOnline, OneRowPerAddressTheLaterWinningAndIdleRowsLeaving) {
  const DateTime now = DateTime::FromParts(2024, 5, 9, 10, 20, 0);
  auto row = [&](const char* name, const char* address, int minutes_ago) {
    return OnlineRow{name, address, "首页", now.AddSeconds(-3600),
                     now.AddSeconds(-60 * minutes_ago)};
  };
  const std::vector<OnlineRow> mine = {row("GUEST ", "1.1.1.1", 2), row("ann", "2.2.2.2", 0)};
  const std::vector<OnlineRow> theirs = {row("bob", "1.1.1.1", 1), row("ann", "2.2.2.2", 3),
                                         row("old", "3.3.3.3", 5), row("cy", "4.4.4.4", 4)};
  EXPECT_EQ(MergeOnline(mine, theirs, now, 5, 10),
            (std::vector<OnlineRow>{row("bob", "1.1.1.1", 1), row("ann", "2.2.2.2", 0),
                                    row("cy", "4.4.4.4", 4)}));
  // Past the capacity the least recently active go.
  EXPECT_EQ(MergeOnline(mine, theirs, now, 5, 2),
            (std::vector<OnlineRow>{row("ann", "2.2.2.2", 0), row("bob", "1.1.1.1", 1)}));
}

}  // namespace
}  // namespace cb
