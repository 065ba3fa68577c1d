// The ignore list: members whose messages the member refuses. IgnoreList shows it,
// AddToIgnoreList adds a member (the message view's link), DeleteIgnoreList takes ticked ones off.
#include <memory>

#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

void PM::IgnoreList() {
  const Settings& s = S();
  Response& out = Response_();
  const Server& server = Server_();
  out << WritePageHead(s, "拒绝列表 - " + s.BBName) << "<center>"
      << MailboxTop(s, kListTitleCell, PmClubHeader()) << "<br><br>"
      << "<form action=pm.asp method=post><input type=hidden name=action value=deleteignoreList>"
      << "<table width=" << s.TableWidth << " cellpadding=4 cellspacing=1 border=0>";
  const std::string font = "<font color=" + s.TableStripTextColor + "><b>";
  out << "<tr " << s.TableColorStrip << "><td width=40>" << font << "取消?</b></font></td><td>"
      << font << "拒绝用户</b></font></td><td>" << font << "加入时间</b></font></td></tr>";
  // The list shows only while the session's password still signs the member in.
  bool can_post = false;
  std::unique_ptr<Recordset> rs;
  if (MemberSignsIn(can_post)) {
    rs = Con().Execute("select * from ignorelist where username='" + SqlQuote(Variant(Member())) +
                       "' order by dateandtime desc");
  }
  if (!rs || rs->Eof()) {
    out << "<tr " << s.AltColumnColor1 << "><td colspan=3>没有被拒绝的用户</td></tr>";
  }
  for (; rs && !rs->Eof(); rs->MoveNext()) {
    const std::string name = rs->Fields("ignoreusername").Str();
    out << "<tr " << s.AltColumnColor1 << "><td><input type=checkbox name=delete value=\""
        << HtmlSafe(name) << "\"></td><td><a href=viewuser.asp?username=" << server.URLEncode(name)
        << ">" << server.HTMLEncode(name) << "</a></td><td>"
        << FormatPostTime(s, rs->Fields("dateandtime")) << "</td></tr>";
  }
  out << "<tr><td colspan=3 align=right><input type=submit value=取消选择的用户 "
         "class=buttonface></td></tr></table></form></center>"
      << s.Copyright << "</body></html>";
}

void PM::AddToIgnoreList() {
  std::unique_ptr<Recordset> rs;
  RunAction([&] {
    const std::string member = Member();
    const std::string name = Trim(Request_()("ignore").Str());
    bool can_post = false;
    if (!MemberSignsIn(can_post)) Refuse(kAccountProblem);
    rs = Con().Execute("select * from register where username='" + SqlQuote(Variant(name)) + "'");
    // The list keeps the name as the member registered it.
    const std::string canonical = rs->Eof() ? "" : rs->Fields("username").Str();
    rs->Close();
    rs = std::make_unique<Recordset>();
    rs->Open("select * from ignorelist where username='" + SqlQuote(Variant(member)) +
                 "' and ignoreusername='" + SqlQuote(Variant(canonical)) + "'",
             Con(), adOpenStatic, adLockOptimistic);
    const IgnoreRefusal refusal = DecideAddIgnore(member, name, canonical, !rs->Eof());
    if (refusal != IgnoreRefusal::kNone) Refuse(IgnoreRefusalMessage(refusal));
    rs->AddNew();
    rs->Set("Username", Variant(member));
    rs->Set("IgnoreUserName", Variant(canonical));
    rs->Update();
    Wait(HtmlSafe(canonical) + "已经被增加到您的拒绝列表", "pm.asp?action=ignorelist", "悄悄话首页",
         2);
  });
  CloseQuietly(rs.get(), nullptr);
}

void PM::DeleteIgnoreList() {
  RunAction([&] {
    const ValueCollection& form = Request_().form();
    const int count = form.Count("delete");
    if (count == 0) Refuse("请选择想取消的成员！");
    bool can_post = false;
    if (!MemberSignsIn(can_post)) Refuse(kAccountProblem);
    const std::string member = SqlQuote(Variant(Member()));
    for (int i = 1; i <= count; ++i) {
      Con().Execute("delete from ignorelist where ignoreusername='" +
                    SqlQuote(form.Item("delete", i)) + "' and username='" + member + "'");
    }
    Wait("您已经从拒绝列表中取消了" + std::to_string(count) + "个成员", "pm.asp?action=ignoreList",
         "悄悄话首页", 2);
  });
}

}  // namespace cb
