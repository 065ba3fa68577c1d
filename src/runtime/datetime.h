// Local date-time values as the board uses them (whole seconds, no time zone), their texts
// ("yyyy-mm-dd", "Hh:Nn:Ss", the general date text), parsing and differences; and the clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cb {

class DateTime {
 public:
  DateTime() = default;  // 1899-12-30 00:00:00, the legacy zero date
  static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0);
  // Seconds since 1970-01-01 00:00:00 in local wall-clock terms.
  static DateTime FromSeconds(int64_t s) {
    DateTime d;
    d.secs_ = s;
    return d;
  }
  int64_t seconds() const { return secs_; }

  int year() const;
  int month() const;
  int day() const;
  int hour() const;
  int minute() const;
  int second() const;

  DateTime DateOnly() const;  // midnight of the same day
  DateTime AddDays(int64_t days) const;
  DateTime AddSeconds(int64_t s) const { return FromSeconds(secs_ + s); }

  std::string Ymd() const;     // "2001-05-09"
  std::string Hms() const;     // "08:03:07"
  std::string YmdHms() const;  // "2001-05-09 08:03:07", the stored and compared form
  // The general date text, the form of dates inside text (cookies, concatenation): always
  // "yyyy-mm-dd hh:nn:ss", even at midnight, except that a value on the zero date 1899-12-30
  // (a time of day alone) gives "hh:nn:ss". Parse reads both back to the same value.
  std::string GeneralText() const;

  // IsDate/CDate: the texts the board writes and the usual variants (yyyy-m-d, yyyy/m/d,
  // with or without a time h:m[:s], optional AM/PM). Empty when the text is not a date.
  static std::optional<DateTime> Parse(std::string_view text);

  auto operator<=>(const DateTime&) const = default;

 private:
  int64_t secs_ = -2209161600;  // 1899-12-30
};

// Whole units crossed from a to b, as the legacy DateDiff counts them (b - a).
int64_t DiffSeconds(const DateTime& a, const DateTime& b);
int64_t DiffMinutes(const DateTime& a, const DateTime& b);  // minute boundaries crossed

// The local wall time of a Unix instant, and the instant of a local wall time (one the clocks
// skipped lies where mktime puts it; one they repeated, at either instant that shows it). The
// zone's offsets are kept per minute: the C library's converters take one lock for the whole
// process, and mktime re-reads the zone file each time.
DateTime LocalTimeOf(int64_t utc_seconds);
int64_t UnixTimeOf(const DateTime& local);
// Forgets the kept offsets, after the process changed its zone (TZ and tzset, in tests).
void ForgetZoneOffsets();

// The source of time: the real clocks in the server, a fixed one in tests. Now() is the local
// wall clock the board's dates come from; Steady() measures idle times and never goes back.
class Clock {
 public:
  using SteadyTime = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
  virtual SteadyTime Steady() const { return std::chrono::steady_clock::now(); }
};

class SystemClock : public Clock {
 public:
  static const SystemClock& Shared();
  DateTime Now() const override;
};

// Stands still until moved. Advance moves both clocks; Set moves the wall clock alone, as a
// corrected system clock does.
class FixedClock : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  DateTime Now() const override { return now_; }
  SteadyTime Steady() const override { return steady_; }
  void Set(DateTime now) { now_ = now; }
  void Advance(int64_t seconds) { Advance(std::chrono::seconds(seconds)); }
  void Advance(std::chrono::seconds d) {
    now_ = now_.AddSeconds(d.count());
    steady_ += d;
  }

 private:
  DateTime now_;
  SteadyTime steady_{};
};

}  // namespace cb
