// LoadSettings and LoadStyle: copy the board settings from application variables, with a built-in
// default for each missing or empty one, and derive the attribute texts and the table wrapper.
#include "frame/settings.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <mutex>

#include "host/context.h"
#include "runtime/convert.h"
#include "runtime/script_error.h"
#include "runtime/variant.h"

namespace cb {

namespace defaults {
const char* const kSmtpServer = "dir:outbox";  // in the data folder
const char* const kBBURL = "http://127.0.0.1:8080/";
const char* const kBBEMail = "board@localhost";
const char* const kCopyright =
    "<p align=center><font class=smallFont>联系我们：<a href=mailto:board@localhost>"
    "board@localhost</a>&nbsp;|&nbsp;<a href=default.asp>论坛首页</a>&nbsp;|&nbsp;"
    "本论坛由 Corkboard 驱动</font></p>";
const char* const kNavBar =
    "<a href=profile.asp>个人信息</a> | <a href=signup.asp>注册</a> | "
    "<a href=option.asp>设置</a> | <a href=search.asp>搜索</a> | "
    "<a href=showFavor.asp>查看收藏</a> | <a href=FAQ.html target=_blank>帮助</a> | "
    "<a href=top.asp>排行榜</a>";
const char* const kUploadBaseDir = "upload";  // in the data folder
}  // namespace defaults

namespace {

// Reads one application variable the way every setting is read: a missing, empty or null value
// means "use the default" (a null compares neither equal nor unequal, so it falls to the default).
class Reader {
 public:
  explicit Reader(const Application& app) : app_(app) {}

  bool Has(std::string_view key, Variant* out) const {
    Variant v = app_.Get(key);
    if (v.IsNull() || v.IsEmpty()) return false;
    if (v.IsString() && v.AsStringRef().empty()) return false;
    *out = std::move(v);
    return true;
  }
  std::string Text(std::string_view key, std::string_view def) const {
    Variant v;
    return Has(key, &v) ? v.CStr() : std::string(def);
  }
  bool Bool(std::string_view key, bool def) const {
    Variant v;
    return Has(key, &v) ? v.CBool() : def;
  }
  int16_t Int(std::string_view key, int16_t def) const {
    Variant v;
    return Has(key, &v) ? v.CInt() : def;
  }

