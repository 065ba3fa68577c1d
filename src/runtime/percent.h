// Percent-encoding of bytes ("%XX"): the board's one table of hex digits and its one decoder of
// escapes, shared by URLs, paths, query strings, form values and the mail and markup writers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cb {

// The digits escapes are written with (upper case, as browsers and URLEncode write them).
inline constexpr char kHexDigits[] = "0123456789ABCDEF";
// Lower-case digits, for ids and script escapes.
inline constexpr char kLowerHexDigits[] = "0123456789abcdef";

// The value of a hex digit of either case, else -1.
int HexValue(char c);

// Appends "%XX" for the byte c.
void AppendPercentEscape(unsigned char c, std::string& out);

// Turns every "%XX" into its byte; with plus_is_space "+" becomes " " (query and form values).
// A "%" without two hex digits after it stays as it stands and sets *ok to false.
std::string PercentDecode(std::string_view raw, bool plus_is_space, bool* ok = nullptr);

// A request path decoded strictly ("+" stays "+"); nothing when an escape is broken.
std::optional<std::string> PercentDecodePath(std::string_view raw);

}  // namespace cb
