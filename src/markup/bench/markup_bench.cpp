// Throughput of the markup converter on a megabyte of post text of several kinds, from ordinary
// posts to inputs built to be slow. Built with CORKBOARD_BENCH (make bench runs it):
// build/release/markup_bench
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "markup/markup.h"
#include "runtime/bench/bench_text.h"

namespace {

using bench::kBytes;
using bench::Repeat;

// An ordinary post as the pages hand it over: HTML-encoded, Chinese text, a few tags and smileys.
std::string Post() {
  return Repeat(
      "今天去了趟图书馆，借到了那本一直想看的书。[b]推荐大家去看看[/b]，写得很好 :)\r\n"
      "张三在上个贴子中说\r\n[quote] 这本书在哪里能买到？价格 &gt; 50 元吗？ [/quote]\r\n"
      "网上书店就有：[url=http://www.example.com/book?id=123&amp;from=bbs]点这里[/url]，"
      "也可以发邮件问我 [email]reader@example.com[/email] ;)\r\n"
      "[color=Red]注意[/color]：周末打折，&quot;先到先得&quot;。\r\n\r\n");
}

void Run(benchmark::State& state, const std::string& in, bool smilies) {
  for (auto _ : state) {
    std::string html = cb::ToHtml(in);
    if (smilies) html = cb::SmiliesToHtml(html);
    benchmark::DoNotOptimize(html);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

// The pages convert one post at a time: a megabyte of posts of about 2 KB each.
void BM_Posts(benchmark::State& state) {
  const std::string all = Post();
  const size_t kPost = 2048;
  for (auto _ : state) {
    for (size_t at = 0; at < all.size(); at += kPost) {
      std::string html = cb::SmiliesToHtml(cb::ToHtml(std::string_view(all).substr(at, kPost)));
      benchmark::DoNotOptimize(html);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * all.size()));
}
void BM_Post(benchmark::State& s) { Run(s, Post(), false); }
void BM_PostWithSmilies(benchmark::State& s) { Run(s, Post(), true); }
void BM_PlainText(benchmark::State& s) {
  Run(s, Repeat("没有任何代码的普通文字，只有标点和数字 1234。Plain words too.\r\n"), false);
}
void BM_DenseTags(benchmark::State& s) {
  Run(s, Repeat("[b]a[/b][i]b[/i][u]c[/u][size=2]d[/size][list][*]e[*]f[/list]"), false);
}
void BM_Brackets(benchmark::State& s) { Run(s, Repeat("["), false); }
void BM_UnclosedTags(benchmark::State& s) { Run(s, Repeat("[b][url][code][list][*]"), false); }
void BM_UnclosedLinks(benchmark::State& s) { Run(s, Repeat("[url=http://a.com]"), false); }
void BM_NestedQuotes(benchmark::State& s) { Run(s, Repeat("[quote]") + Repeat("[/quote]"), false); }
void BM_SmileyRun(benchmark::State& s) { Run(s, Repeat(":):D;)"), true); }

BENCHMARK(BM_Posts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Post)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostWithSmilies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DenseTags)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Brackets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnclosedTags)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnclosedLinks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NestedQuotes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmileyRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
