// Legacy conversions on text and numbers: the IsNumeric grammar, Val-like leading numbers,
// banker's rounding, ASCII case-insensitive text operations and number formats.
#include "runtime/convert.h"

#include <cmath>
#include <cstdlib>

#include "runtime/variant.h"

namespace cb {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Length of the number at the start of s: sign, digits with an optional point, and an exponent
// only when it has digits. Zero when there is no digit in the mantissa.
size_t NumberPrefix(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const size_t exp_start = j;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (j > exp_start) i = j;
  }
  return i;
}

// strtod on a prefix already checked against the grammar (so no hex, inf or nan reaches it).
double ToDouble(std::string_view number) {
  const std::string copy(number);
  return std::strtod(copy.c_str(), nullptr);
}

std::string_view TrimSpaces(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::optional<double> ParseNumber(std::string_view s) {
  const std::string_view t = TrimSpaces(s);
  const size_t n = NumberPrefix(t);
  if (n == 0 || n != t.size()) return std::nullopt;
  const double d = ToDouble(t);
  if (!std::isfinite(d)) return std::nullopt;  // beyond the range of a double
  return d;
}

bool IsNumericText(std::string_view s) { return ParseNumber(s).has_value(); }

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case VType::kEmpty:
    case VType::kBoolean:
    case VType::kInteger:
    case VType::kLong:
    case VType::kDouble:
      return true;
    case VType::kString:
      return IsNumericText(v.AsStringRef());
    case VType::kNull:
    case VType::kDate:
    case VType::kArray:
      return false;
  }
  return false;
}

double LeadingNumber(std::string_view s) {
  // Val ignores blanks, tabs and line feeds anywhere ("1 2x" is 12) and also takes D as the
  // exponent letter.
  std::string packed;
  for (const char c : s) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    packed.push_back(c == 'd' || c == 'D' ? 'e' : c);
    if (c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E' && c != 'd' && c != 'D' &&
        !IsDigit(c)) {
      break;  // nothing after a character outside a number can belong to it
    }
  }
  const size_t n = NumberPrefix(packed);
  if (n == 0) return 0;
  const double d = ToDouble(std::string_view(packed).substr(0, n));
  if (!std::isfinite(d)) throw ScriptError(err::kOverflow, "溢出");
  return d;
}

double RoundHalfEven(double d) {
  // nearbyint follows the current rounding mode, which is to-nearest-even unless changed.
  return std::nearbyint(d);
}

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
  if (from > hay.size() || needle.size() > hay.size() - from) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && LowerAscii(hay[i + k]) == LowerAscii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

std::string ReplaceNoCase(std::string_view text, std::string_view find, std::string_view repl) {
  if (find.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = FindNoCase(text, find, pos)) != std::string_view::npos;) {
    out.append(text.substr(pos, hit - pos));
    out.append(repl);
    pos = hit + find.size();
  }
  out.append(text.substr(pos));
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string ToUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

std::string Trim(std::string_view s) { return std::string(TrimSpaces(s)); }

std::string_view TrimBlanks(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

size_t CharLength(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string LeftChars(std::string_view s, size_t n) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && chars++ == n) {
      return std::string(s.substr(0, i));
    }
  }
  return std::string(s);
}

std::string FormatThousands(int64_t n) {
  if (n == 0) return "";
  // Digits of the magnitude, built without negating (INT64_MIN has no positive counterpart).
  std::string digits;
  for (int64_t v = n; v != 0; v /= 10) {
    const int64_t r = v % 10;
    digits.insert(digits.begin(), static_cast<char>('0' + (r < 0 ? -r : r)));
  }
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return n < 0 ? "-" + out : out;
}

}  // namespace cb
