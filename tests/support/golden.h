// Golden-file comparison of page output: tests/golden/<page>/<case>.html holds the expected body.
// On a difference the failure shows the first differing line and column with the text around it
// in both versions. UPDATE_GOLDEN=1 rewrites the file with the actual output for review.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

namespace cb::test {

// name is "<page>/<case>" (an .html file), or "<folder>/<case>.<ext>" for other texts. A file
// that ends in one newline that the output lacks still matches, so that golden files can be
// edited by hand.
::testing::AssertionResult MatchesGolden(std::string_view name, std::string_view actual);

// One case of a table in a golden file of several: a line "=== <name>" and the output. A test
// joins its cases' outputs and compares them with one file.
inline constexpr std::string_view kCaseMark = "=== ";
std::string GoldenCase(std::string_view name, std::string_view output);

// The golden file's text ("" when missing).
std::string ReadGolden(std::string_view name);

// A table whose inputs are its case names (a query, an address) keeps them in its golden file,
// next to the output each gives: runs every case name of the file through run and compares.
void ExpectGoldenCases(std::string_view name,
                       const std::function<std::string(const std::string&)>& run);

}  // namespace cb::test

#define EXPECT_GOLDEN(name, actual) EXPECT_TRUE(::cb::test::MatchesGolden((name), (actual)))
