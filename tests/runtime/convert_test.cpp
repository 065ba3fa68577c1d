// The text, number, date and GBK conversions, rounding half to even and IsNumeric of each kind of
// value: their cases are in tests/data/runtime.txt.
#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/gbk.h"
#include "runtime/variant.h"
#include "support/case_table.h"

namespace cb {
namespace {

using Texts = std::vector<std::string>;
using test::Yes;

std::string Number(double d) {
  std::ostringstream out;
  out << d;
  return out.str();
}

// The shortest text that reads back as d.
std::string Shortest(double d) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

TEST(ConvertTest, TextCases) {
  test::CheckCaseTable(
      "runtime.txt",
      {{"IsNumericText", [](const Texts& a) { return Yes(IsNumericText(a.at(0))); }},
       {"LeadingNumber", [](const Texts& a) { return Texts{Number(LeadingNumber(a.at(0)))}; }},
       {"FindNoCase",
        [](const Texts& a) {
          const size_t at = FindNoCase(a.at(0), a.at(1), std::stoul(a.at(2)));
          return Texts{at == std::string::npos ? "npos" : std::to_string(at)};
        }},
       {"ToLower", [](const Texts& a) { return Texts{ToLower(a.at(0))}; }},
       {"ToUpper", [](const Texts& a) { return Texts{ToUpper(a.at(0))}; }},
       {"EqualsNoCase", [](const Texts& a) { return Yes(EqualsNoCase(a.at(0), a.at(1))); }},
       {"ReplaceNoCase",
        [](const Texts& a) { return Texts{ReplaceNoCase(a.at(0), a.at(1), a.at(2))}; }},
       {"Trim", [](const Texts& a) { return Texts{Trim(a.at(0))}; }},
       {"CharLength", [](const Texts& a) { return Texts{std::to_string(CharLength(a.at(0)))}; }},
       {"LeftChars", [](const Texts& a) { return Texts{LeftChars(a.at(0), std::stoul(a.at(1)))}; }},
       {"FormatThousands",
        [](const Texts& a) { return Texts{FormatThousands(std::stoll(a.at(0)))}; }},
       {"Parse",
        [](const Texts& a) {
          const std::optional<DateTime> d = DateTime::Parse(a.at(0));
          return Texts{d ? d->YmdHms() : "refused"};
        }},
       {"Gbk",
        [](const Texts& a) {
          const std::string gbk = Utf8ToGbk(a.at(0));
          EXPECT_EQ(GbkToUtf8(gbk), a.at(0));
          return Texts{gbk};
        }},
       {"GbkToUtf8",
        [](const Texts& a) {
          const std::string utf8 = GbkToUtf8(a.at(0));
          EXPECT_TRUE(IsValidUtf8(utf8));
          return Texts{utf8};
        }},
       {"IsValidUtf8", [](const Texts& a) { return Yes(IsValidUtf8(a.at(0))); }},
       {"UrlEncode", [](const Texts& a) { return Texts{UrlEncode(a.at(0))}; }},
       {"UrlDecodeGbk",
        [](const Texts& a) {
          bool whole = false;
          const std::string text = UrlDecodeGbk(a.at(0), &whole);
          return Texts{text, Yes(whole)[0]};
        }},
       {"HtmlEncode", [](const Texts& a) { return Texts{HtmlEncode(a.at(0))}; }},
       {"ParseNumber",
        [](const Texts& a) { return Texts{Shortest(ParseNumber(a.at(0)).value())}; }},
       {"RoundHalfEven",
        [](const Texts& a) { return Texts{Shortest(RoundHalfEven(std::stod(a.at(0))))}; }},
       {"IsNumeric", [](const Texts& a) { return Yes(IsNumeric(test::Typed(a.at(0)))); }}});
  EXPECT_THROW(LeadingNumber("1e999"), ScriptError);
  EXPECT_EQ(UrlDecodeGbk(UrlEncode("回复 a&b=论坛")), "回复 a&b=论坛");
}

}  // namespace
}  // namespace cb
