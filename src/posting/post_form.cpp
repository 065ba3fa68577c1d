// Form rows and texts shared by the posting pages.
#include "posting/post_form.h"

#include "frame/checks.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "posting/editor_toolbar.h"
#include "runtime/convert.h"

namespace cb {

const char* const kRefusedAddressStart = "对不起，你的 ip 地址 ";
const char* const kRefusedAddressEnd =
    " 已经被列入 IP 拒绝列表！您不能发表或回复任何话题。如果要取消此 IP 拒绝，请和论坛管理员联系！";
const char* const kNameAndPassword = "请同时输入用户名，口令！按浏览器的后退按钮可重新输入！";
const char* const kNotMember =
    "对不起，您不是本论坛的注册用户，请先注册后再发表！按浏览器的后退按钮可重新输入！";
const char* const kBarred =
    "对不起，您已经被禁止在本论坛发表话题，请和论坛管理员联系以获得详细信息！";
const char* const kClosedTopicMessage = "该主题已被关闭，不再接受回复，请检查！";

std::string FloodMessage(const Settings& s) {
  return "论坛开启了重复递交检查功能，如果你在 " + std::to_string(s.SubmitInterval) +
         " 秒内递交第二个贴子被视为重复提交,请稍待片刻后再试!";
}

namespace {

constexpr Rule<SubmitFacts, PostStop> kPostRules[] = {
    {PostStop::kAddress, [](const SubmitFacts& f) { return !f.address_allowed; }},
    {PostStop::kNameAndPassword, [](const SubmitFacts& f) { return !f.named; }},
    {PostStop::kEmpty, [](const SubmitFacts& f) { return !f.has_content; }},
    {PostStop::kFlood, [](const SubmitFacts& f) { return KnownFalse(f.flood_free); }},
    {PostStop::kNotMember, [](const SubmitFacts& f) { return KnownFalse(f.member); }},
    {PostStop::kBarred, [](const SubmitFacts& f) { return KnownFalse(f.may_post); }},
    {PostStop::kNoTopic, [](const SubmitFacts& f) { return KnownFalse(f.topic); }},
    {PostStop::kNoForum, [](const SubmitFacts& f) { return KnownFalse(f.forum); }},
    {PostStop::kPrivate, [](const SubmitFacts& f) { return KnownFalse(f.admitted); }},
    {PostStop::kClosed, [](const SubmitFacts& f) { return Known(f.closed); }},
};

}  // namespace

std::optional<PostStop> SubmitRefusal(const SubmitFacts& f) { return FirstRefusal(kPostRules, f); }

std::string SubmitRefusalText(PostStop stop, const Settings& s, const std::string& address,
                            bool reply) {
  switch (stop) {
    case PostStop::kAddress:
      // The address may come from a trusted proxy's header: kept as text.
      return kRefusedAddressStart + HtmlSafe(address) + kRefusedAddressEnd;
    case PostStop::kNameAndPassword:
      return kNameAndPassword;
    case PostStop::kEmpty:
      return reply ? "请输入内容！按浏览器的后退按钮可重新输入！"
                   : "请同时输入主题和内容！按浏览器的后退按钮可重新输入！";
    case PostStop::kFlood:
      return FloodMessage(s);
    case PostStop::kNotMember:
      return kNotMember;
    case PostStop::kBarred:
      return kBarred;
    case PostStop::kNoTopic:
      return "对不起，该主题已经不存在，可能已经被删除！";
    case PostStop::kNoForum:
      return kNoForumMessage;
    case PostStop::kClosed:
      return kClosedTopicMessage;
    case PostStop::kPrivate:
      break;
  }
  return "";
}

bool SignedIn(const Session& session) {
  const Variant login = session.Get("Login");
  return IsNumeric(login) && login.CDbl() == 1;
}

ActingMember ReadActingMember(const Session& session, const Request& request) {
  if (SignedIn(session)) {
    return {Trim(session.Get("UserName").Str()), Trim(session.Get("Password").Str())};
  }
  return {Trim(request.Form("username").Str()), Trim(request.Form("Password").Str())};
}

bool Checked(const Variant& value) { return value.Str() == "on"; }

std::string RegisterLinkTable(const Settings& s) {
  return "<table border=0 width=" + s.TableWidth +
         "><tr><td align=right><A HREF=signup.asp><b>我想注册？</b></a></td></tr></table>";
}

std::string StripRow(const Settings& s, const std::string& label, const std::string& text) {
  const std::string font = "<font color=" + s.TableStripTextColor + ">";
  return "<tr " + s.TableColorStrip + "><td>" + font + "<b>" + label + "</b></font></td><td>" +
         font + text + "</font></td></tr>";
}

std::string MemberRows(const Settings& s, const Request& request) {
  // The cookies are the visitor's own text: kept inside their attributes.
  return "<tr " + s.AltColumnColor2 +
         "><td><b>你的用户名：</b></td><td><INPUT TYPE=TEXT NAME=UserName SIZE=25 MAXLENGTH=25 "
         "value=\"" +
         HtmlSafe(request.Cookies("UserName").Str()) + "\"></td></tr><tr " + s.AltColumnColor2 +
         "><td><b>你的密码：</b></td><td><INPUT TYPE=PASSWORD NAME=Password SIZE=13 "
         "MAXLENGTH=13 value=\"" +
         HtmlSafe(request.Cookies("Password").Str()) +
         "\"> <a href=cbkmisc.asp?action=lostpw>忘了密码？</a></td></tr>";
}

std::string IconRow(const Settings& s) {
  static constexpr int kOrder[] = {1, 10, 11, 12, 13, 14, 2, 0, 3, 4, 5, 6, 7, 8, 9, 0};
  std::string html = "<tr " + s.AltColumnColor1 + "><td valign=top><b>消息图标：</b></td><td>";
  for (int n : kOrder) {
    if (n == 0) {
      html += "<br>";
      continue;
    }
    const std::string num = std::to_string(n);
    html += "<INPUT TYPE=RADIO NAME=MsgIcon VALUE=" + num + (n == 1 ? " CHECKED" : "") +
            "><img src=icon/icon" + num + ".gif WIDTH=15 HEIGHT=15>&nbsp;&nbsp;";
  }
  return html + "</td></tr>";
}

std::string BodyRow(const Settings& s, const std::string& label, const std::string& initial_text,
                    const std::string& before_editor) {
  std::string editor;
  EditorToolbar(s, editor, initial_text);
  return "<tr " + s.AltColumnColor1 + "><td valign=top><b>" + label +
         "</b><br><br>* HTML 代码关闭<br><a href=cbkcode.htm target=_blank>* CBK　代码开启</a>"
         "<br><a href=smiles.htm target=_blank>* 笑脸转换一点通</a></td><td>" +
         before_editor + editor + "</td></tr>";
}

std::string MarkupNotes(const std::string& cbkcode) {
  return "*如果 HTML 和/或 <A HREF=" + cbkcode +
         " target=_blank>CBK 代码</A> 功能被开放，则意味着你可以在消息使用 HTML 和/或 CBK 代码。"
         "<p>如果你先前已经注册，但忘了密码，<A HREF=cbkmisc.asp?action=lostpw>按这里</A>。</p>";
}

}  // namespace cb
