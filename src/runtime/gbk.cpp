// UTF-8 <-> GBK: pages leave through a code point table built once from glibc iconv, input
// arrives through iconv directly; also the URL and HTML encodings of the host's server object.
#include "runtime/gbk.h"

#include <errno.h>
#include <iconv.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "runtime/percent.h"

namespace cb {
namespace {

// One iconv descriptor per thread: descriptors keep shift state and are not thread-safe.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv_open failed: ") + from + " -> " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of in as it can, appending to out. Returns 0 when all of in was consumed,
  // else the errno that stopped it (EILSEQ or EINVAL) with in advanced to the offending byte.
  int Run(std::string_view& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the state of an earlier failure
    char buf[1024];
    while (!in.empty()) {
      char* src = const_cast<char*>(in.data());
      size_t src_left = in.size();
      char* dst = buf;
      size_t dst_left = sizeof buf;
      const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      const int e = errno;
      out.append(buf, static_cast<size_t>(dst - buf));
      in.remove_prefix(in.size() - src_left);
      if (r != static_cast<size_t>(-1)) continue;
      if (e == E2BIG) continue;
      return e;
    }
    return 0;
  }

 private:
  iconv_t cd_;
};

Converter& FromGbk() {
  thread_local Converter c("UTF-8", "GBK");
  return c;
}

// Decodes the UTF-8 character at the start of s (s not empty). Returns its code point and
// length, or -1 and length 1 when the bytes are not a well-formed character.
std::pair<long, size_t> DecodeUtf8(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return {b0, 1};
  size_t len;
  long cp;
  long min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return {-1, 1};
  }
  if (s.size() < len) return {-1, 1};
  for (size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return {-1, 1};
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {-1, 1};
  return {cp, len};
}

// GBK holds nothing beyond the BMP, so one entry per BMP code point: 0 when GBK lacks the
// character, below 0x100 a single byte, else lead byte << 8 | trail byte.
class GbkTable {
 public:
  GbkTable() {
    Converter c("GBK", "UTF-8");
    std::string out;
    for (uint32_t cp = 0x80; cp < codes_.size(); ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;  // surrogates are no characters
      char utf8[3];
      const size_t len = cp < 0x800 ? 2 : 3;
      if (len == 2) {
        utf8[0] = static_cast<char>(0xC0 | (cp >> 6));
        utf8[1] = static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        utf8[0] = static_cast<char>(0xE0 | (cp >> 12));
        utf8[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | (cp & 0x3F));
      }
      std::string_view in(utf8, len);
      out.clear();
      if (c.Run(in, out) != 0 || out.empty()) continue;
      const auto b0 = static_cast<unsigned char>(out[0]);
      if (out.size() == 1 && b0 != 0) {
        codes_[cp] = b0;
      } else if (out.size() == 2 && b0 != 0) {
        codes_[cp] = static_cast<uint16_t>(b0 << 8 | static_cast<unsigned char>(out[1]));
      } else {
        throw std::runtime_error("iconv gave an unexpected GBK form for U+" + std::to_string(cp));
      }
    }
  }
  uint16_t operator[](long cp) const { return cp < 0x10000 ? codes_[cp] : 0; }

 private:
  std::array<uint16_t, 0x10000> codes_{};
};

const GbkTable& Table() {
  static const GbkTable table;  // built at first use; the language makes this thread-safe
  return table;
}

// The first byte at or after p that is not ASCII, or end; eight bytes per step on long runs.
const char* SkipAscii(const char* p, const char* end) {
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if (word & kHighBits) break;
    p += 8;
  }
  while (p != end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return p;
}

// "&#N;" for a character GBK lacks, and U+FFFD for a malformed byte.
void AppendReference(long cp, std::string& out) {
  char buf[16] = "&#";
  char* end = std::to_chars(buf + 2, buf + sizeof buf - 1, cp).ptr;
  *end++ = ';';
  out.append(buf, static_cast<size_t>(end - buf));
}

size_t ReferenceLength(long cp) {
  size_t digits = 1;
  for (; cp >= 10; cp /= 10) ++digits;
  return digits + 3;
}

// Walks utf8 in ASCII runs and single characters: on_run(first, last) for each run, and
// on_char(code point, GBK code from the table) for each other character; a malformed byte
// comes as U+FFFD, which GBK lacks, so it is written as a reference.
template <typename OnRun, typename OnChar>
void WalkUtf8(std::string_view utf8, OnRun on_run, OnChar on_char) {
  const GbkTable& table = Table();
  const char* p = utf8.data();
  const char* const end = p + utf8.size();
  while (p != end) {
    const char* run_end = SkipAscii(p, end);
    if (run_end != p) on_run(p, run_end);
    p = run_end;
    if (p == end) break;
    auto [cp, len] = DecodeUtf8(std::string_view(p, static_cast<size_t>(end - p)));
    if (cp < 0) cp = 0xFFFD;
    on_char(cp, table[cp]);
    p += len;
  }
}

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  WalkUtf8(
      utf8, [&out](const char* first, const char* last) { out.append(first, last); },
      [&out](long cp, uint16_t code) {
        if (code == 0) {
          AppendReference(cp, out);
        } else if (code < 0x100) {
          out.push_back(static_cast<char>(code));
        } else {
          const char pair[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
          out.append(pair, 2);
        }
      });
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 2);
  Converter& c = FromGbk();
  while (const int e = c.Run(gbk, out)) {
    out += kReplacementUtf8;
    // Skip only the bad lead byte: what follows may be a valid character of its own.
    gbk.remove_prefix(e == EINVAL ? gbk.size() : 1);
  }
  return out;
}

size_t GbkByteLength(std::string_view utf8) {
  size_t n = 0;
  WalkUtf8(
      utf8, [&n](const char* first, const char* last) { n += static_cast<size_t>(last - first); },
      [&n](long cp, uint16_t code) {
        n += code == 0 ? ReferenceLength(cp) : code < 0x100 ? 1 : 2;
      });
  return n;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValidUtf8(std::string_view s) {
  while (!s.empty()) {
    const auto [cp, len] = DecodeUtf8(s);
    if (cp < 0) return false;
    s.remove_prefix(len);
  }
  return true;
}

std::string UrlEncode(std::string_view utf8) {
  std::string out;
  for (const char ch : Utf8ToGbk(utf8)) {
    const auto b = static_cast<unsigned char>(ch);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
      out.push_back(ch);
    } else if (b == ' ') {
      out.push_back('+');
    } else {
      AppendPercentEscape(b, out);
    }
  }
  return out;
}

std::string UrlDecodeGbk(std::string_view raw, bool* ok) {
  return GbkToUtf8(PercentDecode(raw, /*plus_is_space=*/true, ok));
}

std::string HtmlEncode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char ch : s) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(ch);
    }
  }
  return out;
}

}  // namespace cb
