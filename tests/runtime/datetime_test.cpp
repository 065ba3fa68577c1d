// Tests of dates: the general text and its round trip, calendar fields on both sides of 1970,
// carrying of parts and minute differences (tests/data/datetime.txt; the texts Parse accepts and
// refuses are in runtime.txt), and the system clock's local time.
#include "runtime/datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/case_table.h"

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
