// Legacy conversions on text and numbers that pages use directly: IsNumeric, leading-number
// parsing, rounding half to even, case-insensitive find and replace, number formats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cb {

class Variant;

// IsNumeric: digits with optional sign, decimal point, exponent and surrounding spaces.
bool IsNumeric(const Variant& v);
bool IsNumericText(std::string_view s);
std::optional<double> ParseNumber(std::string_view s);  // the IsNumeric grammar

// Val-like reading of the leading number of a text ("3abc" -> 3, "abc" -> 0, "1 2" -> 12);
// raises 6 (overflow) when the number is beyond the range of a double.
double LeadingNumber(std::string_view s);

double RoundHalfEven(double d);

// Case-insensitive (ASCII letters) search and replacement; other bytes compare exactly.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);
std::string ReplaceNoCase(std::string_view text, std::string_view find, std::string_view repl);
bool EqualsNoCase(std::string_view a, std::string_view b);
inline bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
// Inline: the markup converter asks it at every character of a post.
inline bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}
std::string ToLower(std::string_view s);  // ASCII letters only
std::string ToUpper(std::string_view s);
std::string Trim(std::string_view s);             // spaces only, as the legacy Trim
std::string_view TrimBlanks(std::string_view s);  // spaces and tabs, as mail and markup read

// Length and prefix in characters (UTF-8 code points), as Len/Left count them.
size_t CharLength(std::string_view s);
std::string LeftChars(std::string_view s, size_t n);

// Format(n, "###,###,###,###,###"): thousands separators, 0 gives "".
std::string FormatThousands(int64_t n);

}  // namespace cb
