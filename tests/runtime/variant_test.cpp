// Tests of the dynamic value: conversions, day numbers and the text form of each kind
// (tests/data/variant.txt), 64-bit integers, and array copies.
#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/case_table.h"

namespace cb {
namespace {

using test::Typed;

// A conversion's text.
template <typename Convert>
test::CaseFunction Converted(Convert convert) {
  return [convert](const std::vector<std::string>& a) -> std::vector<std::string> {
    return {convert(Typed(a.at(0)))};
  };
}

TEST(VariantTest, ConversionCases) {
  using Texts = std::vector<std::string>;
  test::CheckCaseTable(
      "variant.txt",
      {{"CInt", Converted([](const Variant& v) { return std::to_string(v.CInt()); })},
       {"CLng", Converted([](const Variant& v) { return std::to_string(v.CLng()); })},
       {"CByte", Converted([](const Variant& v) { return std::to_string(v.CByte()); })},
       {"CBool", Converted([](const Variant& v) { return std::to_string(int{v.CBool()}); })},
       {"Str", [](const Texts& a) { return Texts{Typed(a.at(0)).Str()}; }},
       {"EqualsText", [](const Texts& a) { return test::Yes(Typed(a.at(0)).EqualsText(a.at(1))); }},
       {"DayNumber",
        [](const Texts& a) {
          const DateTime d = Variant(std::stod(a.at(0))).CDate();
          EXPECT_DOUBLE_EQ(Variant(d).CDbl(), std::stod(a.at(0)));
          return Texts{d.YmdHms()};
        }},
       {"CDate", Converted([](const Variant& v) { return v.CDate().YmdHms(); })}});
}

TEST(VariantTest, CStrRaisesWhereStrDoesNot) {
  EXPECT_EQ(Variant().CStr(), "");
  EXPECT_EQ(Variant(2.5).CStr(), "2.5");
  EXPECT_THAT([] { Variant::Null().CStr(); },
              ::testing::Throws<ScriptError>(::testing::AllOf(
                  ::testing::Property(&ScriptError::number, err::kInvalidUseOfNull),
                  ::testing::Property(&ScriptError::description, "无效使用 Null"))));
  EXPECT_THROW(Variant(Array2D(1, 1)).CStr(), ScriptError);
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
    EXPECT_THAT([&] { v.MutableArray().at(row, col); }, test::Raises(err::kSubscriptOutOfRange))
        << row << "," << col;
  }
  EXPECT_THROW(Variant("x").AsArray(), ScriptError);
}

}  // namespace
}  // namespace cb
