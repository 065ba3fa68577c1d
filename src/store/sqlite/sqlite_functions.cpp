// SQL Server functions for SQLite: datalength (bytes in GBK), ascii (first GBK byte), year /
// month / day of date texts, and LIKE.
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/datetime.h"
#include "runtime/gbk.h"
#include "store/sqlite/sqlite_backend.h"

namespace cb {

namespace {

std::string_view TextArg(sqlite3_value* v) {
  const unsigned char* p = sqlite3_value_text(v);
  return std::string_view(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v));
}

void DataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
      return sqlite3_result_int(ctx, 4);
    case SQLITE_FLOAT:
      return sqlite3_result_int(ctx, 8);
    case SQLITE_BLOB:
      return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    default:
      return sqlite3_result_int64(ctx, static_cast<int64_t>(GbkByteLength(TextArg(argv[0]))));
  }
}

size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;
}

// The code of the first character as the board's code page (GBK) holds it.
void Ascii(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string_view s = TextArg(argv[0]);
  if (s.empty()) return sqlite3_result_null(ctx);
  unsigned char lead = s[0];
  if (lead < 0x80) return sqlite3_result_int(ctx, lead);
  std::string gbk = Utf8ToGbk(s.substr(0, std::min(s.size(), Utf8Length(lead))));
  unsigned char first = gbk.empty() ? '?' : gbk[0];
  if (first == '&') first = '?';  // outside GBK: SQL Server stores it as '?'
  sqlite3_result_int(ctx, first);
}

std::optional<DateTime> DateArg(sqlite3_value* v) { return DateTime::Parse(TextArg(v)); }

template <int Part>
void DatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string_view s = TextArg(argv[0]);
  // Fast path for the stored form.
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
    size_t at = Part == 0 ? 0 : Part == 1 ? 5 : 8;
    size_t n = Part == 0 ? 4 : 2;
    int x = 0;
    bool digits = true;
    for (size_t i = at; i < at + n; ++i) {
      if (s[i] < '0' || s[i] > '9') digits = false;
      x = x * 10 + (s[i] - '0');
    }
    if (digits) return sqlite3_result_int(ctx, x);
  }
  std::optional<DateTime> d = DateArg(argv[0]);
  if (!d) {
    std::string msg = "Conversion failed when converting date and/or time from character string";
    return sqlite3_result_error(ctx, msg.c_str(), -1);
  }
  sqlite3_result_int(ctx, Part == 0 ? d->year() : Part == 1 ? d->month() : d->day());
}

void Like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  }
  char32_t escape = 0;
  if (argc == 3) {
    std::string_view e = TextArg(argv[2]);
    if (e.size() != 1) return sqlite3_result_error(ctx, "ESCAPE must be one character", -1);
    escape = static_cast<unsigned char>(e[0]);
  }
  // X LIKE Y calls like(Y, X): the pattern comes first.
  sqlite3_result_int(ctx, SqlServerLike(TextArg(argv[0]), TextArg(argv[1]), escape));
}

// --- LIKE -----------------------------------------------------------------------------------

char32_t Decode(std::string_view s, size_t& i) {
  unsigned char c = s[i];
  size_t n = Utf8Length(c);
  if (i + n > s.size()) n = 1;
  char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += n;
  return cp;
}

char32_t Fold(char32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

class LikeMatcher {
 public:
  LikeMatcher(std::string_view p, char32_t escape) : p_(p), esc_(escape) {}

  bool Match(std::string_view s) const {
    size_t pi = 0, si = 0;
    size_t star_p = std::string_view::npos, star_s = 0;
    while (si < s.size()) {
      if (pi < p_.size() && p_[pi] == '%' && !IsEscape(pi)) {
        while (pi < p_.size() && p_[pi] == '%') ++pi;
        star_p = pi;
        star_s = si;
        continue;
      }
      size_t next_p = pi, next_s = si;
      if (pi < p_.size() && MatchOne(next_p, s, next_s)) {
        pi = next_p;
        si = next_s;
        continue;
      }
      if (star_p == std::string_view::npos) return false;
      pi = star_p;
      Decode(s, star_s);  // let the % swallow one more character
      si = star_s;
    }
    while (pi < p_.size() && p_[pi] == '%') ++pi;
    return pi == p_.size();
  }

 private:
  bool IsEscape(size_t pi) const { return esc_ != 0 && static_cast<unsigned char>(p_[pi]) == esc_; }

  // Matches the pattern element at pi against the character at si; advances both on success.
  bool MatchOne(size_t& pi, std::string_view s, size_t& si) const {
    char32_t c = Fold(Decode(s, si));
    if (IsEscape(pi)) {
      ++pi;
      if (pi >= p_.size()) return false;
      return Fold(Decode(p_, pi)) == c;
    }
    if (p_[pi] == '_') {
      ++pi;
      return true;
    }
    if (p_[pi] == '[') {
      size_t close = p_.find(']', pi + 1);
      if (close != std::string_view::npos) return MatchClass(pi, close, c);
    }
    return Fold(Decode(p_, pi)) == c;
  }

  bool MatchClass(size_t& pi, size_t close, char32_t c) const {
    size_t i = pi + 1;
    bool negate = i < close && p_[i] == '^';
    if (negate) ++i;
    bool hit = false;
    while (i < close) {
      char32_t lo = Fold(Decode(p_, i));
      char32_t hi = lo;
      if (i + 1 < close && p_[i] == '-') {
        ++i;
        hi = Fold(Decode(p_, i));
      }
      if (c >= lo && c <= hi) hit = true;
    }
    pi = close + 1;
    return hit != negate;
  }

  std::string_view p_;
  char32_t esc_;
};

}  // namespace

bool SqlServerLike(std::string_view pattern, std::string_view text, char32_t escape) {
  return LikeMatcher(pattern, escape).Match(text);
}

void RegisterSqliteFunctions(sqlite3* db) {
  const int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_function(db, "datalength", 1, det, nullptr, DataLength, nullptr, nullptr);
  sqlite3_create_function(db, "ascii", 1, det, nullptr, Ascii, nullptr, nullptr);
  sqlite3_create_function(db, "year", 1, det, nullptr, DatePart<0>, nullptr, nullptr);
  sqlite3_create_function(db, "month", 1, det, nullptr, DatePart<1>, nullptr, nullptr);
  sqlite3_create_function(db, "day", 1, det, nullptr, DatePart<2>, nullptr, nullptr);
  sqlite3_create_function(db, "like", 2, det, nullptr, Like, nullptr, nullptr);
  sqlite3_create_function(db, "like", 3, det, nullptr, Like, nullptr, nullptr);
}

}  // namespace cb
