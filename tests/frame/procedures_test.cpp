// Shared procedures without a database (those whose cases are texts: tests/data/procedures.txt):
// numbers, quoting, times, member titles, random codes and the generated-files folder.
#include "frame/procedures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/context.h"
#include "runtime/script_error.h"
#include "support/case_table.h"

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

TEST(ProceduresTest, TextCases) {
  using Texts = std::vector<std::string>;
  using test::Yes;
  test::CheckCaseTable(
      "procedures.txt",
      {{"CheckMessengerNumber", [](const Texts& a) { return Yes(CheckMessengerNumber(a.at(0))); }},
       {"ScriptStringInAddress",
        [](const Texts& a) { return Texts{ScriptStringInAddress(a.at(0))}; }},
       {"CheckUserName",
        [](const Texts& a) {
          std::string name = a.at(0);
          const bool ok = CheckUserName(name, std::stol(a.at(1)));
          return Texts{Yes(ok)[0], name};
        }},
       {"InList", [](const Texts& a) { return Yes(InList(a.at(0), a.at(1))); }},
       {"IsAllowedIP",
        [](const Texts& a) {
          return Yes(IsAllowedIP(WithSettings({{"RejectiveIP", a.at(0)}}), a.at(1)));
        }},
       {"MaskIP", [](const Texts& a) { return Texts{MaskIP(a.at(0))}; }},
       {"Abbreviate", [](const Texts& a) {
          return Texts{Abbreviate(a.at(0), static_cast<int16_t>(std::stoi(a.at(1))))};
        }}});
  EXPECT_THROW(Abbreviate("abc", -1), ScriptError);
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
