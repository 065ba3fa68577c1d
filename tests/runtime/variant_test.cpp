// Tests of the dynamic value: integer conversions (rounding half to even, range limits, text,
// null), boolean conversion, the text form of each kind, and array copies.
#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace cb {
namespace {

// An expected integer result, or the number of the error the conversion raises.
struct IntCase {
  Variant in;
  long want = 0;
  long error = 0;
};

template <typename Convert>
void CheckIntCases(const std::vector<IntCase>& cases, Convert convert) {
  for (size_t i = 0; i < cases.size(); ++i) {
    const IntCase& c = cases[i];
    SCOPED_TRACE("case " + std::to_string(i) + ": \"" + c.in.Str() + "\"");
    if (c.error == 0) {
      EXPECT_EQ(convert(c.in), c.want);
    } else {
      try {
        const long got = convert(c.in);
        ADD_FAILURE() << "no error, got " << got;
      } catch (const ScriptError& e) {
        EXPECT_EQ(e.number(), c.error);
      }
    }
  }
}

const DateTime kNewYear1900 = DateTime::FromParts(1900, 1, 1);  // the legacy number 2

TEST(VariantTest, CIntRoundsHalfToEvenWithinSixteenBits) {
  CheckIntCases(
      {
          {2.5, 2},
          {3.5, 4},
          {-2.5, -2},
          {-3.5, -4},
          {0.5, 0},
          {2.4999, 2},
          {32767.4, 32767},
          {32767.5, 0, err::kOverflow},
          {-32768.5, -32768},
          {-32768.6, 0, err::kOverflow},
          {int32_t{40000}, 0, err::kOverflow},
          {int16_t{-7}, -7},
          {"  12 ", 12},
          {"+1.5e1", 15},
          {"-2.5", -2},
          {".5", 0},
          {"1e", 0, err::kTypeMismatch},
          {"abc", 0, err::kTypeMismatch},
          {"", 0, err::kTypeMismatch},
          {"1,000", 0, err::kTypeMismatch},
          {Variant::Null(), 0, err::kInvalidUseOfNull},
          {Variant(), 0},
          {true, -1},
          {false, 0},
          {kNewYear1900, 2},
          {kNewYear1900.AddSeconds(18 * 3600), 3},  // 2.75
          {Variant(Array2D(1, 1)), 0, err::kTypeMismatch},
      },
      [](const Variant& v) { return long{v.CInt()}; });
}

TEST(VariantTest, CLngRoundsHalfToEvenWithinThirtyTwoBits) {
  CheckIntCases(
      {
          {2147483646.5, 2147483646},
          {2147483647.4, 2147483647},
          {2147483647.5, 0, err::kOverflow},
          {-2147483648.5, -2147483648},
          {-2147483648.6, 0, err::kOverflow},
          {"-2147483649", 0, err::kOverflow},
          {"1e10", 0, err::kOverflow},
          {"3.5", 4},
          {int64_t{5000000000}, 0, err::kOverflow},
          {true, -1},
          {"seven", 0, err::kTypeMismatch},
          {Variant::Null(), 0, err::kInvalidUseOfNull},
      },
      [](const Variant& v) { return long{v.CLng()}; });
}

TEST(VariantTest, CByteAcceptsZeroToTwoHundredFiftyFive) {
  CheckIntCases(
      {
          {255.4, 255},
          {255.5, 0, err::kOverflow},
          {-0.5, 0},
          {-0.6, 0, err::kOverflow},
          {"3", 3},
          {true, 0, err::kOverflow},  // -1
          {int32_t{256}, 0, err::kOverflow},
      },
      [](const Variant& v) { return long{v.CByte()}; });
}

// 1 for true.
TEST(VariantTest, CBoolReadsTrueFalseTextsAndNumbers) {
  CheckIntCases(
      {
          {"true", 1},
          {"TRUE", 1},
          {"False", 0},
          {" true ", 1},
          {"1", 1},
          {"0", 0},
          {"0.0", 0},
          {"-1", 1},
          {"0.1", 1},
          {"yes", 0, err::kTypeMismatch},
          {"", 0, err::kTypeMismatch},
          {"truex", 0, err::kTypeMismatch},
          {Variant::Null(), 0, err::kInvalidUseOfNull},
          {Variant(), 0},
          {0.0, 0},
          {0.1, 1},
          {int16_t{0}, 0},
          {int32_t{-1}, 1},
          {DateTime(), 0},
          {kNewYear1900, 1},
      },
      [](const Variant& v) { return long{v.CBool()}; });
}

TEST(VariantTest, StrGivesTheLegacyTextOfEachKind) {
  const struct {
    Variant in;
    std::string want;
  } cases[] = {
      {Variant(), ""},
      {Variant::Null(), ""},
      {true, "True"},
      {false, "False"},
      {int16_t{-5}, "-5"},
      {int32_t{2147483647}, "2147483647"},
      {int64_t{3000000000}, "3000000000"},
      {3.0, "3"},
      {0.5, "0.5"},
      {-0.5, "-0.5"},
      {-0.0, "0"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"},
      {1234567890123456.0, "1.23456789012346E+15"},
      {0.0001, "0.0001"},
      {0.000015, "1.5E-05"},
      {"论坛 x", "论坛 x"},
      {DateTime::FromParts(2001, 5, 9, 8, 3, 7), "2001-05-09 08:03:07"},
      {DateTime().AddSeconds(3600), "01:00:00"},
      {Variant(Array2D(1, 1)), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.in.Str(), c.want);
}

TEST(VariantTest, CStrRaisesWhereStrDoesNot) {
  EXPECT_EQ(Variant().CStr(), "");
  EXPECT_EQ(Variant(2.5).CStr(), "2.5");
  try {
    Variant::Null().CStr();
    ADD_FAILURE() << "null converted";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), err::kInvalidUseOfNull);
    EXPECT_EQ(e.description(), "无效使用 Null");
  }
  EXPECT_THROW(Variant(Array2D(1, 1)).CStr(), ScriptError);
}

TEST(VariantTest, EqualsTextComparesTheTextForm) {
  const struct {
    Variant v;
    const char* text;
    bool want;
  } cases[] = {
      {Variant::Null(), "", false}, {Variant(), "", true}, {int32_t{5}, "5", true},
      {int32_t{5}, "05", false},    {true, "True", true},  {true, "-1", false},
      {"abc", "ABC", false},        {2.5, "2.5", true},    {Variant(Array2D(1, 1)), "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.v.EqualsText(c.text), c.want) << c.text;
}

TEST(VariantTest, CDblAndCDateUseTheLegacyDayNumbers) {
  const struct {
    double serial;
    DateTime date;
  } cases[] = {
      {0, DateTime()},
      {2.25, DateTime::FromParts(1900, 1, 1, 6)},
      {-1.25, DateTime::FromParts(1899, 12, 29, 6)},
      {-1, DateTime::FromParts(1899, 12, 29)},
      {37020.5, DateTime::FromParts(2001, 5, 9, 12)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Variant(c.serial).CDate(), c.date) << c.serial;
    EXPECT_DOUBLE_EQ(Variant(c.date).CDbl(), c.serial);
  }
  EXPECT_EQ(Variant("2001-5-9 12:00").CDate(), DateTime::FromParts(2001, 5, 9, 12));
  EXPECT_THROW(Variant("2001-02-30").CDate(), ScriptError);
  EXPECT_THROW(Variant(1e9).CDate(), ScriptError);
  EXPECT_THROW(Variant::Null().CDate(), ScriptError);
}

TEST(VariantTest, SixtyFourBitIntegersKeepTheirValue) {
  EXPECT_EQ(Variant(int64_t{7}).type(), VType::kLong);
  EXPECT_EQ(Variant(int64_t{1} << 40).type(), VType::kDouble);
  EXPECT_EQ(Variant(int64_t{1} << 40).CDbl(), 1099511627776.0);
}

TEST(VariantTest, ArrayCopiesDoNotShareCells) {
  Array2D table(2, 3);
  table.at(1, 2) = "first";
  Variant original(table);
  Variant copy = original;
  copy.MutableArray().at(1, 2) = "changed";
  EXPECT_EQ(original.AsArray().at(1, 2).Str(), "first");

  Variant assigned;
  assigned = original;
  original.MutableArray().at(0, 0) = int32_t{1};
  EXPECT_TRUE(assigned.AsArray().at(0, 0).IsEmpty());

  Variant moved = std::move(original);
  EXPECT_EQ(moved.AsArray().at(1, 2).Str(), "first");
  EXPECT_TRUE(original.IsEmpty());  // NOLINT(bugprone-use-after-move): moving leaves it empty
}

TEST(VariantTest, ArrayIndexesOutsideTheBoundsRaise) {
  Variant v(Array2D(2, 3));
  const std::pair<int, int> outside[] = {{2, 0}, {0, 3}, {-1, 0}, {0, -1}};
  for (const auto& [row, col] : outside) {
    try {
      v.MutableArray().at(row, col);
      ADD_FAILURE() << row << "," << col;
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
    }
  }
  EXPECT_THROW(Variant("x").AsArray(), ScriptError);
}

}  // namespace
}  // namespace cb
