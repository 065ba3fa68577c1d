// Throughput of UTF-8 -> GBK at the page edge: the table encoder against iconv over the whole text
// (as the encoder worked before), on a megabyte each of page markup, Chinese prose and ASCII.
// Built with CORKBOARD_BENCH (make bench runs it): build/release/gbk_bench
#include <benchmark/benchmark.h>
#include <errno.h>
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "runtime/bench/bench_text.h"
#include "runtime/gbk.h"

namespace {

using bench::kBytes;
using bench::Repeat;

// A row of a topic list: markup with a Chinese title and author, and now and then an emoji.
std::string PageMarkup() {
  return Repeat(
      "<tr><td bgcolor=#f7f7f7><img src=images/closed.gif></td>"
      "<td bgcolor=#f7f7f7><a href=NewsDetail.asp?id=12345>"
      "周末去图书馆借书，推荐几本好看的小说</a> <a href=newsdetail.asp?id=12345&page=2>[2]</a></td>"
      "<td bgcolor=#dedfdf><a href=viewuser.asp?username=%D5%C5%C8%FD>张三</a></td>"
      "<td bgcolor=#f7f7f7>12</td><td bgcolor=#dedfdf>2024-06-01 12:30 😀</td>"
      "</tr>\n");
}

std::string ChineseProse() {
  return Repeat("今天去了趟图书馆，借到了那本一直想看的书。推荐大家去看看，写得很好。");
}

std::string Ascii() {
  return Repeat("<td bgcolor=#f7f7f7 align=center><a href=list.asp?page=12>12</a></td>\n");
}

// The encoder as it was: iconv over the whole text, a reference where it stops.
std::string IconvUtf8ToGbk(std::string_view utf8) {
  static iconv_t cd = iconv_open("GBK", "UTF-8");
  std::string out;
  out.reserve(utf8.size());
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buf[1024];
  while (!utf8.empty()) {
    char* src = const_cast<char*>(utf8.data());
    size_t src_left = utf8.size();
    char* dst = buf;
    size_t dst_left = sizeof buf;
    const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    const int e = errno;
    out.append(buf, static_cast<size_t>(dst - buf));
    utf8.remove_prefix(utf8.size() - src_left);
    if (r != static_cast<size_t>(-1) || e == E2BIG) continue;
    // Only well-formed characters GBK lacks occur in the inputs here: four-byte emoji.
    const auto b0 = static_cast<unsigned char>(utf8[0]);
    const size_t len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 1;
    long cp = len == 4 ? b0 & 0x07 : len == 3 ? b0 & 0x0F : len == 2 ? b0 & 0x1F : b0;
    for (size_t i = 1; i < len; ++i) cp = cp << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    out += "&#" + std::to_string(cp) + ";";
    utf8.remove_prefix(len);
  }
  return out;
}

template <typename Encode>
void Run(benchmark::State& state, const std::string& in, Encode encode) {
  if (encode(in) != cb::Utf8ToGbk(in)) state.SkipWithError("the encoders disagree");
  for (auto _ : state) {
    auto out = encode(in);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_IconvMarkup(benchmark::State& s) { Run(s, PageMarkup(), IconvUtf8ToGbk); }
void BM_TableMarkup(benchmark::State& s) { Run(s, PageMarkup(), cb::Utf8ToGbk); }
void BM_IconvChinese(benchmark::State& s) { Run(s, ChineseProse(), IconvUtf8ToGbk); }
void BM_TableChinese(benchmark::State& s) { Run(s, ChineseProse(), cb::Utf8ToGbk); }
void BM_IconvAscii(benchmark::State& s) { Run(s, Ascii(), IconvUtf8ToGbk); }
void BM_TableAscii(benchmark::State& s) { Run(s, Ascii(), cb::Utf8ToGbk); }

// GbkByteLength used to encode the text and take the size.
void BM_ByteLengthBefore(benchmark::State& s) {
  const std::string in = PageMarkup();
  for (auto _ : s) benchmark::DoNotOptimize(IconvUtf8ToGbk(in).size());
  s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * in.size()));
}
void BM_ByteLengthTable(benchmark::State& s) {
  const std::string in = PageMarkup();
  for (auto _ : s) benchmark::DoNotOptimize(cb::GbkByteLength(in));
  s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * in.size()));
}

BENCHMARK(BM_IconvMarkup);
BENCHMARK(BM_TableMarkup);
BENCHMARK(BM_IconvChinese);
BENCHMARK(BM_TableChinese);
BENCHMARK(BM_IconvAscii);
BENCHMARK(BM_TableAscii);
BENCHMARK(BM_ByteLengthBefore);
BENCHMARK(BM_ByteLengthTable);

}  // namespace

int main(int argc, char** argv) {
  // The first call builds the table: report what that costs once per process.
  const auto start = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(cb::Utf8ToGbk("论"));
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  std::printf("table built at first use in %.1f ms\n", took.count());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
