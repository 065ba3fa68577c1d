// The decisions of the maintenance tools that need no database: the statistics' month and its
// texts (shares, weekdays), the lines of the news scripts, and the mailing list's text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime.h"

namespace cb {

// The statistics' month: Year and Month from the request when given, else the clock's. A value
// given but not a whole number above 0, or a month outside 1..12, is refused ("参数错误！").
struct StatisticsMonth {
  bool refused = false;
  int32_t year = 0;
  int32_t month = 0;
};
StatisticsMonth ChooseStatisticsMonth(const std::string& year, const std::string& month,
                                      const DateTime& now);

// A share as the "Percent" format writes it: times 100, two decimals, "%" ("12.50%").
std::string PercentText(double share);
// The weekday number of a date, Monday 1 to Sunday 7.
int WeekdayFromMonday(int year, int month, int day);

// One line of a news script: document.write("text"); with the text inside a double-quoted script
// string (backslashes, double quotes and line breaks escaped). The last line of a list is written
// without its semicolon.
std::string ScriptWriteLine(std::string_view html, bool semicolon = true);
// The address other pages' links start with: BBURL up to, not including, its last "/".
std::string ScriptBase(std::string_view bburl);

// The mailing list's text: the addresses joined by "," for "comma", else one a line (CR LF).
std::string MailingListText(const std::vector<std::string>& addresses, std::string_view delimit);

}  // namespace cb
