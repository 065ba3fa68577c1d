// Tests of the text and number conversions: the IsNumeric grammar, leading numbers, rounding,
// ASCII-only case folding next to Chinese text, character counts and thousands separators.
#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/variant.h"

namespace cb {
namespace {

TEST(ConvertTest, NumericTextGrammar) {
  const struct {
    const char* text;
    bool numeric;
  } cases[] = {
      {"5", true},       {" 5 ", true},  {"-5", true},    {"+5", true},     {".5", true},
      {"5.", true},      {"-.5", true},  {"1e5", true},   {"1E+5", true},   {"1.5e-3", true},
      {"  007  ", true}, {"", false},    {" ", false},    {".", false},     {"-", false},
      {"e5", false},     {"1e", false},  {"1e+", false},  {"--5", false},   {"5-", false},
      {"1,000", false},  {"1 2", false}, {"0x10", false}, {"inf", false},   {"nan", false},
      {"1e400", false},  {"\t5", false}, {"5 e1", false}, {"1.2.3", false}, {"５", false},
      {"5a", false},     {"- 5", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNumericText(c.text), c.numeric) << '"' << c.text << '"';
}

TEST(ConvertTest, ParseNumberReadsTheValue) {
  const struct {
    const char* text;
    double want;
  } cases[] = {{" -1.5e2 ", -150}, {".5", 0.5}, {"5.", 5}, {"+0", 0}, {"1e-400", 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(ParseNumber(c.text).has_value()) << c.text;
    EXPECT_EQ(*ParseNumber(c.text), c.want) << c.text;
  }
}

TEST(ConvertTest, IsNumericOfEachKind) {
  const struct {
    Variant v;
    bool numeric;
  } cases[] = {
      {Variant(), true},   {Variant::Null(), false},
      {true, true},        {int16_t{3}, true},
      {2.5, true},         {"", false},
      {" 7.4 ", true},     {"seven", false},
      {DateTime(), false}, {Array2D(1, 1), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNumeric(c.v), c.numeric) << '"' << c.v.Str() << '"';
}

TEST(ConvertTest, LeadingNumberReadsLikeVal) {
  const struct {
    const char* text;
    double want;
  } cases[] = {
      {"3abc", 3}, {" 12x", 12}, {"abc", 0},     {"-4", -4}, {"2.5e1z", 25}, {"", 0},
      {"1e", 1},   {".5x", 0.5}, {"1 2", 12},    {"\t7", 7}, {"1d2", 100},   {"3days", 3},
      {"--4", 0},  {"4-2", 4},   {"1.2.3", 1.2}, {"+6", 6},  {"论坛3", 0},   {"45", 45},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.want) << '"' << c.text << '"';
  EXPECT_THROW(LeadingNumber("1e999"), ScriptError);
}

TEST(ConvertTest, RoundHalfEven) {
  const struct {
    double in;
    double want;
  } cases[] = {
      {0.5, 0},    {1.5, 2},  {2.5, 2},  {-2.5, -2},     {-3.5, -4},
      {2.4999, 2}, {2.51, 3}, {-0.4, 0}, {1e300, 1e300}, {4503599627370497.0, 4503599627370497.0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.in), c.want) << c.in;
}

TEST(ConvertTest, FindNoCaseFoldsAsciiOnly) {
  const struct {
    const char* hay;
    const char* needle;
    size_t from;
    size_t want;
  } cases[] = {
      {"Hello World", "WORLD", 0, 6},
      {"Hello World", "o", 5, 7},
      {"Hello", "", 2, 2},
      {"Hello", "", 6, std::string::npos},
      {"Hello", "lo", 9, std::string::npos},
      {"论坛ABC", "abc", 0, 6},
      {"ÀB", "àb", 0, std::string::npos},
      {"ab", "abc", 0, std::string::npos},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindNoCase(c.hay, c.needle, c.from), c.want) << c.hay << " / " << c.needle;
  }
}

TEST(ConvertTest, ReplaceNoCase) {
  const struct {
    const char* text;
    const char* find;
    const char* repl;
    const char* want;
  } cases[] = {
      {"aXbxc", "x", "-", "a-b-c"},
      {"aaa", "aa", "b", "ba"},
      {"ab", "a", "aa", "aab"},
      {"abc", "", "x", "abc"},
      {"[B]粗[/b]", "[b]", "<b>", "<b>粗[/b]"},
      {"none", "z", "y", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReplaceNoCase(c.text, c.find, c.repl), c.want);
}

TEST(ConvertTest, CaseFoldingLeavesOtherBytesAlone) {
  EXPECT_EQ(ToLower("ÀBC论坛Z"), "Àbc论坛z");
  EXPECT_EQ(ToUpper("àbc论坛z"), "àBC论坛Z");
  EXPECT_TRUE(EqualsNoCase("Administrator", "ADMINISTRATOR"));
  EXPECT_FALSE(EqualsNoCase("moderater", "moderator"));
  EXPECT_FALSE(EqualsNoCase("a", "a "));
  EXPECT_FALSE(EqualsNoCase("À", "à"));
}

TEST(ConvertTest, TrimRemovesSpacesOnly) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {{"  a b  ", "a b"}, {"\ta\t", "\ta\t"}, {"   ", ""}, {"", ""}, {" 论坛 ", "论坛"}};
  for (const auto& c : cases) EXPECT_EQ(Trim(c.in), c.want);
}

TEST(ConvertTest, CharacterCountsAreCodePoints) {
  EXPECT_EQ(CharLength("论坛ab"), 4u);
  EXPECT_EQ(CharLength("😀"), 1u);
  EXPECT_EQ(CharLength(""), 0u);
  const struct {
    const char* in;
    size_t n;
    const char* want;
  } cases[] = {{"论坛ab", 1, "论"},
               {"论坛ab", 3, "论坛a"},
               {"论坛ab", 9, "论坛ab"},
               {"论坛ab", 0, ""},
               {"a😀b", 2, "a😀"}};
  for (const auto& c : cases) EXPECT_EQ(LeftChars(c.in, c.n), c.want);
}

TEST(ConvertTest, FormatThousands) {
  const struct {
    int64_t n;
    const char* want;
  } cases[] = {{0, ""},
               {1, "1"},
               {999, "999"},
               {1000, "1,000"},
               {1234567, "1,234,567"},
               {-1234, "-1,234"},
               {-999, "-999"},
               {100000, "100,000"},
               {INT64_MIN, "-9,223,372,036,854,775,808"}};
  for (const auto& c : cases) EXPECT_EQ(FormatThousands(c.n), c.want);
}

}  // namespace
}  // namespace cb
