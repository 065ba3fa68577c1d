// The forum existence check that pages run before showing a forum, and the sign-in form of a
// private forum.
#include "frame/board_cache.h"
#include "frame/corkboard.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

const char* const kNoForumMessage =
    "对不起，该论坛不存在，可能是你输错了url或正好管理员刚刚删除了该论坛！";

ForumCheck Corkboard::CheckForum(Connection& con, const std::string& forumname) {
  if (forumname.empty()) return ForumCheck{.name = forumname};
  // Every page of a forum asks: the answer is kept per name until the database changes.
  return *BoardCached<ForumCheck>(con, "CheckForum", forumname, [&](Connection& c) {
    ForumCheck forum{.name = forumname};
    auto rs = c.Execute("select * from forum where forumname='" + SqlQuote(forumname) + "'");
    if (rs->Eof()) return forum;
    forum.exists = true;
    forum.restrict = ToLower(rs->Fields("restrict").Str());
    forum.master = rs->Fields("forummaster").Str();
    if (forum.master.empty()) forum.master = "诚征版主";
    return forum;
  });
}

bool Corkboard::Admitted(const ForumCheck& forum) const {
  return !forum.IsPrivate() || !Session_().Get(forum.name).Str().empty();
}

void Corkboard::PrivateForum(const std::string& forumname) {
  Response& out = Response_();
  out << "<br><br><center><b>加　密　论　坛</b><FORM ACTION=cbkmisc.asp NAME=THEFORM METHOD=POST>"
      << "<table cellpadding=4 cellspacing=1 border=0 width=" << S().TableWidth << "><tr "
      << S().TableColorStrip << "><td colspan=2><FONT color=" << S().TableStripTextColor << ">"
      << "<B>你正打算进入一个私家论坛。请在下面认证你的身份。注意在一个浏览器进程（每个私家论坛，"
         "如果你通过论坛密码进入）这个认证屏幕只要求一次。我们将把你的私家论坛进入权作为 cookie "
         "存放（因此，我们强烈建议你不要在浏览器中关闭 cookie  ！）。</b></font></td></tr>";
  const Variant login = Session_().Get("Login");
  const bool signed_in = IsNumeric(login) && !login.IsEmpty() && login.CDbl() == 1;
  if (!signed_in) {
    // The cookies are the visitor's own text: kept inside their attribute.
    out << "<TR " << S().AltColumnColor1 << "><TD>用户名：</td><td><INPUT TYPE=TEXT "
        << "NAME=UserName  SIZE=20 MAXLENGTH=35 value=\""
        << HtmlSafe(Request_().Cookies("UserName").Str()) << "\"></td></tr><TR "
        << S().AltColumnColor2 << "><TD>用户密码：</td><td><INPUT TYPE=PASSWORD NAME=Password "
        << "SIZE=20 MAXLENGTH=35 value=\"" << HtmlSafe(Request_().Cookies("Password").Str())
        << "\"></td></tr>";
  }
  out << "<tr " << S().AltColumnColor1
      << "><TD colspan=2>如果你不是版主或主持人也没有被给予特殊权限进入此论坛但知道论坛的密码，"
         "你必须在下面输入密码以便进入。</td></tr><TR "
      << S().AltColumnColor2
      << "><TD>本论坛密码：</td><td><INPUT TYPE=PASSWORD NAME=ForumPassword  SIZE=12 "
         "MAXLENGTH=12></td></tr></table>";
  // The address the visitor came with goes back into a form field: kept inside its attribute.
  const std::string url =
      Request_().ServerVariables("script_name").Str() + "?" + Request_().RawQueryString();
  out << "<P><INPUT TYPE=HIDDEN NAME=action VALUE=idcheck><input type=hidden name=url value=\""
      << HtmlSafe(url) << "\"><INPUT TYPE=HIDDEN NAME=forum value=\"" << HtmlSafe(forumname)
      << "\"><INPUT TYPE=SUBMIT NAME=Submit VALUE=这就确认身份 class=buttonface><INPUT TYPE=RESET "
         "NAME=Reset VALUE=清除上面的字段 class=buttonface></CENTER></form><br><br>";
}

}  // namespace cb
