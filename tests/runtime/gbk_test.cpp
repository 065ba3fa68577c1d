// Tests of the GBK edge: round trips of Chinese text, broken input, the URL encoding both ways and
// the HTML encoding. The table-driven encoder (references for characters GBK lacks, byte lengths)
// is checked against iconv itself for every BMP character and for random broken text.
#include "runtime/gbk.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace cb {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts from the start of in until an error or the end of in or out; returns the errno
  // (0 when all of in was consumed) and advances in past what was converted.
  int Run(std::string_view& in, std::string& out, size_t out_limit = 4096) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string buf(out_limit, '\0');
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = buf.data();
    size_t dst_left = buf.size();
    const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
    const int e = r == static_cast<size_t>(-1) ? errno : 0;
    out.append(buf.data(), static_cast<size_t>(dst - buf.data()));
    in.remove_prefix(in.size() - src_left);
    return e;
  }

 private:
  iconv_t cd_;
};

// The encoder as iconv alone would have it: GBK where iconv converts, else the character iconv
// reads there as a reference, or U+FFFD for one byte iconv cannot read as UTF-8 at all.
std::string IconvUtf8ToGbk(std::string_view utf8) {
  static thread_local Iconv to_gbk("GBK", "UTF-8");
  static thread_local Iconv to_ucs4("UTF-32LE", "UTF-8");
  std::string out;
  while (!utf8.empty()) {
    const int e = to_gbk.Run(utf8, out);
    if (e == 0 || e == E2BIG) continue;
    std::string ucs4;
    to_ucs4.Run(utf8, ucs4, 4);  // exactly one character, when there is one
    uint32_t cp = 0xFFFD;
    if (ucs4.size() == 4) {
      cp = 0;
      for (int i = 3; i >= 0; --i) cp = cp << 8 | static_cast<unsigned char>(ucs4[i]);
    } else {
      utf8.remove_prefix(1);
    }
    out += "&#" + std::to_string(cp) + ";";
  }
  return out;
}

