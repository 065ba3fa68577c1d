// Dates as the legacy host's numbers: whole days since 1899-12-30 plus the time as a fraction
// of a day; before the zero date the fraction still counts forwards (-1.25 is 1899-12-29 06:00).
#pragma once

#include "runtime/datetime.h"

namespace cb {

double DateToSerial(const DateTime& d);
// Raises 6 (overflow) outside the years 100 to 9999.
DateTime SerialToDate(double serial);

}  // namespace cb
