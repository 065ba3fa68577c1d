// Texts that carry several fields (a session's values, a notice, the shared online table) in a
// database text column: each field as its length, ':' and its bytes; NUL, '%' and bytes of broken
// UTF-8 travel as %XX, since a database text holds neither.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cb {

void PutField(std::string& out, std::string_view field);
// The next field, taken from the front of in; none when in does not start with one.
std::optional<std::string_view> TakeField(std::string_view& in);

std::string EscapeForText(std::string_view bytes);
std::string UnescapeText(std::string_view text);

}  // namespace cb
