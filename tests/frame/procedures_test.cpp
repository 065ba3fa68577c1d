// Shared procedures and board settings without a database (tests/data/procedures.txt and
// settings.txt; when a page reads a changed value: registration_test).
#include "frame/procedures.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "frame/settings.h"
#include "host/context.h"
#include "runtime/script_error.h"
#include "support/page_test.h"
#include "support/test_env.h"

namespace cb {
namespace {

// A member's title and the name of their icons.
std::vector<std::string> UserTitleCase(const std::vector<std::string>& a) {
  const std::map<std::string, std::string> icons = {
      {"<img src=icon/user.gif vspace=5>", "basic"},
      {"<img src=icon/user1.gif vspace=5>", "advanced"},
      {"<img src=icon/user1.gif vspace=5>&nbsp;<img src=icon/user.gif vspace=5>", "super"},
      {"<img src=icon/user1.gif vspace=5>&nbsp;<img src=icon/user1.gif vspace=5>", "ultimate"},
      {"<img src=icon/admin.gif vspace=5>", "admin"}};
  std::string written, title;
  UserTitle(test::SettingsOf({{"MemberMinimum", a.at(2)}}), test::Typed(a.at(0)),
            test::Typed(a.at(1)), written, title);
  return {title, icons.contains(written) ? icons.at(written) : written};
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
          return Yes(IsAllowedIP(test::SettingsOf({{"RejectiveIP", a.at(0)}}), a.at(1)));
        }},
       {"MaskIP", [](const Texts& a) { return Texts{MaskIP(a.at(0))}; }},
       {"ToLong", [](const Texts& a) { return Yes(ToLong(test::Typed(a.at(0)))); }},
       {"UserTitle", UserTitleCase},
       {"SqlQuote", [](const Texts& a) { return Texts{SqlQuote(test::Typed(a.at(0)))}; }},
       {"FormatPostTime",
        [](const Texts& a) {
          const Settings s = test::SettingsOf({{"TimeColor", "#123456"}});
          const Variant t = test::Typed(a.at(0));
          return Texts{FormatPostTime(s, t), FormatLastPostTime(s, t)};
        }},
       {"Abbreviate", [](const Texts& a) {
          return Texts{Abbreviate(a.at(0), static_cast<int16_t>(std::stoi(a.at(1))))};
        }}});
  EXPECT_THROW(Abbreviate("abc", -1), ScriptError);
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
  const auto count = [&](char from, char to) {
    return std::count_if(text.begin(), text.end(), [&](char c) { return c >= from && c <= to; });
  };
  const auto digits = count('0', '9'), upper = count('A', 'Z'), lower = count('a', 'z');
  EXPECT_EQ(digits + upper + lower, 3000);
  // Each kind has a third of the draws; 800..1200 is far outside chance (> 10 sigma).
  for (auto n : {digits, upper, lower}) {
    EXPECT_GT(n, 800);
    EXPECT_LT(n, 1200);
  }
  EXPECT_EQ(std::set<char>(text.begin(), text.end()).size(), 62u);
  EXPECT_NE(RandomText(16), RandomText(16));
}

TEST(ProceduresTest, LibraryFolderIsCreatedUnderTheDataFolder) {
  const test::ScratchDir dir("cb-libfolder");
  const std::filesystem::path data = dir.path() / "data";
  const std::string folder = LibraryFolder(data.string(), "js");
  EXPECT_EQ(std::filesystem::path(folder), data / "generated" / "js");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(LibraryFolder(data.string(), "js"), folder);  // an existing folder is fine
}

TEST(SettingsTest, AConfiguredBoardAddressIsLeftAlone) {
  Application app;
  DefaultBoardUrl(app, "10.0.0.2", 8000);
  EXPECT_EQ(app.Get("BBURL").Str(), "http://10.0.0.2:8000/");
  app.Set("BBURL", Variant("https://board.example/"));  // configured: left alone
  DefaultBoardUrl(app, "10.0.0.2", 8000);
  EXPECT_EQ(app.Get("BBURL").Str(), "https://board.example/");
}

TEST(SettingsTest, ReadsAndConvertsValues) {
  using Texts = std::vector<std::string>;
  const auto num = [](auto Settings::*f) {
    return [f](const Settings& s) { return std::to_string(s.*f); };
  };
  const auto text = [](std::string Settings::*f) {
    return [f](const Settings& s) { return s.*f; };
  };
  const auto flag = [](bool Settings::*f) {
    return [f](const Settings& s) { return std::string(s.*f ? "yes" : "no"); };
  };
  const std::map<std::string, std::function<std::string(const Settings&)>> fields = {
      {"ConnectionString", text(&Settings::ConnectionString)},
      {"BBSTYLE", text(&Settings::BBSTYLE)},
      {"BBName", text(&Settings::BBName)},
      {"PageSize", num(&Settings::PageSize)},
      {"HotCount", num(&Settings::HotCount)},
      {"DisplayPostCount", flag(&Settings::DisplayPostCount)},
      {"EMailRegister", flag(&Settings::EMailRegister)},
      {"DisplayTopicSize", flag(&Settings::DisplayTopicSize)},
      {"MailOnReply", flag(&Settings::MailOnReply)},
      {"MemberMinimum", num(&Settings::MemberMinimum)},
      {"PageStyle", num(&Settings::PageStyle)},
      {"BGColor", text(&Settings::BGColor)},
      {"PageBackGround", text(&Settings::PageBackGround)},
      {"Logo", text(&Settings::Logo)},
      {"TableBorderStart", text(&Settings::TableBorderStart)},
      {"TableBorderEnd", text(&Settings::TableBorderEnd)},
      {"InnerTableWidth", text(&Settings::InnerTableWidth)}};
  test::CheckCaseTable(
      "settings.txt",
      {{"BoardUrlFor",
        [](const Texts& a) {
          return Texts{BoardUrlFor(a.at(0), static_cast<uint16_t>(std::stoi(a.at(1))), a.at(2))};
        }},
       {"setting", [&](const Texts& a) {
          std::vector<std::pair<std::string, Variant>> values;
          for (size_t i = 0; i + 1 < a.size(); i += 2) {
            values.emplace_back(a[i], test::Typed(a[i + 1]));
          }
          return Texts{fields.at(a.back())(test::SettingsOf(values))};
        }}});
}

TEST(SettingsTest, OnStartPageRaisesBeforeAnyOutput) {
  FakeHost host;
  host.Configure({{"PageSize", "twenty"}});
  bool ran = false;
  EXPECT_THROW(host.RunWith<Corkboard>([&](Corkboard&) { ran = true; }), ScriptError);
  EXPECT_FALSE(ran);
  EXPECT_EQ(host.body(), "");
}

}  // namespace
}  // namespace cb
