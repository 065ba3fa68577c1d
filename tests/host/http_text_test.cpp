// HTTP texts: GBK in url-encoded fields and cookies (round trips), cookie expiry dates in GMT,
// redirect locations, content types.
#include "host/http_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace cb {
namespace {

TEST(HttpTextTest, UrlEncodedFieldsDecodeAsGbk) {
  struct Case {
    const char* raw;
    std::vector<std::pair<std::string, std::string>> fields;
  };
  const Case cases[] = {
      {"GroupName=%D6%D0%CE%C4&page=2", {{"GroupName", "中文"}, {"page", "2"}}},
      {"a=x+y&&b=", {{"a", "x y"}, {"b", ""}}},
      {"flag&%D0%D5%C3%FB=%D5%C5", {{"flag", ""}, {"姓名", "张"}}},
      {"=orphan&k=v=w", {{"k", "v=w"}}},
      // Broken escapes stay as written; a byte that is not GBK becomes U+FFFD.
      {"p=100%&q=%zz", {{"p", "100%"}, {"q", "%zz"}}},
      {"r=%FF", {{"r", "\xEF\xBF\xBD"}}},
  };
  for (const Case& c : cases) {
    ValueCollection out;
    ParseUrlEncoded(c.raw, out);
    EXPECT_EQ(out.all(), c.fields) << c.raw;
  }
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

TEST(HttpTextTest, CookieHeaderToleratesSpacesAndQuotes) {
  ValueCollection jar;
  ParseCookieHeader(" a = 1 ;b=\"quoted\";;  c=", jar);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"a", "1"}, {"b", "quoted"}, {"c", ""}};
  EXPECT_EQ(jar.all(), expected);
}

class TimeZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void Use(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  std::optional<std::string> saved_;
};

TEST_F(TimeZoneTest, CookieExpiryIsTheLocalDateInGmt) {
  // The board keeps local wall-clock dates; the browser wants the instant in GMT.
  auto local = [](int64_t wall) { return DateTime::FromSeconds(wall); };
  struct Case {
    const char* tz;
    int64_t wall;  // local wall clock, seconds since 1970 read as if UTC
    const char* expected;
  };
  const Case cases[] = {
      {"UTC0", 1715250030, "Thu, 09 May 2024 10:20:30 GMT"},
      {"CST-8", 1715250030, "Thu, 09 May 2024 02:20:30 GMT"},
      {"CST-8", 1704067200 + 3600, "Sun, 31 Dec 2023 17:00:00 GMT"},  // crosses the year back
      {"EST5", 1715250030, "Thu, 09 May 2024 15:20:30 GMT"},
  };
  for (const Case& c : cases) {
    Use(c.tz);
    EXPECT_EQ(HttpDate(local(c.wall)), c.expected) << c.tz;
  }
  Use("CST-8");
  std::string line = FormatSetCookie("DaysPrune", ResponseCookie{"5", local(1715250030)});
  EXPECT_EQ(line, "DaysPrune=5; expires=Thu, 09 May 2024 02:20:30 GMT; HttpOnly; SameSite=Lax");
}

TEST(HttpTextTest, LocationKeepsAsciiAndEncodesTheRestAsGbk) {
  struct Case {
    const char* url;
    const char* expected;
  };
  const Case cases[] = {
      {"Default.htm", "Default.htm"},
      {"list.asp?GroupName=%D6%D0", "list.asp?GroupName=%D6%D0"},
      {"list.asp?GroupName=中文", "list.asp?GroupName=%D6%D0%CE%C4"},
      {"a b", "a%20b"},
      {"x\r\nSet-Cookie: evil=1", "x%0D%0ASet-Cookie:%20evil=1"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeLocation(c.url), c.expected) << c.url;
}

TEST(HttpTextTest, ContentTypesByExtension) {
  struct Case {
    const char* name;
    const char* type;
  };
  const Case cases[] = {
      {"FAQ.html", "text/html; charset=gb2312"},
      {"cbkcode.HTM", "text/html; charset=gb2312"},
      {"DEFAULT.CSS", "text/css"},
      {"a.gif", "image/gif"},
      {"b.JPG", "image/jpeg"},
      {"c.png", "image/png"},
      {"editor.js", "application/javascript"},
      {"favicon.ico", "image/x-icon"},
      {"README", ""},
      {"x.asp", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ContentTypeForFile(c.name), c.type) << c.name;
}

}  // namespace
}  // namespace cb
