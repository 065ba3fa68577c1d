// Board settings: the board address, conversions and derived texts and the values that stop a
// page (tests/data/settings.txt), and when a page reads them (a changed value on the next page:
// tests/pages/environment_test.cpp).
#include "frame/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frame/corkboard.h"
#include "host/context.h"
#include "runtime/script_error.h"
#include "support/case_table.h"
#include "support/fake_host.h"

namespace cb {
namespace {

using Values = std::vector<std::pair<std::string, Variant>>;

Settings Load(const Values& values) {
  Application app;
  for (const auto& [key, value] : values) app.Set(key, value);
  Settings s;
  LoadSettings(app, s);
  LoadStyle(app, s);
  return s;
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
          Values values;
          for (size_t i = 0; i + 1 < a.size(); i += 2) {
            values.emplace_back(a[i], test::Typed(a[i + 1]));
          }
          try {
            return Texts{fields.at(a.back())(Load(values))};
          } catch (const ScriptError& e) {
            return Texts{"error", std::to_string(e.number())};
          }
        }}});
}

TEST(SettingsTest, OnStartPageRaisesBeforeAnyOutput) {
  test::FakeHost host;
  host.Configure({{"PageSize", "twenty"}});
  bool ran = false;
  EXPECT_THROW(host.RunWith<Corkboard>([&](Corkboard&) { ran = true; }), ScriptError);
  EXPECT_FALSE(ran);
  EXPECT_EQ(host.body(), "");
}

}  // namespace
}  // namespace cb
