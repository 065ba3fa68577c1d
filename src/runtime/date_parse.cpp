// Reading the date texts the board meets into calendar fields. Accepted: a date "yyyy-m-d" or
// "yyyy/m/d" (one separator throughout), a time "h:m" or "h:m:s" with an optional AM/PM, or a
// date, spaces and a time; spaces may surround the whole text.
#include "runtime/date_parse.h"

namespace cb {
namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}
  bool AtEnd() const { return pos_ == s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
  size_t pos() const { return pos_; }
  void Reset(size_t pos) { pos_ = pos; }

  size_t SkipSpaces() {
    const size_t start = pos_;
    while (!AtEnd() && s_[pos_] == ' ') ++pos_;
    return pos_ - start;
  }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }
  // Between min_digits and max_digits decimal digits; no more may follow.
  std::optional<int> Number(size_t min_digits, size_t max_digits) {
    int value = 0;
    size_t n = 0;
    while (!AtEnd() && s_[pos_] >= '0' && s_[pos_] <= '9') {
      if (++n > max_digits) return std::nullopt;
      value = value * 10 + (s_[pos_++] - '0');
    }
    if (n < min_digits) return std::nullopt;
    return value;
  }
  // "AM" or "PM" in any case: 0 for AM, 12 for PM.
  std::optional<int> Meridiem() {
    if (s_.size() - pos_ < 2) return std::nullopt;
    const char a = static_cast<char>(s_[pos_] | 0x20);
    const char m = static_cast<char>(s_[pos_ + 1] | 0x20);
    if (m != 'm' || (a != 'a' && a != 'p')) return std::nullopt;
    pos_ += 2;
    return a == 'a' ? 0 : 12;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool ParseDate(Scanner& in, DateFields& f) {
  const std::optional<int> y = in.Number(4, 4);
  if (!y) return false;
  const char sep = in.Peek();
  if ((sep != '-' && sep != '/') || !in.Take(sep)) return false;
  const std::optional<int> m = in.Number(1, 2);
  if (!m || !in.Take(sep)) return false;
  const std::optional<int> d = in.Number(1, 2);
  if (!d) return false;
  if (*y < 100 || *m < 1 || *m > 12 || *d < 1 || *d > DaysInMonth(*y, *m)) return false;
  f.year = *y;
  f.month = *m;
  f.day = *d;
  return true;
}

bool ParseTime(Scanner& in, DateFields& f) {
  const std::optional<int> h = in.Number(1, 2);
  if (!h || !in.Take(':')) return false;
  const std::optional<int> n = in.Number(1, 2);
  if (!n) return false;
  std::optional<int> s = 0;
  if (in.Take(':')) s = in.Number(1, 2);
  if (!s || *n > 59 || *s > 59) return false;
  int hour = *h;
  const size_t before_meridiem = in.pos();
  in.SkipSpaces();
  if (const std::optional<int> offset = in.Meridiem()) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + *offset;
  } else {
    in.Reset(before_meridiem);
    if (hour > 23) return false;
  }
  f.hour = hour;
  f.minute = *n;
  f.second = *s;
  return true;
}

}  // namespace

std::optional<DateFields> ParseDateFields(std::string_view text) {
  DateFields f;
  Scanner in(text);
  in.SkipSpaces();
  const size_t start = in.pos();
  if (ParseDate(in, f)) {
    const size_t after_date = in.pos();
    if (in.SkipSpaces() == 0 || !ParseTime(in, f)) in.Reset(after_date);
  } else {
    in.Reset(start);
    f = DateFields();
    if (!ParseTime(in, f)) return std::nullopt;
  }
  in.SkipSpaces();
  if (!in.AtEnd()) return std::nullopt;
  return f;
}

}  // namespace cb
