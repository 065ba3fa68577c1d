// The preferences page (option.asp): name storage and the default topic age, both kept as
// cookies in the browser; a POST writes them, every visit shows what the browser sent.
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "members/member_pages.h"
#include "runtime/convert.h"

namespace cb {

namespace {

struct DayChoice {
  int16_t days;
  const char* label;
};
constexpr DayChoice kDayChoices[] = {
    {1, "显示前一天的贴子"},      {2, "显示前两天的贴子"},    {5, "显示前五天的贴子"},
    {10, "显示前十天的贴子"},     {20, "显示前二十天的贴子"}, {30, "显示前三十天的贴子"},
    {45, "显示前四十五天的贴子"}, {60, "显示前六十天的贴子"}, {75, "显示前七十五天的贴子"},
    {100, "显示前一百天的贴子"},  {365, "显示前一年的贴子"},  {0, "显示所有的的贴子"}};

std::string OptionsForm(const Settings& s, bool name_storage, int16_t days) {
  std::string select = "<select name=DaysPrune class=smallsel>";
  for (const DayChoice& c : kDayChoices) {
    select += "<option value=" + std::to_string(c.days) + (c.days == days ? " selected>" : ">") +
              c.label + "</option>";
  }
  select += "</select>";
  return s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
         s.TableColorStrip + "><td><font color=" + s.TableStripTextColor +
         "><b>论坛选项</b></font></td></tr><tr " + s.AltColumnColor1 +
         "><td>您可以通过定制选项来表现论坛。目前，您有两个选项可以设置。 <ul>"
         "<li>是否在浏览器中保存您的用户名和密码，以后发贴时不必再输入；</li>"
         "<li>在贴子列表中缺省显示多少天内的贴子。</li></ul></td></tr></table>" +
         s.TableBorderEnd + "<form ACTION=option.asp METHOD=POST NAME=PREFS>" +
         "<input type=hidden name=action value=PrefsSubmit>" + s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
         s.AltColumnColor1 +
         "><td><b>在浏览器中保存用户名和密码：</b></td><td>"
         "<input type=radio name=NameStorage value=yes" +
         (name_storage ? " checked" : "") + ">是 <input type=radio name=NameStorage value=no" +
         (name_storage ? "" : " checked") + ">否</td></tr><tr " + s.AltColumnColor2 +
         "><td><b>缺省显示的贴子：</b></td><td>" + select + "</td></tr><tr " + s.AltColumnColor1 +
         "><td colspan=2 align=center><input type=submit value=提交选择 class=buttonface> "
         "<input type=reset value=选择重置 class=buttonface></td></tr></table>" +
         s.TableBorderEnd +
         "</form><p><b>注意：您的选项作为cookies被存在您的浏览器里，如果您的浏览器不接受cookies，"
         "这些选项将不起作用。在浏览器中保存的用户名和密码有效期为一年。</b></p>";
}

}  // namespace

void Corkboard::CorkboardOption() {
  RunFramedPage({.location = "选项", .title = "选项设置", .heading = "论坛选项"}, [&] {
    const Settings& s = S();
    const Request& request = Request_();
    Response& out = Response_();
    if (EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
      const DateTime today = Now().DateOnly();
      auto cookie = [&](const char* name, const std::string& value, DateTime until) {
        out.SetCookie(name, value);
        out.SetCookieExpires(name, until);
      };
      const std::string storage = request.Form("NameStorage").Str();
      if (storage == "yes") {
        cookie("NameStorage", "yes", today.AddDays(365));
      } else if (storage == "no") {
        cookie("NameStorage", "no", today.AddDays(365));
        cookie("UserName", "", today.AddDays(-365));
        cookie("Password", "", today.AddDays(-365));
      }
      // A value that is no 16-bit number leaves the stored choice alone.
      const std::string days = Trim(request.Form("DaysPrune").Str());
      const std::optional<double> n = ParseNumber(days);
      if (n && *n > -32768.5 && *n < 32767.5) {
        cookie("DaysPrune", std::to_string(Variant(days).CInt()), today.AddDays(365));
      }
    }
    // What the browser sent with this request, not what was just set.
    out << OptionsForm(s, NameStorageShown(request.Cookies("NameStorage").Str()),
                       DaysPruneShown(request.Cookies("DaysPrune").Str(), s.DaysPruneDefault));
  });
}

}  // namespace cb
