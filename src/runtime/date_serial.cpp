// Dates as the legacy host's numbers (days since 1899-12-30 with the time as a fraction).
#include "runtime/date_serial.h"

#include <cmath>

#include "runtime/script_error.h"

namespace cb {
namespace {

constexpr double kSecondsPerDay = 86400;
constexpr double kFirstSerial = -657434;  // 0100-01-01
constexpr double kEndSerial = 2958466;    // 10000-01-01

}  // namespace

double DateToSerial(const DateTime& d) {
  const int64_t from_zero = d.seconds() - DateTime().seconds();
  const int64_t days = from_zero / 86400 - (from_zero % 86400 < 0);
  const double fraction = static_cast<double>(from_zero - days * 86400) / kSecondsPerDay;
  return days < 0 ? days - fraction : days + fraction;
}

DateTime SerialToDate(double serial) {
  if (!(serial >= kFirstSerial && serial < kEndSerial)) {
    throw ScriptError(err::kOverflow, "溢出");
  }
  const double days = std::trunc(serial);
  const double fraction = std::fabs(serial - days);
  const auto seconds = static_cast<int64_t>(std::llround(fraction * kSecondsPerDay));
  return DateTime().AddDays(static_cast<int64_t>(days)).AddSeconds(seconds);
}

}  // namespace cb
