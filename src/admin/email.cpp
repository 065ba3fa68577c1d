// mail.asp (Admin.EMail): the administrator mails every member who accepts mass mail, or writes
// their addresses to the mailing-list file in the data folder. The mails go out in the background,
// one per member from the board's sender; action=progress shows how far each mailing has come.
#include <filesystem>
#include <fstream>
#include <memory>

#include <sys/stat.h>

#include "admin/admin.h"
#include "admin/tools_rules.h"
#include "frame/procedures.h"
#include "mail/mass_mail.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoRight = "对不起，你没有权限执行该操作！";

std::vector<std::string> MassMailAddresses(Connection& con) {
  std::vector<std::string> out;
  for (auto rs = con.Execute("select email from register where allowmassmail=1 and "
                             "isnull(email,'')<>''");
       !rs->Eof(); rs->MoveNext()) {
    out.push_back(rs->Fields(0).Str());
  }
  return out;
}

// The list holds members' addresses: readable by the board's user alone.
void WriteMailingList(const std::filesystem::path& file, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << Utf8ToGbk(text);
    out.close();
    if (!out) throw ScriptError(err::kInvalidProcedureCall, "无法写入文件 " + file.string());
  }
  chmod(file.c_str(), 0600);
}

std::string ProgressRow(const Server& server, const MassMailProgress& p) {
  return "<tr><td>" + std::to_string(p.id) + "</td><td>" + server.HTMLEncode(p.subject) +
         "</td><td>" + p.started.GeneralText() + "</td><td>" + std::to_string(p.total) +
         "</td><td>" + std::to_string(p.sent) + "</td><td>" + std::to_string(p.failed) +
         "</td><td>" + (p.finished ? "已完成" : "发送中") + "</td><td>" +
         server.HTMLEncode(p.last_error) + "&nbsp;</td></tr>";
}

}  // namespace

void Admin::EMail() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("给用户发E-MAIL");
        const Request& req = Request_();
        const bool posted = EqualsNoCase(req.ServerVariables("REQUEST_METHOD").Str(), "POST");
        const std::string action = ToLower(req("action").Str());
        if (action == "progress") {
          con = OpenConnection_();
          PanelCredentials who = SessionCredentials();
          if (!IsAdministrator(who.name, who.password, *con)) Refuse(kNoRight);
          Response_() << "<center><h1>邮件发送进度</h1><table border=1 cellspacing=0 "
                         "cellpadding=4><tr><td>编号</td><td>主题</td><td>开始时间</td><td>"
                         "收件人</td><td>已发送</td><td>失败</td><td>状态</td><td>最近的错误"
                         "</td></tr>";
          const std::vector<MassMailProgress> mailings = MassMailQueue::Board().Recent();
          if (mailings.empty()) Response_() << "<tr><td colspan=8>没有邮件群发记录</td></tr>";
          for (const MassMailProgress& p : mailings) Response_() << ProgressRow(Server_(), p);
          Response_() << "</table><p><a href=mail.asp?action=progress>刷新</a></p></center>";
          return;
        }
        if (!posted || action != "mailusers") {
          Response_() << "<center><h1>给 用 户 发 E-MAIL</h1><FORM ACTION='mail.asp' "
                         "METHOD='POST' NAME='THEFORM'><input type=hidden name=action "
                         "value='mailusers'><table>"
                      << CredentialRows(13)
                      << "<tr><td>主题：</td><td><input type=text name=Subject size=30 "
                         "maxlength=90></td></tr><tr><td>内容：</td><td><textarea name=Message "
                         "rows=10 cols=70></textarea></td></tr><tr><td colspan=2><input "
                         "type=checkbox name=createlist value='yes'>不发送邮件，只生成邮件列表"
                         "文件：<input type=radio name=delimit value='comma'>逗号分隔 <input "
                         "type=radio name=delimit value='line' checked>每行一个</td></tr>"
                         "</table><p><input type=submit value='这就给用户发送 Email ！'></p>"
                         "</form><p><a href=mail.asp?action=progress>查看邮件发送进度</a></p>"
                         "</center>";
          return;
        }
        con = OpenConnection_();
        PanelCredentials who = PostedCredentials();
        if (!IsAdministrator(who.name, who.password, *con)) Refuse(kNoRight);
        const Server& server = Server_();
        if (req.Form("createlist").Str() == "yes") {
          const std::filesystem::path folder = std::filesystem::absolute(S().DataDir);
          WriteMailingList(folder / "emaillist.asp",
                           MailingListText(MassMailAddresses(*con), req.Form("delimit").Str()));
          Response_() << "<br><br><center><p><h3>邮件列表文件已被保存到 "
                      << server.HTMLEncode((folder / "emaillist.asp").string())
                      << " 文件中</h3></p></center>";
          return;
        }
        const std::string subject = req.Form("Subject").Str();
        const std::string message = req.Form("Message").Str();
        if (subject.empty() || message.empty()) Refuse("请输入主题和内容！");
        MassMailing mailing{
            .server = S().SmtpServer,
            .data_folder = S().DataDir,
            .from_name = S().BBName,
            .from_address = S().BBEMail,
            .to_name = S().BBName + "注册用户",
            .subject = subject,
            .body = "<html><body>" + message + "<br>" +
                    "<p>---------------------------------<br>" + "欢迎访问<a href=" + S().BBURL +
                    ">" + S().BBName + "</a>" + "<br>",
            .addresses = MassMailAddresses(*con),
        };
        const size_t count = mailing.addresses.size();
        MassMailQueue::Board().Start(std::move(mailing), Now());
        Response_() << "<br><br><center><p><h3>邮件已经送出</h3></p></center><center><p>共 "
                    << std::to_string(count)
                    << " 位用户，邮件正在后台逐一发送。<a href=mail.asp?action=progress>"
                       "查看发送进度</a></p></center>";
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
