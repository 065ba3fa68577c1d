// Return addresses that come from a visitor's form: whether one is an address of this board, and
// the text written into a link or a refresh for it.
#pragma once

#include <string>
#include <string_view>

namespace cb {

// True when url, read the way a browser reads it in an attribute (character references decoded,
// tabs and line breaks dropped) and also after percent-decoding, is a relative address of this
// board: a path or page name with no scheme, no "//" at its start and no backslash before its
// query. Control characters and blanks anywhere refuse the address.
bool IsBoardAddress(std::string_view url);

// url ready for a quoted href and for the refresh "URL='…'" when it is an address of this board,
// else "default.asp". Quotes and angle brackets become %XX and an "&" that would start a character
// reference becomes "&amp;", so the browser follows exactly the text that was checked.
std::string BoardReturnAddress(std::string_view url);

}  // namespace cb
