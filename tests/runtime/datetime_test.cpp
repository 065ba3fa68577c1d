// Dates (tests/data/datetime.txt; the texts Parse accepts are in runtime.txt) and local time
// against the C library.
#include "runtime/datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/case_table.h"
#include "support/test_env.h"

namespace cb {
namespace {

DateTime FromParts(const std::vector<std::string>& a) {
  return DateTime::FromParts(std::stoi(a.at(0)), std::stoi(a.at(1)), std::stoi(a.at(2)),
                             std::stoi(a.at(3)), std::stoi(a.at(4)), std::stoi(a.at(5)));
}

TEST(DateTimeTest, TextCases) {
  using Texts = std::vector<std::string>;
  test::CheckCaseTable(
      "datetime.txt",
      {{"GeneralText",
        [](const Texts& a) {
          const DateTime d = FromParts(a);
          EXPECT_EQ(DateTime::Parse(d.GeneralText()), d) << d.GeneralText();
          return Texts{d.GeneralText()};
        }},
       {"Fields",
        [](const Texts& a) {
          const DateTime d = DateTime::FromSeconds(std::stoll(a.at(0)));
          Texts out;
          for (int v : {d.year(), d.month(), d.day(), d.hour(), d.minute(), d.second()}) {
            out.push_back(std::to_string(v));
          }
          return out;
        }},
       {"FromParts", [](const Texts& a) { return Texts{FromParts(a).YmdHms()}; }},
       {"Diff", [](const Texts& a) {
          const DateTime from = DateTime::Parse(a.at(0)).value(),
                         to = DateTime::Parse(a.at(1)).value();
          return Texts{std::to_string(DiffMinutes(from, to)),
                       std::to_string(DiffSeconds(from, to))};
        }}});
  EXPECT_EQ(DateTime::FromParts(1899, 12, 30), DateTime());
  EXPECT_EQ(DateTime::FromParts(2001, 5, 9).AddDays(365).YmdHms(), "2002-05-09 00:00:00");
  EXPECT_EQ(DateTime::FromSeconds(-1).DateOnly().YmdHms(), "1969-12-31 00:00:00");
  EXPECT_EQ(DateTime::FromSeconds(-1).Hms(), "23:59:59");
}

TEST(DateTimeTest, SystemClockGivesLocalWallTime) {
  // A zone eight hours east of UTC, written as a POSIX rule so that no zone files are needed.
  test::ScopedTimeZone zone("CST-8");
  const DateTime utc = DateTime::FromSeconds(static_cast<int64_t>(std::time(nullptr)));
  EXPECT_LE(std::llabs(DiffSeconds(utc.AddSeconds(8 * 3600), SystemClock().Now())), 2);
}

// The kept offsets agree with the C library every quarter hour of days the clocks change (summer
// rules, one of half an hour, one that changed its offset for good) and over the years: a wall
// time reads back to an instant showing it, and one the clocks skipped lies where mktime puts it.
TEST(DateTimeTest, LocalTimesAgreeWithTheCLibrary) {
  const int64_t kChangeDays[] = {1711843200, 1729987200, 1710028800, 1730592000,
                                 1712419200, 1728144000, 504921600};
  for (const char* tz :
       {"Europe/Berlin", "America/New_York", "Australia/Adelaide", "Asia/Kathmandu", "UTC0"}) {
    test::ScopedTimeZone zone(tz);
    std::vector<int64_t> instants;
    for (int64_t day : kChangeDays) {
      for (int64_t t = day - 86400; t < day + 86400; t += 900) instants.push_back(t);
    }
    for (int64_t t = 0; t < 4102444800; t += 97 * 3600 + 1234) instants.push_back(t);
    for (int64_t t : instants) {
      const std::time_t at = static_cast<std::time_t>(t);
      std::tm local{};
      localtime_r(&at, &local);
      const DateTime wall =
          DateTime::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec);
      ASSERT_EQ(LocalTimeOf(t), wall) << tz << " " << t;
      ASSERT_EQ(LocalTimeOf(UnixTimeOf(wall)), wall) << tz << " " << wall.YmdHms();
    }
  }
  test::ScopedTimeZone zone("Europe/Berlin");
  std::tm skipped{};
  skipped.tm_min = 30, skipped.tm_hour = 2, skipped.tm_mday = 31, skipped.tm_mon = 2;
  skipped.tm_year = 124, skipped.tm_isdst = -1;
  EXPECT_EQ(UnixTimeOf(DateTime::FromParts(2024, 3, 31, 2, 30)), mktime(&skipped));
}

}  // namespace
}  // namespace cb
