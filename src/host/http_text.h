// The texts of HTTP the host reads and writes without a socket: url-encoded fields, cookie headers,
// Set-Cookie lines, HTTP dates, redirect locations and the content type of a file name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/context.h"
#include "runtime/datetime.h"

namespace cb {

// The text without the spaces and tabs around it, as header values are read.
std::string_view TrimHeaderSpace(std::string_view s);

// Splits "a=1&b=2" into the collection, decoding names and values as GBK ("+" is a space).
// Lenient: a bad escape stays as written and a bad GBK byte becomes U+FFFD.
void ParseUrlEncoded(std::string_view raw, ValueCollection& out);

// Splits a Cookie header ("a=1; b=2") into the collection, values decoded as GBK like the fields.
void ParseCookieHeader(std::string_view header, ValueCollection& out);

// "Sun, 06 Nov 1994 08:49:37 GMT" for a local wall-clock date, converted with the local time zone.
std::string HttpDate(const DateTime& local);
// The same text for an instant in seconds since 1970 UTC.
std::string HttpDateFromUnix(int64_t utc_seconds);

// One Set-Cookie value for a page's cookie: name and value URL-encoded as GBK, an expiry when set,
// no path or domain, so the browser scopes the cookie to the page's folder. That is enough: every
// page that sets a cookie lives at the site root, whose cookies reach admin/ too, and the control
// panel sets none. (The host's own session cookie carries Path=/.) No page script reads a cookie,
// so every one is HttpOnly and SameSite=Lax, and Secure when the request came over HTTPS.
std::string FormatSetCookie(std::string_view name, const ResponseCookie& cookie,
                            bool secure = false);

// A Location header value: non-ASCII text percent-encoded as GBK bytes, controls and spaces
// percent-encoded, everything else (including existing escapes) kept.
std::string EncodeLocation(std::string_view url);

// Content type of a static file by its extension (case ignored); empty for an unknown extension.
std::string ContentTypeForFile(std::string_view file_name);

// The content type of the board's pages.
inline constexpr std::string_view kPageContentType = "text/html; charset=gb2312";

}  // namespace cb
