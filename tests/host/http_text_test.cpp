// HTTP texts: GBK in url-encoded fields and cookies (round trips), cookie expiry dates in GMT,
// redirect locations, content types (the cases of single texts: tests/data/http_text.txt).
#include "host/http_text.h"

#include <gtest/gtest.h>

#include "support/case_table.h"
#include "support/test_env.h"

namespace cb {
namespace {

TEST(HttpTextTest, TextCases) {
  using Texts = std::vector<std::string>;
  const auto fields = [](const ValueCollection& values) {
    Texts out;
    for (const auto& [name, value] : values.all()) out.insert(out.end(), {name, value});
    return out;
  };
  test::CheckCaseTable(
      "http_text.txt",
      {{"EncodeLocation", [](const Texts& a) { return Texts{EncodeLocation(a.at(0))}; }},
       {"ContentTypeForFile", [](const Texts& a) { return Texts{ContentTypeForFile(a.at(0))}; }},
       {"ParseUrlEncoded",
        [&](const Texts& a) {
          ValueCollection out;
          ParseUrlEncoded(a.at(0), out);
          return fields(out);
        }},
       {"ParseCookieHeader", [&](const Texts& a) {
          ValueCollection jar;
          ParseCookieHeader(a.at(0), jar);
          return fields(jar);
        }}});
}

TEST(HttpTextTest, CookieValuesRoundTripThroughGbkEncoding) {
  const char* values[] = {
      "plain", "张三", "a b+c", "x=1&y=2; z", "100%", "", "2024-05-09 10:20:30"};
  for (const char* value : values) {
    std::string line = FormatSetCookie("UserName", ResponseCookie{value, std::nullopt});
    std::string pair = line.substr(0, line.find(';'));
    EXPECT_EQ(pair.find_first_of(" ,\""), std::string::npos) << line;
    ValueCollection jar;
    ParseCookieHeader("other=1; " + pair + "; last=2", jar);
    EXPECT_EQ(jar.Get("username").Str(), value) << line;
    EXPECT_EQ(jar.Get("last").Str(), "2");
  }
  EXPECT_EQ(FormatSetCookie("UserName", ResponseCookie{"张三", std::nullopt}),
            "UserName=%D5%C5%C8%FD; HttpOnly; SameSite=Lax");
  EXPECT_EQ(FormatSetCookie("Password", ResponseCookie{"pw", std::nullopt}, /*secure=*/true),
            "Password=pw; HttpOnly; SameSite=Lax; Secure");
}

TEST(HttpTextTest, CookieExpiryIsTheLocalDateInGmt) {
  // The board keeps local wall-clock dates; the browser wants the instant in GMT.
  test::ScopedTimeZone zone("UTC0");
  // The zone, the local wall clock (seconds since 1970 read as if UTC), the date sent.
  for (const auto& [tz, wall, expected] :
       {std::tuple{"UTC0", 1715250030, "Thu, 09 May 2024 10:20:30 GMT"},
        {"CST-8", 1715250030, "Thu, 09 May 2024 02:20:30 GMT"},
        {"CST-8", 1704067200 + 3600, "Sun, 31 Dec 2023 17:00:00 GMT"},  // crosses the year back
        {"EST5", 1715250030, "Thu, 09 May 2024 15:20:30 GMT"}}) {
    zone.Use(tz);
    EXPECT_EQ(HttpDate(DateTime::FromSeconds(wall)), expected) << tz;
  }
  zone.Use("CST-8");
  std::string line =
      FormatSetCookie("DaysPrune", ResponseCookie{"5", DateTime::FromSeconds(1715250030)});
  EXPECT_EQ(line, "DaysPrune=5; expires=Thu, 09 May 2024 02:20:30 GMT; HttpOnly; SameSite=Lax");
}

}  // namespace
}  // namespace cb
