// Text at the edges: the program works in UTF-8; pages leave as GBK (labelled gb2312) and
// query strings and forms arrive as GBK. Also the URL and HTML encodings of the host's server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cb {

// UTF-8 to GBK; a character GBK cannot hold becomes a numeric character reference "&#NNNN;".
std::string Utf8ToGbk(std::string_view utf8);
// GBK to UTF-8; an invalid or truncated byte sequence becomes U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// Bytes of the text in GBK (datalength); a character outside GBK counts as its reference.
size_t GbkByteLength(std::string_view utf8);
bool IsValidUtf8(std::string_view s);
// Appends the UTF-8 bytes of a code point (the caller keeps it within U+0000..U+10FFFF).
void AppendUtf8(std::string& out, uint32_t cp);

// Server.URLEncode: GBK bytes, unreserved ASCII letters and digits kept, space as "+".
std::string UrlEncode(std::string_view utf8);
// Decodes a query-string or form value ("+" is space) whose bytes are GBK; ok=false on a bad escape.
std::string UrlDecodeGbk(std::string_view raw, bool* ok = nullptr);
// Server.HTMLEncode: & < > " become entities.
std::string HtmlEncode(std::string_view s);

}  // namespace cb