 private:
  const Application& app_;
};

// The leading number of a text, stored in a byte: "3abc" gives 3, "abc" gives 0; out of 0..255
// (after rounding) is an overflow, as for any setting that does not fit.
uint8_t LeadingByte(const Variant& v) { return Variant(LeadingNumber(v.Str())).CByte(); }

// MemberMinimum is tested against the number 0, not the empty text: missing, empty and 0 give
// the default; another text that is not a number cannot be compared with 0: a type mismatch.
int16_t ReadMemberMinimum(const Application& app) {
  Variant v = app.Get("MemberMinimum");
  if (v.IsEmpty() || v.IsNull() || v.Str().empty()) return 30;
  if (!IsNumeric(v)) {
    throw ScriptError(err::kTypeMismatch, "类型不匹配");
  }
  if (v.CDbl() == 0) return 30;
  return Variant(LeadingNumber(v.Str())).CInt();
}

std::string Attribute(const std::string& name, const std::string& value) {
  return value.empty() ? value : name + "=\"" + value + "\"";
}

}  // namespace

void LoadSettings(const Application& app, Settings& s) {
  Reader r(app);
  s.MailOnReply = true;
  s.EMailRegister = r.Bool("EMailRegister", true);
  s.DSN = r.Text("DSN", "Corkboard");
  s.UserID = r.Text("UserID", "sa");
  s.Password = r.Text("Password", "");
  s.ConnectionString = "Provider=MSDASQL.1;USER ID=" + s.UserID + ";PASSWORD=" + s.Password +
                       ";DATA SOURCE=" + s.DSN;
  s.UploadBaseDir = r.Text("UploadBaseDir", defaults::kUploadBaseDir);
  s.DisplayPostCount = r.Bool("DisplayPostCount", false);
  s.RejectiveIP = r.Text("RejectiveIP", "");
  s.EMailCheck = r.Bool("EMailCheck", true);
  s.SubmitInterval = r.Int("SubmitInterval", 20);
  s.OnlineTime = r.Int("OnlineTime", 5);
  s.maxUser = r.Int("maxUser", 20);
  s.SmtpServer = r.Text("SmtpServer", defaults::kSmtpServer);
  s.BBURL = r.Text("BBURL", defaults::kBBURL);
  s.BBEMail = r.Text("BBEMail", defaults::kBBEMail);
  s.BBName = r.Text("BBName", "Corkboard");
  s.DaysPruneDefault = r.Int("DaysPruneDefault", 5);
  s.Copyright = r.Text("Copyright", defaults::kCopyright);
  s.HotCount = r.Int("HotCount", 10);
  s.NavBar = r.Text("NavBar", defaults::kNavBar);
  s.DisplayMemberTotal = r.Bool("DisplayMemberTotal", true);
  s.PageSize = r.Int("PageSize", 20);
  s.DisplayRegistration = r.Bool("DisplayRegistration", true);
  s.DisplayTopicSize = r.Bool("DisplayTopicSize", true);
  s.GuestTitle = r.Text("GuestTitle", "游客");
  s.BBSTYLE = ToUpper(r.Text("BBSTYLE", "CBK"));
  Variant page_style;
  s.PageStyle = r.Has("PageStyle", &page_style) ? LeadingByte(page_style) : 0;
  s.MemberMinimum = ReadMemberMinimum(app);
}

void LoadStyle(const Application& app, Settings& s) {
  Reader r(app);
  s.BBTitle = r.Text("BBTitle", "title.gif");
  s.BBTopic = r.Text("BBTopic", "postnew.jpg");
  s.BBReply = r.Text("BBReply", "reply5.jpg");
  s.Logo = r.Text("Logo",
                  "<a href=default.asp><img style=border-color:#000000 border=1 "
                  "src=\"images/" +
                      s.BBTitle + "\" WIDTH=276 HEIGHT=75></a>");
  s.BGColor = r.Text("BGColor", "#FFFFFF");
  s.TableBorderColor = r.Text("TableBorderColor", "");
  s.TableColorStrip = r.Text("TableColorStrip", "#000000");
  s.TableStripTextColor = r.Text("TableStripTextColor", "#ffffff");
  s.TimeColor = r.Text("TimeColor", "#800080");
  s.AltColumnColor1 = r.Text("AltColumnColor1", "#f7f7f7");
  s.AltColumnColor2 = r.Text("AltColumnColor2", "#dedfdf");
  s.CategoryStripColor = r.Text("CategoryStripColor", "#80D9D9");
  s.CategoryStripTextColor = r.Text("CategoryStripTextColor", "#000000");
  s.BBTitleFontColor = r.Text("BBTitleFontColor", "#000080");
  s.TableWidth = r.Text("TableWidth", "95%");
  s.PageBackGround = r.Text("PageBackGround", "");

  // Colours that pages write inside a tag become ready-made attribute text.
  for (std::string* colour : {&s.BGColor, &s.AltColumnColor1, &s.AltColumnColor2,
                              &s.CategoryStripColor, &s.TableColorStrip}) {
    *colour = Attribute("bgcolor", *colour);
  }
  if (!s.PageBackGround.empty())
    s.PageBackGround = "background=\"images/" + s.PageBackGround + "\"";

  // A border colour frames each block of content tables with a one-colour cell.
  if (!s.TableBorderColor.empty()) {
    s.InnerTableWidth = "100%";
    s.TableBorderStart = "<table border=0 cellpadding=0 cellspacing=0 width=\"" + s.TableWidth +
                         "\"><TR><td bgcolor=\"" + s.TableBorderColor + "\" > ";
    s.TableBorderEnd = "</td></tr></table>";
  } else {
    s.InnerTableWidth = s.TableWidth;
    s.TableBorderStart.clear();
    s.TableBorderEnd.clear();
  }
}

const std::shared_ptr<const Settings>& DefaultSettings() {
  static const std::shared_ptr<const Settings> defaults = std::make_shared<const Settings>();
  return defaults;
}

std::shared_ptr<const Settings> PageSettings(const Application& app, const Environment& env) {
  struct Kept {
    uint64_t stamp = 0;
    const Environment* env = nullptr;
    std::string data_dir;
    std::shared_ptr<const Settings> settings;
  };
  static std::mutex mu;
  static Kept kept;
  const uint64_t stamp = app.Stamp();
  {
    std::lock_guard lock(mu);
    if (kept.stamp == stamp && kept.env == &env && kept.data_dir == env.data_dir &&
        kept.settings->Transport == env.mail_transport && kept.settings->Queue == env.mail_queue) {
      return kept.settings;
    }
  }
  auto s = std::make_shared<Settings>();
  LoadSettings(app, *s);
  LoadStyle(app, *s);
  s->DataDir = env.data_dir;
  s->UploadBaseDir = InDataFolder(env.data_dir, s->UploadBaseDir);
  s->Transport = env.mail_transport;
  s->Queue = env.mail_queue;
  std::lock_guard lock(mu);
  // Stamped as read before loading: a value set meanwhile makes the next page read them again.
  kept = {stamp, &env, env.data_dir, s};
  return s;
}

std::string InDataFolder(const std::string& data_dir, const std::string& path) {
  const std::filesystem::path p(path);
  if (p.is_absolute() || data_dir.empty()) return path;
  return (std::filesystem::path(data_dir) / p).string();
}

std::string BoardUrlFor(std::string_view listen_host, uint16_t port,
                        std::string_view machine_name) {
  std::string host(listen_host);
  if (host.find_first_not_of("0.:") == std::string::npos) {  // 0.0.0.0, ::, or none
    host = machine_name.empty() || EqualsNoCase(machine_name, "localhost") ? "127.0.0.1"
                                                                           : machine_name;
  }
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string url = "http://" + host;
  if (port != 80) url += ":" + std::to_string(port);
  return url + "/";
}

void DefaultBoardUrl(Application& app, std::string_view listen_host, uint16_t port) {
  Variant configured;
  if (Reader(app).Has("BBURL", &configured)) return;
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
  app.Set("BBURL", Variant(BoardUrlFor(listen_host, port, name)));
}

}  // namespace cb
