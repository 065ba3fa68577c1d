// Markup converter: what each tag and smiley becomes, what stays text, and that no input, however
// hostile or large, produces markup of anyone's making but ours.
#include "markup/markup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/static_files.h"
#include "markup/fuzz/markup_invariants.h"
#include "runtime/gbk.h"
#include "support/case_table.h"
#include "support/golden.h"
#include "support/payloads.h"

namespace cb {
namespace {

size_t Count(std::string_view s, std::string_view what) {
  size_t n = 0;
  for (size_t i = s.find(what); i != std::string_view::npos; i = s.find(what, i + 1)) ++n;
  return n;
}

// Each input as the member typed it; the golden file holds what it becomes.
void ExpectRendered(const char* golden, const std::vector<test::TextCase>& cases) {
  ASSERT_FALSE(cases.empty()) << golden;
  std::string out;
  for (const test::TextCase& c : cases) {
    const std::string& in = c.in.at(0);
    const std::string html = ToHtml(HtmlEncode(in));
    EXPECT_EQ(markup_check::Check(html), "") << in;
    out += test::GoldenCase(in, html);
  }
  EXPECT_GOLDEN(golden, out);
}

TEST(ToHtml, RendersEachTag) {
  ExpectRendered("markup/tags.txt", test::ReadCaseTable("markup_inputs.txt")["tags"]);
}

TEST(ToHtml, LeavesMalformedTagsAsText) {
  ExpectRendered("markup/malformed.txt", test::ReadCaseTable("markup_inputs.txt")["malformed"]);
}

TEST(ToHtml, CapsNestingDepth) {
  std::string in;
  for (int i = 0; i < 60; ++i) in += "[b]";
  in += "x";
  for (int i = 0; i < 60; ++i) in += "[/b]";
  std::string out = ToHtml(in);
  EXPECT_EQ(Count(out, "<b>"), 50u);
  EXPECT_EQ(Count(out, "[b]"), 10u);
  EXPECT_EQ(Count(out, "[/b]"), 10u);
  EXPECT_EQ(markup_check::Check(out), "");
}

// The classic ways past a converter (tests/data/markup_payloads.txt). Each goes in as typed (and
// so HTML-encoded by the page) and also raw, as if a caller had forgotten to encode.
TEST(ToHtml, HostileInputsComeOutInert) {
  for (const std::string& h : test::ReadPayloads("markup_payloads.txt")) {
    for (const std::string& in : {HtmlEncode(h), h}) {
      std::string out = SmiliesToHtml(ToHtml(in));
      EXPECT_EQ(markup_check::Check(out), "") << in << "\n=> " << out;
    }
  }
}

TEST(ToHtml, PlainTextIsUnchanged) {
  const std::string text = HtmlEncode("普通文字 a & b <c> \"d\" 'e' :) http://x.com/ [not a tag");
  EXPECT_EQ(ToHtml(text), text);
}

// Quadratic behaviour would not finish in the test's time limit on these.
TEST(ToHtml, PathologicalInputsFinishBalanced) {
  auto repeat = [](std::string_view unit, size_t bytes) {
    std::string s;
    s.reserve(bytes + unit.size());
    while (s.size() < bytes) s += unit;
    return s;
  };
  const size_t mb = 256 << 10;
  std::string nested;
  for (int i = 0; i < 10000; ++i) nested += "[quote]";
  nested += "深";
  for (int i = 0; i < 10000; ++i) nested += "[/quote]";
  std::vector<std::string> inputs = {
      nested,
      repeat("[b][i]", mb / 2) + repeat("[/b][/i]", mb / 2),
      repeat("[url=" + std::string(2000, 'a'), mb),
  };
  for (auto table = test::ReadCaseTable("markup_inputs.txt");
       const test::TextCase& c : table["pathological"]) {
    inputs.push_back(repeat(c.in.at(0), std::stoul(c.in.at(1))));
  }
  for (const std::string& in : inputs) {
    std::string out = SmiliesToHtml(ToHtml(in));
    EXPECT_EQ(markup_check::Check(out), "") << in.substr(0, 40);
    EXPECT_LE(out.size(), in.size() * 40) << in.substr(0, 40);
  }
  std::string out = ToHtml(nested);
  EXPECT_EQ(Count(out, "<blockquote>"), 50u);
}

TEST(SmiliesToHtml, ReplacesEachCode) {
  for (const Smiley& s : Smilies()) {
    std::string out = SmiliesToHtml(ToHtml(HtmlEncode("前" + std::string(s.code) + "后")));
    EXPECT_NE(out.find("src=\"images/smilies/" + std::string(s.image) + "\""), std::string::npos)
        << s.code;
    EXPECT_EQ(markup_check::Check(out), "") << s.code;
  }
}

TEST(SmiliesToHtml, LeavesLookAlikesAlone) {
  for (auto table = test::ReadCaseTable("markup_inputs.txt");
       const test::TextCase& c : table["lookalikes"]) {
    const std::string html = ToHtml(HtmlEncode(c.in.at(0)));
    EXPECT_EQ(SmiliesToHtml(html), html) << c.where;
  }
  EXPECT_EQ(SmiliesToHtml("&#59;) &quot;) &amp;)"), "&#59;) &quot;) &amp;)");
  EXPECT_EQ(Count(SmiliesToHtml("hi:):D;) :P."), "<img"), 4u);
  EXPECT_EQ(SmiliesToHtml(SmiliesToHtml(":)")), SmiliesToHtml(":)"));
}

// The help pages the forms link to must describe what the converter does.

std::string ReadSite(const std::string& name) {
  return SiteFolder::ReadFile(std::filesystem::path(CORKBOARD_SOURCE_DIR) / "site" / name)
      .value_or("");
}

// The help page in UTF-8; a byte that is not GBK would show as U+FFFD.
std::string ReadHelpPage(const std::string& name) {
  const std::string page = GbkToUtf8(ReadSite(name));
  EXPECT_EQ(page.find("\uFFFD"), std::string::npos) << name << " is not GBK";
  EXPECT_NE(page.find("charset=gb2312"), std::string::npos) << name;
  return page;
}

TEST(HelpPages, SmileyPageListsExactlyTheCodes) {
  const std::string page = ReadHelpPage("smiles.htm");
  for (const Smiley& s : Smilies()) {
    EXPECT_NE(page.find("<td class=code>" + std::string(s.code) + "</td>"), std::string::npos)
        << s.code;
    std::string gif = ReadSite("images/smilies/" + std::string(s.image));
    EXPECT_EQ(gif.substr(0, 6), "GIF89a") << s.image;
    EXPECT_NE(page.find("images/smilies/" + std::string(s.image)), std::string::npos) << s.image;
  }
  EXPECT_EQ(Count(page, "<td class=code>"), Smilies().size());
}

// Each example is written HTML-encoded, exactly as ToHtml receives it, next to what it shows.
TEST(HelpPages, CodePageShowsWhatTheConverterDoes) {
  const std::string page = ReadHelpPage("cbkcode.htm");
  auto cell = [&](std::string_view open, size_t from, size_t* end) {
    size_t start = page.find(open, from);
    if (start == std::string::npos) return std::string();
    start += open.size();
    *end = page.find("</td>", start);
    return page.substr(start, *end - start);
  };
  size_t examples = 0;
  for (size_t i = page.find("<td class=example>"); i != std::string::npos;
       i = page.find("<td class=example>", i + 1)) {
    size_t end = 0;
    std::string example = cell("<td class=example>", i, &end);
    std::string html = ToHtml(example);
    if (page.compare(end, 22, "</td><td class=result>") == 0) {
      EXPECT_EQ(html, cell("<td class=result>", end, &end)) << example;
    } else {
      EXPECT_TRUE(html.starts_with("<img src=\"http://")) << example;
    }
    ++examples;
  }
  EXPECT_EQ(examples, 17u);
  for (std::string_view tag :
       {"[b]", "[i]", "[u]", "[center]", "[font=", "[size=", "[color=", "[url]", "[url=", "[email]",
        "[email=", "[img]", "[code]", "[quote]", "[list]", "[list=", "[*]"}) {
    EXPECT_NE(page.find(tag), std::string::npos) << tag << " is not described";
  }
}

}  // namespace
}  // namespace cb
