// Tests of dates (the texts Parse accepts and refuses are in tests/data/runtime.txt): the general
// text and its round trip, calendar fields on both sides of 1970, carrying of parts, and minute
// differences.
#include "runtime/datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace cb {
namespace {

TEST(DateTimeTest, GeneralTextConvertsBackExactly) {
  const struct {
    DateTime d;
    const char* text;
  } cases[] = {
      {DateTime::FromParts(2001, 5, 9, 8, 3, 7), "2001-05-09 08:03:07"},
      {DateTime::FromParts(2001, 5, 9), "2001-05-09 00:00:00"},
      {DateTime(), "00:00:00"},
      {DateTime().AddSeconds(86399), "23:59:59"},
      {DateTime::FromParts(1899, 12, 29, 6), "1899-12-29 06:00:00"},
      {DateTime::FromParts(1899, 12, 31), "1899-12-31 00:00:00"},
      {DateTime::FromParts(1970, 1, 1), "1970-01-01 00:00:00"},
      {DateTime::FromParts(9999, 12, 31, 23, 59, 59), "9999-12-31 23:59:59"},
      {DateTime::FromParts(100, 1, 1), "0100-01-01 00:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.d.GeneralText(), c.text);
    const std::optional<DateTime> back = DateTime::Parse(c.d.GeneralText());
    ASSERT_TRUE(back.has_value()) << c.text;
    EXPECT_EQ(*back, c.d) << c.text;
  }
}

TEST(DateTimeTest, FieldsOnBothSidesOfNineteenSeventy) {
  const struct {
    DateTime d;
    int y, mo, da, h, mi, s;
  } cases[] = {
      {DateTime(), 1899, 12, 30, 0, 0, 0},
      {DateTime::FromSeconds(-1), 1969, 12, 31, 23, 59, 59},
      {DateTime::FromSeconds(0), 1970, 1, 1, 0, 0, 0},
      {DateTime::FromSeconds(951782400), 2000, 2, 29, 0, 0, 0},
      {DateTime::FromSeconds(-2209161600 - 1), 1899, 12, 29, 23, 59, 59},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.d.seconds());
    EXPECT_EQ(c.d.year(), c.y);
    EXPECT_EQ(c.d.month(), c.mo);
    EXPECT_EQ(c.d.day(), c.da);
    EXPECT_EQ(c.d.hour(), c.h);
    EXPECT_EQ(c.d.minute(), c.mi);
    EXPECT_EQ(c.d.second(), c.s);
  }
  EXPECT_EQ(DateTime::FromSeconds(-1).DateOnly().YmdHms(), "1969-12-31 00:00:00");
  EXPECT_EQ(DateTime::FromSeconds(-1).Hms(), "23:59:59");
}

TEST(DateTimeTest, FromPartsCarriesOverflowingParts) {
  const struct {
    DateTime d;
    const char* want;
  } cases[] = {
      {DateTime::FromParts(2001, 13, 1), "2002-01-01 00:00:00"},
      {DateTime::FromParts(2001, 0, 1), "2000-12-01 00:00:00"},
      {DateTime::FromParts(2001, 2, 29), "2001-03-01 00:00:00"},
      {DateTime::FromParts(2001, 1, 0), "2000-12-31 00:00:00"},
      {DateTime::FromParts(2001, 12, 31, 23, 59, 60), "2002-01-01 00:00:00"},
      {DateTime::FromParts(2001, 5, 9).AddDays(365), "2002-05-09 00:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.d.YmdHms(), c.want);
}

TEST(DateTimeTest, DiffMinutesCountsBoundariesCrossed) {
  const DateTime noon = DateTime::FromParts(2001, 5, 9, 12);
  const DateTime before1970 = DateTime::FromParts(1960, 1, 1);
  const struct {
    DateTime a, b;
    int64_t minutes, seconds;
  } cases[] = {
      {noon.AddSeconds(59), noon.AddSeconds(60), 1, 1},
      {noon, noon.AddSeconds(59), 0, 59},
      {noon.AddSeconds(60), noon.AddSeconds(59), -1, -1},
      {noon, noon.AddSeconds(300), 5, 300},
      {DateTime::FromParts(2001, 5, 9, 23, 59, 30), DateTime::FromParts(2001, 5, 10), 1, 30},
      {before1970.AddSeconds(59), before1970.AddSeconds(60), 1, 1},
      {before1970.AddSeconds(-1), before1970, 1, 1},
      {before1970.AddSeconds(-59), before1970.AddSeconds(-1), 0, 58},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a.YmdHms() + " -> " + c.b.YmdHms());
    EXPECT_EQ(DiffMinutes(c.a, c.b), c.minutes);
    EXPECT_EQ(DiffSeconds(c.a, c.b), c.seconds);
  }
}

TEST(DateTimeTest, SystemClockGivesLocalWallTime) {
  // A zone eight hours east of UTC, written as a POSIX rule so that no zone files are needed.
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz ? old_tz : "";
  setenv("TZ", "CST-8", 1);
  tzset();
  const std::time_t t = std::time(nullptr);
  const DateTime now = SystemClock().Now();
  if (old_tz) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  const DateTime utc = DateTime::FromSeconds(static_cast<int64_t>(t));
  EXPECT_LE(std::llabs(DiffSeconds(utc.AddSeconds(8 * 3600), now)), 2);
}

}  // namespace
}  // namespace cb
