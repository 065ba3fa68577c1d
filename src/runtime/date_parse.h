// Reading the date texts the board meets ("2001-5-9 8:03:07 PM", "2001/05/09", "08:03:07") into
// calendar fields; only valid dates and times pass.
#pragma once

#include <optional>
#include <string_view>

namespace cb {

struct DateFields {
  int year = 1899;
  int month = 12;
  int day = 30;  // a text with only a time keeps the zero date
  int hour = 0;
  int minute = 0;
  int second = 0;
};

std::optional<DateFields> ParseDateFields(std::string_view text);

}  // namespace cb
