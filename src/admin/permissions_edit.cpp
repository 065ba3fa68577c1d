// member.asp's member form: the administrator edits a member's name, nickname, picture and upload
// folder. A new name is checked like a registered one and written to every table that names the
// member, in one transaction.
#include <memory>

#include "admin/admin.h"
#include "admin/member_footprint.h"
#include "admin/permissions.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

bool IsSafeUploadDir(const std::string& dir) {
  if (dir.empty()) return true;
  if (dir.front() == '/' || dir.front() == '\\' || dir.find(':') != std::string::npos) {
    return false;
  }
  size_t start = 0;
  while (start <= dir.size()) {
    size_t end = dir.find_first_of("/\\", start);
    if (end == std::string::npos) end = dir.size();
    if (dir.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

void Admin::Permissions_getbio4admin(Connection& con) {
  auto rs = con.Execute("select * from register where username='" +
                        SqlQuote(Request_()("username")) + "'");
  if (rs->Eof()) Refuse("对不起，该用户不存在！");
  const Server& server = Server_();
  const std::string name = rs->Fields("username").Str();
  Response_() << "<center><h1>重 新 设 置 用 户</h1><FORM ACTION=member.asp METHOD=POST "
                 "NAME=THEFORM><p>超级管理员身份确认：</p><table>"
              << CredentialRows(15)
              << "</table><table border=1 cellspacing=0 cellpadding=4><tr><td colspan=2 "
                 "align=center><b>修改用户信息</b></td></tr><tr><td>用户名：</td><td><INPUT "
                 "TYPE=TEXT NAME=NewUserName SIZE=25 MAXLENGTH=25 VALUE=\""
              << server.HTMLEncode(name) << "\"></td></tr><tr><td>密码：</td><td><font color=red>"
              << server.HTMLEncode(rs->Fields("password").Str())
              << "</font></td></tr><tr><td>昵称：</td><td><INPUT TYPE=TEXT NAME=nickname "
                 "SIZE=25 VALUE=\""
              << server.HTMLEncode(rs->Fields("nickname").Str())
              << "\"></td></tr><tr><td>头像：</td><td><INPUT TYPE=TEXT NAME=icon SIZE=25 "
                 "VALUE=\""
              << server.HTMLEncode(rs->Fields("icon").Str())
              << "\"> 例如 icon/文件名</td></tr><tr><td>上传目录：</td><td><INPUT TYPE=TEXT "
                 "NAME=uploaddir SIZE=25 VALUE=\""
              << server.HTMLEncode(rs->Fields("uploaddir").Str())
              << "\"></td></tr></table><input type=hidden name=action value=submitedit><input "
                 "type=hidden name=oldUserName value=\""
              << server.HTMLEncode(name)
              << "\"><p><input type=submit value='重 新 设 置 此 用 户'></p></form></center>";
}

void Admin::Permissions_SubmitEdit(Connection& con) {
  const Request& req = Request_();
  std::string new_name = req.Form("newusername").Str();
  const std::string typed_old = req.Form("oldusername").Str();
  const std::string uploaddir = req.Form("uploaddir").Str();
  auto member =
      con.Execute("select username from register where username='" + SqlQuote(typed_old) + "'");
  if (member->Eof()) Refuse("对不起，该用户不存在！");
  const std::string old_name = member->Fields(0).Str();
  member->Close();

  const bool renamed = new_name != old_name;
  bool valid_name = true;
  bool taken = false;
  if (renamed) {
    valid_name = CheckUserName(new_name, 25);
    // A change of letter case only is the same member.
    taken =
        valid_name && !EqualsNoCase(new_name, old_name) &&
        !con.Execute("select * from register where username='" + SqlQuote(new_name) + "'")->Eof();
  }
  const std::string taken_message =
      "用户名称" + Server_().HTMLEncode(new_name) + "已经存在，请选择其他名称!";
  if (const char* refusal = FirstRefusal({
          {!valid_name, "用户名称只能由字母、数字和汉字组成，最多25个字符！"},
          {taken, taken_message.c_str()},
          {!IsSafeUploadDir(uploaddir), "上传目录不合法！"},
      })) {
    Refuse(refusal);
  }

  con.BeginTrans();
  if (renamed) RenameMember(con, old_name, new_name);
  con.Execute("update register set icon='" + SqlQuote(req.Form("icon")) + "',nickname='" +
              SqlQuote(req.Form("nickname")) + "',uploaddir='" + SqlQuote(uploaddir) +
              "' where username='" + SqlQuote(new_name) + "'");
  con.CommitTrans();
  // The administrator who renamed himself keeps his control-panel sign-in.
  if (renamed && EqualsNoCase(Session_().Get("UserNamecp").Str(), old_name)) {
    Session_().Set("UserNamecp", Variant(new_name));
  }
  Response_() << "<br><br><center><p><h3>用户资料更新结束，重新进入用户权限设置</b></p></center>";
}

}  // namespace cb
