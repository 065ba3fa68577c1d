// Local date-time values: calendar arithmetic on whole seconds, the fixed texts, parsing of the
// date texts the board meets, differences, and the system clock.
#include "runtime/datetime.h"

#include <atomic>
#include <ctime>

#include "runtime/date_parse.h"

namespace cb {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int year;
  int month;
  int day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::string TwoDigits(int n) {
  std::string s(2, '0');
  s[0] = static_cast<char>('0' + n / 10 % 10);
  s[1] = static_cast<char>('0' + n % 10);
  return s;
}

std::string FourDigits(int n) {
  std::string s = std::to_string(n < 0 ? -n : n);
  if (s.size() < 4) s.insert(0, 4 - s.size(), '0');
  return n < 0 ? "-" + s : s;
}

// The zone's offsets, a slot per minute: (minute + 2^40) << 20 | (offset + 2^19); 0 is empty.
// An offset never changes within a minute (zones change on whole minutes since long before
// 1970), and both the present and the dates the board writes fall in few minutes.
constexpr uint64_t kOffsetBits = 20;
constexpr int64_t kOffsetBias = int64_t{1} << 19;
std::atomic<uint64_t> zone_offsets[64];

// Seconds east of UTC at a Unix instant.
int64_t OffsetAt(int64_t utc) {
  const int64_t minute = FloorDiv(utc, 60);
  const uint64_t key = static_cast<uint64_t>(minute + (int64_t{1} << 40)) << kOffsetBits;
  std::atomic<uint64_t>& slot = zone_offsets[static_cast<uint64_t>(minute) % 64];
  const uint64_t kept = slot.load(std::memory_order_relaxed);
  if ((kept >> kOffsetBits) << kOffsetBits == key && kept != 0) {
    return static_cast<int64_t>(kept & ((uint64_t{1} << kOffsetBits) - 1)) - kOffsetBias;
  }
  const std::time_t t = static_cast<std::time_t>(utc);
  std::tm local{};
  localtime_r(&t, &local);
  const int64_t offset = local.tm_gmtoff;
  slot.store(key | static_cast<uint64_t>(offset + kOffsetBias), std::memory_order_relaxed);
  return offset;
}

}  // namespace

DateTime LocalTimeOf(int64_t utc_seconds) {
  return DateTime::FromSeconds(utc_seconds + OffsetAt(utc_seconds));
}

int64_t UnixTimeOf(const DateTime& local) {
  const int64_t wall = local.seconds();
  const int64_t guess = wall - OffsetAt(wall - OffsetAt(wall));
  if (guess + OffsetAt(guess) == wall) return guess;
  // A wall time the clocks skipped: mktime decides where it lies.
  const std::time_t fields_at = static_cast<std::time_t>(wall);
  std::tm fields{};
  gmtime_r(&fields_at, &fields);
  fields.tm_isdst = -1;
  return mktime(&fields);
}

void ForgetZoneOffsets() {
  for (auto& slot : zone_offsets) slot.store(0, std::memory_order_relaxed);
}

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute, int second) {
  // Months outside 1..12 and days past the month's end carry over, as DateSerial does.
  int64_t y = year + FloorDiv(month - 1, 12);
  int64_t m = FloorMod(month - 1, 12) + 1;
  int64_t days = DaysFromCivil(y, m, 1) + day - 1;
  return FromSeconds(days * kSecondsPerDay + int64_t{hour} * 3600 + int64_t{minute} * 60 + second);
}

int DateTime::year() const { return CivilFromDays(FloorDiv(secs_, kSecondsPerDay)).year; }
int DateTime::month() const { return CivilFromDays(FloorDiv(secs_, kSecondsPerDay)).month; }
int DateTime::day() const { return CivilFromDays(FloorDiv(secs_, kSecondsPerDay)).day; }
int DateTime::hour() const { return static_cast<int>(FloorMod(secs_, kSecondsPerDay) / 3600); }
int DateTime::minute() const { return static_cast<int>(FloorMod(secs_, 3600) / 60); }
int DateTime::second() const { return static_cast<int>(FloorMod(secs_, 60)); }

DateTime DateTime::DateOnly() const {
  return FromSeconds(FloorDiv(secs_, kSecondsPerDay) * kSecondsPerDay);
}

DateTime DateTime::AddDays(int64_t days) const {
  return FromSeconds(secs_ + days * kSecondsPerDay);
}

std::string DateTime::Ymd() const {
  const Civil c = CivilFromDays(FloorDiv(secs_, kSecondsPerDay));
  return FourDigits(c.year) + "-" + TwoDigits(c.month) + "-" + TwoDigits(c.day);
}

std::string DateTime::Hms() const {
  return TwoDigits(hour()) + ":" + TwoDigits(minute()) + ":" + TwoDigits(second());
}

std::string DateTime::YmdHms() const { return Ymd() + " " + Hms(); }

std::string DateTime::GeneralText() const {
  if (DateOnly() == DateTime()) return Hms();
  return YmdHms();
}

std::optional<DateTime> DateTime::Parse(std::string_view text) {
  const std::optional<DateFields> f = ParseDateFields(text);
  if (!f) return std::nullopt;
  return FromParts(f->year, f->month, f->day, f->hour, f->minute, f->second);
}

int64_t DiffSeconds(const DateTime& a, const DateTime& b) { return b.seconds() - a.seconds(); }

int64_t DiffMinutes(const DateTime& a, const DateTime& b) {
  return FloorDiv(b.seconds(), 60) - FloorDiv(a.seconds(), 60);
}

const SystemClock& SystemClock::Shared() {
  static const SystemClock instance;
  return instance;
}

DateTime SystemClock::Now() const { return LocalTimeOf(std::time(nullptr)); }

}  // namespace cb
