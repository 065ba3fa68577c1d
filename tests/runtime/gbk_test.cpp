// Tests of the GBK edge: round trips of Chinese text, characters GBK lacks, broken input, byte
// lengths, the URL encoding both ways and the HTML encoding.
#include "runtime/gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace cb {
namespace {

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

TEST(GbkTest, CharactersOutsideGbkBecomeReferences) {
  const struct {
    const char* utf8;
    const char* gbk;
  } cases[] = {
      {"😀", "&#128512;"},
      {"a😀b", "a&#128512;b"},
      {"한", "&#54620;"},
      {"论😀坛", "\xC2\xDB&#128512;\xCC\xB3"},
      {"\xFF", "&#65533;"},                // not UTF-8 at all
      {"a\xE4\xB8", "a&#65533;&#65533;"},  // a character cut short
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk) << c.utf8;
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
      {"\x81", "\uFFFD"},           {"a\xC2", "a\uFFFD"},      {"\xC2\xDB\xCC", "论\uFFFD"},
      {"\x81\x7Fx", "\uFFFD\x7Fx"},                             // 0x7F is no trail byte
      {"\xFFx", "\uFFFDx"},         {"\xC2\x20x", "\uFFFD x"},  // a lead byte without its trail
                                                                // keeps what follows
  };
  for (const auto& c : cases) {
    const std::string got = GbkToUtf8(c.gbk);
    EXPECT_EQ(got, c.utf8);
    EXPECT_TRUE(IsValidUtf8(got));
  }
}

TEST(GbkTest, ByteLengthCountsTheGbkForm) {
  EXPECT_EQ(GbkByteLength("论坛ab"), 6u);
  EXPECT_EQ(GbkByteLength("華"), 2u);
  EXPECT_EQ(GbkByteLength("😀"), 9u);
  EXPECT_EQ(GbkByteLength(""), 0u);
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
