// Shared procedures without a database: names, lists, addresses, numbers, quoting, times,
// masking, abbreviation, member titles, random codes and the generated-files folder.
#include "frame/procedures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/context.h"
#include "runtime/script_error.h"

namespace cb {
namespace {

Settings WithSettings(const std::vector<std::pair<std::string, std::string>>& values) {
  Application app;
  for (const auto& [k, v] : values) app.Set(k, Variant(v));
  Settings s;
  LoadSettings(app, s);
  LoadStyle(app, s);
  return s;
}

TEST(ProceduresTest, MessengerNumbersAreUpToTenDigits) {
  const struct {
    const char* number;
    bool ok;
  } cases[] = {
      {"", true},    {"0", true},   {"0123456789", true}, {"12345678901", false}, {"12 34", false},
      {" 1", false}, {"+1", false}, {"1e5", false},       {"１２", false},        {"12');x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckMessengerNumber(c.number), c.ok) << c.number;
}

TEST(ProceduresTest, ScriptStringInAddressKeepsOnlyLettersAndDigits) {
  const struct {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"12345", "12345"},
      {"%27%29", "\\x2527\\x2529"},
      {"');x//", "\\x27\\x29\\x3bx\\x2f\\x2f"},
      {"\"\\<&\n", "\\x22\\x5c\\x3c\\x26\\x0a"},
      {"\xc3\xa9中", "\\xe9\\u4e2d"},
      {"\xf0\x9f\x98\x80", "\\ud83d\\ude00"},  // outside the basic plane: a surrogate pair
      {"\xff", "\\ufffd"},
  };
  for (const auto& c : cases) EXPECT_EQ(ScriptStringInAddress(c.text), c.escaped) << c.text;
}

TEST(ProceduresTest, CheckUserNameTrimsInPlaceAndRefusesPunctuation) {
  const struct {
    std::string text;
    long limit;
    bool ok;
    std::string stored;
  } cases[] = {
      {"  张三abc  ", 0, true, "张三abc"},
      {"Abc123", 0, true, "Abc123"},
      {"a_b", 0, false, "a_b"},
      {"a b", 0, false, "a b"},
      {" a b ", 0, false, "a b"},
      {"", 0, false, ""},
      {"    ", 0, false, ""},
      {"abcdefghijklmnop", 15, false, "abcdefghijklmnop"},
      {"abcdefghijklmno", 15, true, "abcdefghijklmno"},
      {"abcdefghijklmnopqrstuvwxyz0123456789", 0, true, "abcdefghijklmnopqrstuvwxyz0123456789"},
      {"名字", 2, true, "名字"},  // characters are counted, not bytes
      {"名字", 1, false, "名字"},
      {"全角，逗号", 0, true, "全角，逗号"},  // a double-byte character always passes
      // The edges of the refused single-byte ranges.
      {"a/", 0, false, "a/"},
      {"a:", 0, false, "a:"},
      {"a@", 0, false, "a@"},
      {"a[", 0, false, "a["},
      {"a`", 0, false, "a`"},
      {"a{", 0, false, "a{"},
      {"a.b", 0, false, "a.b"},
      {"a-b", 0, false, "a-b"},
      {"09AZaz", 0, true, "09AZaz"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(CheckUserName(text, c.limit), c.ok) << "'" << c.text << "' limit " << c.limit;
    EXPECT_EQ(text, c.stored) << "'" << c.text << "'";
  }
}

TEST(ProceduresTest, InListComparesItemsExactly) {
  const struct {
    const char* list;
    const char* value;
    bool expected;
  } cases[] = {
      {"a,b", "b", true}, {"a,b", "a", true}, {"a,b", "B", false},   {"a, b", "b", false},
      {"", "", false},    {"a,,b", "", true}, {"a,b", "a,b", false}, {"abc", "ab", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InList(c.list, c.value), c.expected) << c.list << " / " << c.value;
  }
}

TEST(ProceduresTest, IsAllowedIPRefusesListedAddressesExactly) {
  const struct {
    const char* rejective;
    const char* address;
    bool allowed;
  } cases[] = {
      {"", "1.2.3.4", true},
      {"1.2.3.4,5.6.7.8", "1.2.3.4", false},
      {"1.2.3.4,5.6.7.8", "5.6.7.8", false},
      {"1.2.3.4,5.6.7.8", "1.2.3.5", true},
      {"1.2.3.4,5.6.7.8", "1.2.3.40", true},
      {"1.2.3.4 ,5.6.7.8", "1.2.3.4", true},  // a trailing space no longer matches
      {"1.2.3.*", "1.2.3.4", true},           // no wildcards
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsAllowedIP(WithSettings({{"RejectiveIP", c.rejective}}), c.address), c.allowed)
        << c.rejective << " / " << c.address;
  }
}

TEST(ProceduresTest, ToLongIsTrueOnlyForPositive32BitNumbers) {
  const struct {
    Variant value;
    bool expected;
  } cases[] = {
      {Variant("7"), true},
      {Variant("7.4"), true},
      {Variant(" 7 "), true},
      {Variant(int32_t{7}), true},
      {Variant("0"), false},
      {Variant("-5"), false},
      {Variant("word"), false},
      {Variant(""), false},
      {Variant(), false},
      {Variant::Null(), false},
      {Variant("0.4"), false},
      {Variant("0.6"), true},
      {Variant("2147483647"), true},
      {Variant("2147483648"), false},
      {Variant("1e3"), true},
      {Variant(true), false},
      {Variant("12abc"), false},
      {Variant("99999999999999999999"), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToLong(c.value), c.expected) << "'" << c.value.Str() << "'";
  }
}

TEST(ProceduresTest, SqlQuoteDoublesApostrophes) {
  EXPECT_EQ(SqlQuote("O'Brien"), "O''Brien");
  EXPECT_EQ(SqlQuote("''"), "''''");
  EXPECT_EQ(SqlQuote("x' or '1'='1"), "x'' or ''1''=''1");
  EXPECT_EQ(SqlQuote(Variant::Null()), "");
  EXPECT_EQ(SqlQuote(Variant(int32_t{5})), "5");
}

TEST(ProceduresTest, PostTimesShowDateAndColouredTime) {
  const Settings s = WithSettings({{"TimeColor", "#123456"}});
  const Variant t(DateTime::FromParts(2001, 5, 9, 8, 3, 7));
  EXPECT_EQ(FormatPostTime(s, t), "2001-05-09 <FONT COLOR=#123456>08:03:07</font>");
  EXPECT_EQ(FormatPostTime(s, Variant("2001-5-9 8:03:07")),
            "2001-05-09 <FONT COLOR=#123456>08:03:07</font>");
  EXPECT_EQ(FormatPostTime(s, Variant::Null()), " <FONT COLOR=#123456></font>");
  EXPECT_EQ(FormatLastPostTime(s, t),
            "<font class=lastlyposttime>2001-05-09</font>&nbsp;<FONT class=lastlyposttime "
            "COLOR=#123456>08:03:07</font>");
  EXPECT_EQ(FormatLastPostTime(s, Variant::Null()),
            "<font class=lastlyposttime></font>&nbsp;<FONT class=lastlyposttime "
            "COLOR=#123456></font>");
}

TEST(ProceduresTest, MaskIPReplacesTheLastGroup) {
  const std::pair<const char*, const char*> cases[] = {
      {"1.2.3.45", "1.2.3.*"}, {"10.1.2.3", "10.1.2.*"}, {"localhost", "localhost"}, {"", ""},
      {"1.2.3.", "1.2.3.*"},   {"::1", "::1"},
  };
  for (const auto& [address, masked] : cases) EXPECT_EQ(MaskIP(address), masked) << address;
}

TEST(ProceduresTest, AbbreviateCountsCharacters) {
  const struct {
    const char* text;
    int16_t length;
    const char* expected;
  } cases[] = {
      {"0123456789", 10, "0123456789"}, {"0123456789", 9, "012345678......"},
      {"0123456789", 0, "......"},      {"一二三四五", 3, "一二三......"},
      {"一二三", 3, "一二三"},          {"", 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Abbreviate(c.text, c.length), c.expected) << c.text << " " << c.length;
  }
  EXPECT_THROW(Abbreviate("abc", -1), ScriptError);
}

TEST(ProceduresTest, UserTitleByRoleAndPostCount) {
  const char* kBasic = "<img src=icon/user.gif vspace=5>";
  const char* kAdvanced = "<img src=icon/user1.gif vspace=5>";
  const char* kSuper = "<img src=icon/user1.gif vspace=5>&nbsp;<img src=icon/user.gif vspace=5>";
  const char* kUltimate =
      "<img src=icon/user1.gif vspace=5>&nbsp;<img src=icon/user1.gif vspace=5>";
  const char* kAdmin = "<img src=icon/admin.gif vspace=5>";
  const struct {
    Variant status;
    Variant posts;
    const char* minimum;
    const char* title;
    const char* icons;
  } cases[] = {
      {Variant("ADMINistrator"), Variant(int32_t{0}), "30", "管理员", kAdmin},
      {Variant("Moderater"), Variant(int32_t{500}), "30", "版主", kAdmin},
      {Variant::Null(), Variant(int32_t{30}), "30", "初级用户", kBasic},
      {Variant::Null(), Variant(int32_t{31}), "30", "高级用户", kAdvanced},
      {Variant::Null(), Variant(int32_t{60}), "30", "高级用户", kAdvanced},
      {Variant::Null(), Variant(int32_t{61}), "30", "超级用户", kSuper},
      {Variant::Null(), Variant(int32_t{90}), "30", "超级用户", kSuper},
      {Variant::Null(), Variant(int32_t{91}), "30", "终极用户", kUltimate},
      {Variant(""), Variant(int32_t{46}), "45", "高级用户", kAdvanced},
      {Variant("member"), Variant(int32_t{45}), "45", "初级用户", kBasic},
      {Variant::Null(), Variant::Null(), "30", "初级用户", kBasic},
      {Variant::Null(), Variant(int32_t{32767}), "10922", "终极用户", kUltimate},
      // The role is decided before the levels are computed, so no overflow for an administrator.
      {Variant("administrator"), Variant(int32_t{1}), "10923", "管理员", kAdmin},
  };
  for (const auto& c : cases) {
    std::string icons, title;
    UserTitle(WithSettings({{"MemberMinimum", c.minimum}}), c.status, c.posts, icons, title);
    EXPECT_EQ(title, c.title) << c.status.Str() << " " << c.posts.Str() << " m=" << c.minimum;
    EXPECT_EQ(icons, c.icons) << c.status.Str() << " " << c.posts.Str();
  }
}

TEST(ProceduresTest, UserTitleLevelsOverflowSixteenBits) {
  std::string icons, title;
  try {
    UserTitle(WithSettings({{"MemberMinimum", "10923"}}), Variant::Null(), Variant(int32_t{5}),
              icons, title);
    ADD_FAILURE() << "no overflow";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
  }
}

TEST(ProceduresTest, RandomTextPicksKindThenCharacter) {
  // kind 0 digit 7, kind 1 letter 16 (Q), kind 2 letter 25 (z)
  struct Scripted : Random {
    std::vector<uint32_t> draws = {0, 7, 1, 16, 2, 25};
    size_t next = 0;
    std::vector<uint32_t> bounds;
    void Fill(unsigned char*, size_t) override { ADD_FAILURE() << "raw bytes drawn"; }
    uint32_t Uniform(uint32_t n) override {
      bounds.push_back(n);
      return draws[next++];
    }
  } scripted;
  EXPECT_EQ(RandomText(3, scripted), "7Qz");
  EXPECT_EQ(scripted.bounds, (std::vector<uint32_t>{3, 10, 3, 26, 3, 26}));
  EXPECT_EQ(RandomText(0, scripted), "");
}

TEST(ProceduresTest, RandomTextFromTheSecureSourceIsSpreadOverTheKinds) {
  const std::string text = RandomText(3000);
  ASSERT_EQ(text.size(), 3000u);
  int digits = 0, upper = 0, lower = 0;
  std::set<char> seen;
  for (char c : text) {
    seen.insert(c);
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c >= 'A' && c <= 'Z') {
      ++upper;
    } else if (c >= 'a' && c <= 'z') {
      ++lower;
    } else {
      ADD_FAILURE() << "unexpected character " << c;
    }
  }
  // Each kind has a third of the draws; 800..1200 is far outside chance (> 10 sigma).
  for (int count : {digits, upper, lower}) {
    EXPECT_GT(count, 800);
    EXPECT_LT(count, 1200);
  }
  EXPECT_EQ(seen.size(), 62u);
  EXPECT_NE(RandomText(16), RandomText(16));
}

TEST(ProceduresTest, LibraryFolderIsCreatedUnderTheDataFolder) {
  const std::filesystem::path data =
      std::filesystem::temp_directory_path() / ("cb-libfolder-" + std::to_string(::getpid()));
  std::filesystem::remove_all(data);
  const std::string folder = LibraryFolder(data.string(), "js");
  EXPECT_EQ(std::filesystem::path(folder), data / "generated" / "js");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(LibraryFolder(data.string(), "js"), folder);  // an existing folder is fine
  std::filesystem::remove_all(data);
}

}  // namespace
}  // namespace cb
