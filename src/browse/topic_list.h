// The topic list's decisions on what a visitor asked for, apart from the page so that tests
// drive them as data.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace cb {

// The previous visit, which marks topics as new: the date of the "sessionLoginDT" cookie; when
// the cookie is absent, now, and the cookie is set to now. A cookie that is no date counts as now.
struct LastVisit {
  DateTime when;
  bool set_cookie = false;
};
LastVisit ListLastVisit(std::string_view visit_cookie, DateTime now);

// The topics' age shown, in days (0: all): DaysPrune from the query, else from the cookie, as
// absolute values; a value that is not a number keeps the default, and such a cookie is reset to
// it. Raises the overflow of a value beyond 16 bits or of -32768.
struct DayRange {
  int16_t days = 0;
  bool reset_cookie = false;
};
DayRange ListDayRange(const Variant& query_days, const Variant& cookie_days, int16_t default_days);

}  // namespace cb
