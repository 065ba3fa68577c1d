// The texts of HTTP the host reads and writes without a socket.
#include "host/http_text.h"

#include <utility>

#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "runtime/percent.h"

namespace cb {

namespace {

// Calls fn(piece) for every piece of s between separators, empty pieces skipped.
template <class Fn>
void ForEachPiece(std::string_view s, char sep, Fn fn) {
  while (!s.empty()) {
    size_t end = s.find(sep);
    std::string_view piece = s.substr(0, end);
    if (!piece.empty()) fn(piece);
    if (end == std::string_view::npos) break;
    s.remove_prefix(end + 1);
  }
}

std::pair<std::string_view, std::string_view> SplitPair(std::string_view piece) {
  size_t eq = piece.find('=');
  if (eq == std::string_view::npos) return {piece, {}};
  return {piece.substr(0, eq), piece.substr(eq + 1)};
}

}  // namespace

std::string_view TrimHeaderSpace(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

void ParseUrlEncoded(std::string_view raw, ValueCollection& out) {
  ForEachPiece(raw, '&', [&](std::string_view piece) {
    auto [name, value] = SplitPair(piece);
    if (name.empty()) return;
    out.Add(UrlDecodeGbk(name), UrlDecodeGbk(value));
  });
}

void ParseCookieHeader(std::string_view header, ValueCollection& out) {
  ForEachPiece(header, ';', [&](std::string_view piece) {
    auto [name, value] = SplitPair(TrimHeaderSpace(piece));
    name = TrimHeaderSpace(name);
    if (name.empty()) return;
    value = TrimHeaderSpace(value);
    // Some clients quote cookie values.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    out.Add(UrlDecodeGbk(name), UrlDecodeGbk(value));
  });
}

std::string HttpDateFromUnix(int64_t utc_seconds) {
  static constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // The instant's fields read as a wall time in UTC; 1970-01-01 was a Thursday.
  const DateTime utc = DateTime::FromSeconds(utc_seconds);
  const int64_t days = utc.DateOnly().seconds() / 86400;
  const std::string ymd = utc.Ymd();  // "yyyy-mm-dd"
  return std::string(kDays[((days % 7) + 7) % 7]) + ", " + ymd.substr(8, 2) + " " +
         kMonths[utc.month() - 1] + " " + ymd.substr(0, 4) + " " + utc.Hms() + " GMT";
}

std::string HttpDate(const DateTime& local) { return HttpDateFromUnix(UnixTimeOf(local)); }

std::string FormatSetCookie(std::string_view name, const ResponseCookie& cookie, bool secure) {
  std::string line = UrlEncode(name) + "=" + UrlEncode(cookie.value);
  if (cookie.expires) line += "; expires=" + HttpDate(*cookie.expires);
  line += "; HttpOnly; SameSite=Lax";
  if (secure) line += "; Secure";
  return line;
}

std::string EncodeLocation(std::string_view url) {
  bool ascii = true;
  for (unsigned char c : url) ascii = ascii && c < 0x80;
  std::string bytes = ascii ? std::string(url) : Utf8ToGbk(url);
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c <= 0x20 || c >= 0x7f) {
      AppendPercentEscape(c, out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string ContentTypeForFile(std::string_view file_name) {
  static const std::pair<std::string_view, std::string_view> kTypes[] = {
      {".htm", "text/html; charset=gb2312"},
      {".html", "text/html; charset=gb2312"},
      {".css", "text/css"},
      {".js", "application/javascript"},
      {".txt", "text/plain; charset=gb2312"},
      {".gif", "image/gif"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".png", "image/png"},
      {".bmp", "image/bmp"},
      {".ico", "image/x-icon"},
      {".svg", "image/svg+xml"},
      {".swf", "application/x-shockwave-flash"},
      {".zip", "application/zip"},
      {".xml", "text/xml"},
  };
  size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext = ToLower(file_name.substr(dot));
  for (const auto& [known, type] : kTypes) {
    if (ext == known) return std::string(type);
  }
  return {};
}

}  // namespace cb
