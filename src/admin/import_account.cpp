// account.asp (Admin.ImportAccount): the administrator imports the member files of a CBK 5.4 board
// from a folder of the server. Each account is one insert of its own: it is imported whole or not
// at all. A file that cannot make an account is reported with the reason and skipped; a malformed
// line of an imported account is left out and named in the report.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "admin/admin.h"
#include "admin/cbk_account.h"
#include "frame/procedures.h"
#include "host/static_files.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNotAdministrator =
    "对不起，您没有执行这个操作的权限，只有管理员才可以执行该操作!";

// The ".cgi" files of the folder (extension in any letter case), in name order.
std::vector<fs::path> MemberFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(it->path().extension().string(), ".cgi") && it->is_regular_file(ec)) {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string SkippedNote(const std::vector<int>& lines) {
  if (lines.empty()) return "";
  std::string out = "，已忽略格式错误的第";
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "、" : "") + std::to_string(lines[i]);
  return out + "行";
}

}  // namespace

void Admin::ImportAccount() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("导入CBK账号");
        const Request& req = Request_();
        if (!EqualsNoCase(req.ServerVariables("REQUEST_METHOD").Str(), "POST")) {
          Response_() << "<center><h1>导入CBK账号</h1><FORM ACTION=account.asp  NAME=Authorize "
                         "METHOD=POST><input type=hidden name=action value=ImportAccount><table>"
                         "<tr><td>账号目录：</td><td><input type=text name=dir size=50 "
                         "maxlength=255></td></tr>"
                      << CredentialRows(13)
                      << "</table><p>目录中每个 .cgi 文件是一个用户的账号；相对的目录从论坛的"
                         "数据目录算起。</p><p><input type=submit value=导入账号></p></form>"
                         "</center>";
          return;
        }
        con = OpenConnection_();
        PanelCredentials who = PostedCredentials();
        if (!IsAdministrator(who.name, who.password, *con)) Refuse(kNotAdministrator);
        const Server& server = Server_();
        fs::path folder(Trim(req.Form("dir").Str()));
        if (folder.is_relative()) folder = fs::path(S().DataDir) / folder;
        std::error_code ec;
        if (req.Form("dir").Str().empty() || !fs::is_directory(folder, ec)) {
          Refuse("找不到账号目录 " + server.HTMLEncode(req.Form("dir").Str()));
        }

        std::string succeeded, failed;
        long count = 0;
        for (const fs::path& file : MemberFiles(folder)) {
          const std::string file_name = file.filename().string();
          std::optional<std::string> bytes = SiteFolder::ReadFile(file);
          CbkAccount account;
          if (bytes) {
            account = ReadCbkAccount(*bytes);
          } else {
            account.refusal = "无法读取文件";
          }
          const std::string entry =
              server.HTMLEncode(account.username) + "(" + server.HTMLEncode(file_name) + ")";
          if (!account.refusal.empty()) {
            failed += entry + "：" + account.refusal + "<br>";
            continue;
          }
          try {
            con->Execute(CbkInsertSql(account));
          } catch (const ScriptError&) {
            // Most often the name is taken already.
            failed += entry + "<br>";
            continue;
          }
          ++count;
          succeeded += entry + SkippedNote(account.skipped_lines) + "<br>";
        }
        Response_() << "<br><br><center><h1>迁移报告</h1></center><p>成功迁移账号共"
                    << std::to_string(count) << "人<br><b>成功账号:</b>" << succeeded
                    << "<hr size=1><br>失败账号:" << failed << "<hr size=1>迁移日期："
                    << Now().GeneralText();
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
