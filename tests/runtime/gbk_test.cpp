// The GBK encoder against iconv itself (single texts: tests/data/runtime.txt).
#include "runtime/gbk.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/case_table.h"

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

TEST(GbkTest, EveryBmpCharacterConvertsAsIconvDoes) {
  int mismatches = 0;
  int in_gbk = 0;
  for (uint32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string utf8;
    AppendUtf8(utf8, cp);
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

// Random text of the pieces in tests/data/gbk_pieces.txt.
TEST(GbkTest, RandomBrokenTextConvertsAsIconvDoes) {
  std::vector<std::string> pieces;
  for (auto table = test::ReadCaseTable("gbk_pieces.txt");
       const test::TextCase& c : table["pieces"]) {
    pieces.push_back(c.in.at(0));
  }
  ASSERT_EQ(pieces.size(), 24u);
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