std::string EncodeUtf8(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

TEST(GbkTest, EveryBmpCharacterConvertsAsIconvDoes) {
  int mismatches = 0;
  int in_gbk = 0;
  for (uint32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::string utf8 = EncodeUtf8(cp);
    const std::string want = IconvUtf8ToGbk(utf8);
    if (want.rfind("&#", 0) != 0) ++in_gbk;
    const std::string got = Utf8ToGbk(utf8);
    if (got != want || GbkByteLength(utf8) != want.size()) {
      if (++mismatches <= 10) ADD_FAILURE() << "U+" << std::hex << cp << ": " << got;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(in_gbk, 21000);  // GBK holds about 21,900 characters besides ASCII
}

// Random text of Chinese, ASCII runs, characters GBK lacks and every kind of broken UTF-8.
TEST(GbkTest, RandomBrokenTextConvertsAsIconvDoes) {
  const std::vector<std::string> pieces = {
      "a",
      "plain ASCII text that runs on for a while ",
      "论坛",
      "華",
      "€",
      "\xC2\xA0",
      "😀",
      "한",
      "\xEF\xBF\xBD",
      "\x80",
      "\xBF",
      "\xC0\x80",
      "\xC1\xBF",
      "\xE0\x80\x80",
      "\xED\xA0\x80",
      "\xF4\x90\x80\x80",
      "\xF5",
      "\xF8\x88\x80\x80\x80",
      "\xFF",
      "\xE4\xB8",
      "\xF0\x9F\x98",
      "\xC2",
      "\xC2\xDB",
      std::string(1, '\0'),
  };
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int i = 0; i < 3000; ++i) {
    std::string utf8;
    for (int n = length(rng); n > 0; --n) utf8 += pieces[pick(rng)];
    const std::string want = IconvUtf8ToGbk(utf8);
    ASSERT_EQ(Utf8ToGbk(utf8), want) << testing::PrintToString(utf8);
    ASSERT_EQ(GbkByteLength(utf8), want.size()) << testing::PrintToString(utf8);
  }
}

TEST(GbkTest, ChineseTextRoundTrips) {
  const struct {
    const char* utf8;
    const char* gbk;
  } cases[] = {
      {"论坛", "\xC2\xDB\xCC\xB3"},
      {"華", "\xC8\x41"},  // in GBK but not in GB2312
      {"中文abc 123",
       "\xD6\xD0\xCE\xC4"
       "abc 123"},
      {"，。“”", "\xA3\xAC\xA1\xA3\xA1\xB0\xA1\xB1"},
      {"€", "\x80"},  // the one single-byte character beyond ASCII
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk) << c.utf8;
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.utf8;
  }
}

TEST(GbkTest, LongTextCrossesTheConversionBuffer) {
  std::string utf8;
  std::string gbk;
  for (int i = 0; i < 1500; ++i) {
    utf8 += i % 100 == 0 ? "😀" : "论";
    gbk += i % 100 == 0 ? "&#128512;" : "\xC2\xDB";
  }
  EXPECT_EQ(Utf8ToGbk(utf8), gbk);
  std::string back;
  for (int i = 0; i < 1500; ++i) back += i % 100 == 0 ? "&#128512;" : "论";
  EXPECT_EQ(GbkToUtf8(gbk), back);
}

TEST(GbkTest, InvalidGbkBecomesReplacementCharacters) {
  const struct {
    const char* gbk;
    const char* utf8;
  } cases[] = {
      {"\x81", "\uFFFD"},           {"a\xC2", "a\uFFFD"},
      {"\xC2\xDB\xCC", "论\uFFFD"}, {"\x81\x7Fx", "\uFFFD\x7Fx"},  // 0x7F is no trail byte
      {"\xFFx", "\uFFFDx"},         {"\xC2\x20x", "\uFFFD x"},     // a lead byte without its trail
                                                                   // keeps what follows
  };
  for (const auto& c : cases) {
    const std::string got = GbkToUtf8(c.gbk);
    EXPECT_EQ(got, c.utf8);
    EXPECT_TRUE(IsValidUtf8(got));
  }
}

TEST(GbkTest, ValidUtf8) {
  const struct {
    const char* s;
    bool valid;
  } cases[] = {
      {"论坛 abc 😀", true},
      {"", true},
      {"\xC0\x80", false},          // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xE4\xB8", false},          // cut short
      {"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
      {"\x80", false},
      {"\xC2\xDB\xCC\xB3", false},  // GBK bytes
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.s), c.valid) << c.s;
}

TEST(GbkTest, UrlEncodeKeepsOnlyLettersAndDigits) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"论坛", "%C2%DB%CC%B3"},
      {"a b", "a+b"},
      {"a-b_c.d~e*", "a%2Db%5Fc%2Ed%7Ee%2A"},
      {"華", "%C8A"},  // the trail byte 0x41 is the letter A
      {"x=1&y=%", "x%3D1%26y%3D%25"},
      {"😀", "%26%23128512%3B"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.in), c.want) << c.in;
}

TEST(GbkTest, UrlDecodeReadsGbkEscapes) {
  const struct {
    const char* raw;
    const char* want;
    bool ok;
  } cases[] = {
      {"%C2%DB%CC%B3", "论坛", true},
      {"%c2%db", "论", true},
      {"a+b", "a b", true},
      {"%2B", "+", true},
      {"%C8A", "華", true},
      {"\xC2\xDB", "论", true},  // raw GBK bytes
      {"%G1", "%G1", false},
      {"abc%", "abc%", false},
      {"%4", "%4", false},
      {"100%+", "100% ", false},
      {"%C2", "\uFFFD", true},
      {"", "", true},
  };
  for (const auto& c : cases) {
    bool ok = !c.ok;
    EXPECT_EQ(UrlDecodeGbk(c.raw, &ok), c.want) << c.raw;
    EXPECT_EQ(ok, c.ok) << c.raw;
  }
  EXPECT_EQ(UrlDecodeGbk(UrlEncode("回复 a&b=论坛")), "回复 a&b=论坛");
}

TEST(GbkTest, HtmlEncodeEscapesFourCharacters) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"<a href=\"x\">&amp;</a>", "&lt;a href=&quot;x&quot;&gt;&amp;amp;&lt;/a&gt;"},
      {"it's 论坛", "it's 论坛"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HtmlEncode(c.in), c.want);
}

TEST(GbkTest, ConversionsOnManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        // Broken input leaves a converter mid-sequence; the next call must not see that state.
        if (GbkToUtf8("\xC2") != "\uFFFD") ++failures[t];
        if (GbkToUtf8(Utf8ToGbk("论坛華😀")) != "论坛華&#128512;") ++failures[t];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace cb
