// Board settings: defaults, conversions, derived texts and the values that stop a page.
#include "frame/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "frame/corkboard.h"
#include "host/context.h"
#include "runtime/script_error.h"
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

TEST(SettingsTest, TheBoardAddressFollowsTheListeningAddress) {
  struct Case {
    const char* host;
    uint16_t port;
    const char* machine;
    const char* url;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", 8080, "box", "http://127.0.0.1:8080/"},
      {"192.168.1.5", 80, "box", "http://192.168.1.5/"},
      {"board.example", 8081, "box", "http://board.example:8081/"},
      {"::1", 8080, "box", "http://[::1]:8080/"},
      {"0.0.0.0", 8080, "box.lan", "http://box.lan:8080/"},
      {"::", 9000, "box", "http://box:9000/"},
      {"0.0.0.0", 8080, "", "http://127.0.0.1:8080/"},
      {"0.0.0.0", 8080, "localhost", "http://127.0.0.1:8080/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BoardUrlFor(c.host, c.port, c.machine), c.url) << c.host << " " << c.machine;
  }
  Application app;
  DefaultBoardUrl(app, "10.0.0.2", 8000);
  EXPECT_EQ(app.Get("BBURL").Str(), "http://10.0.0.2:8000/");
  app.Set("BBURL", Variant("https://board.example/"));  // configured: left alone
  DefaultBoardUrl(app, "10.0.0.2", 8000);
  EXPECT_EQ(app.Get("BBURL").Str(), "https://board.example/");
}

struct ValueCase {
  const char* what;
  Values values;
  std::function<std::string(const Settings&)> field;
  std::string expected;
};

TEST(SettingsTest, ReadsAndConvertsValues) {
  auto num = [](auto Settings::*f) {
    return [f](const Settings& s) { return std::to_string(s.*f); };
  };
  auto text = [](std::string Settings::*f) { return [f](const Settings& s) { return s.*f; }; };
  auto flag = [](bool Settings::*f) {
    return [f](const Settings& s) { return std::string(s.*f ? "true" : "false"); };
  };
  const std::vector<ValueCase> cases = {
      {"keys ignore case",
       {{"dsn", "Board"}, {"userid", "u"}, {"PASSWORD", "p"}},
       text(&Settings::ConnectionString),
       "Provider=MSDASQL.1;USER ID=u;PASSWORD=p;DATA SOURCE=Board"},
      {"style upper-cased", {{"BBSTYLE", "club"}}, text(&Settings::BBSTYLE), "CLUB"},
      {"empty text is the default", {{"BBName", ""}}, text(&Settings::BBName), "Corkboard"},
      {"null is the default", {{"BBName", Variant::Null()}}, text(&Settings::BBName), "Corkboard"},
      {"empty NavBar is the default", {{"NavBar", ""}}, text(&Settings::NavBar), defaults::kNavBar},
      {"integer rounds half to even", {{"PageSize", "12.5"}}, num(&Settings::PageSize), "12"},
      {"integer from a number", {{"HotCount", Variant(int32_t{7})}}, num(&Settings::HotCount), "7"},
      {"boolean text any case",
       {{"DisplayPostCount", "TRUE"}},
       flag(&Settings::DisplayPostCount),
       "true"},
      {"boolean number", {{"EMailRegister", "0"}}, flag(&Settings::EMailRegister), "false"},
      {"boolean non-zero", {{"DisplayTopicSize", "-1"}}, flag(&Settings::DisplayTopicSize), "true"},
      {"MailOnReply is not configurable",
       {{"MailOnReply", "false"}},
       flag(&Settings::MailOnReply),
       "true"},
      {"MemberMinimum empty", {{"MemberMinimum", ""}}, num(&Settings::MemberMinimum), "30"},
      {"MemberMinimum text 0", {{"MemberMinimum", "0"}}, num(&Settings::MemberMinimum), "30"},
      {"MemberMinimum number 0",
       {{"MemberMinimum", Variant(int16_t{0})}},
       num(&Settings::MemberMinimum),
       "30"},
      {"MemberMinimum 45", {{"MemberMinimum", "45"}}, num(&Settings::MemberMinimum), "45"},
      {"PageStyle leading digit", {{"PageStyle", "3abc"}}, num(&Settings::PageStyle), "3"},
      {"PageStyle leading letter", {{"PageStyle", "abc3"}}, num(&Settings::PageStyle), "0"},
      {"PageStyle rounds", {{"PageStyle", "1.6x"}}, num(&Settings::PageStyle), "2"},
      {"empty BGColor falls back",
       {{"BGColor", ""}},
       text(&Settings::BGColor),
       "bgcolor=\"#FFFFFF\""},
      {"background picture",
       {{"PageBackGround", "bg.gif"}},
       text(&Settings::PageBackGround),
       "background=\"images/bg.gif\""},
      {"logo from title picture",
       {{"BBTitle", "t.png"}},
       text(&Settings::Logo),
       "<a href=default.asp><img style=border-color:#000000 border=1 src=\"images/t.png\" "
       "WIDTH=276 HEIGHT=75></a>"},
      {"explicit logo unchanged",
       {{"Logo", "<b>L</b>"}, {"BBTitle", "t.png"}},
       text(&Settings::Logo),
       "<b>L</b>"},
      {"border start",
       {{"TableBorderColor", "#000000"}, {"TableWidth", "95%"}},
       text(&Settings::TableBorderStart),
       "<table border=0 cellpadding=0 cellspacing=0 width=\"95%\"><TR><td bgcolor=\"#000000\" > "},
      {"border end",
       {{"TableBorderColor", "#000000"}},
       text(&Settings::TableBorderEnd),
       "</td></tr></table>"},
      {"inner width inside a border",
       {{"TableBorderColor", "#000000"}},
       text(&Settings::InnerTableWidth),
       "100%"},
      {"inner width without a border",
       {{"TableWidth", "760"}},
       text(&Settings::InnerTableWidth),
       "760"},
  };
  for (const ValueCase& c : cases) {
    try {
      EXPECT_EQ(c.field(Load(c.values)), c.expected) << c.what;
    } catch (const ScriptError& e) {
      ADD_FAILURE() << c.what << ": " << e.description();
    }
  }
}

TEST(SettingsTest, ValuesThatCannotBeConvertedRaise) {
  const std::vector<std::tuple<const char*, const char*, long>> cases = {
      {"PageSize", "twenty", err::kTypeMismatch},
      {"PageSize", "40000", err::kOverflow},
      {"SubmitInterval", "-32769", err::kOverflow},
      {"DisplayPostCount", "yes", err::kTypeMismatch},
      {"PageStyle", "300", err::kOverflow},
      {"PageStyle", "-1", err::kOverflow},
      {"MemberMinimum", "many", err::kTypeMismatch},
      {"MemberMinimum", "40000", err::kOverflow},
  };
  for (const auto& [key, value, number] : cases) {
    try {
      Load({{key, value}});
      ADD_FAILURE() << key << "=" << value << " did not raise";
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.number(), number) << key << "=" << value;
    }
  }
}

TEST(SettingsTest, OnStartPageRaisesBeforeAnyOutput) {
  test::FakeHost host;
  host.Configure({{"PageSize", "twenty"}});
  bool ran = false;
  EXPECT_THROW(host.RunWith<Corkboard>([&](Corkboard&) { ran = true; }), ScriptError);
  EXPECT_FALSE(ran);
  EXPECT_EQ(host.body(), "");
}

TEST(SettingsTest, ChangedVariablesTakeEffectOnTheNextPage) {
  test::FakeHost host;
  host.RunWith<Corkboard>([](Corkboard& page) { EXPECT_EQ(page.settings().PageSize, 20); });
  host.Configure({{"PageSize", "50"}});
  host.RunWith<Corkboard>([](Corkboard& page) { EXPECT_EQ(page.settings().PageSize, 50); });
}

}  // namespace
}  // namespace cb
