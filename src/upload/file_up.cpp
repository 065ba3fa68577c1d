// upload.asp (Admin.FileUp): the upload form, and on a POST the multipart form's own sign-in (a
// moderator or administrator with an upload folder) and its one file saved into his folder.
#include <memory>

#include "admin/admin.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "upload/upload.h"

namespace cb {

namespace {

constexpr const char* kForbiddenExtensions = "js,vbs,dll,asp,exe,cgi,php,jsp,php3";
constexpr double kMaxFileSize = 2097152;  // 2 x 1024 x 1024
constexpr const char* kUploadFailed = "文件上传失败！";

}  // namespace

void Admin::FileUp() {
  std::unique_ptr<Connection> con;
  RunPage(
      [&] {
        WritePanelHead("文件上传");
        if (!EqualsNoCase(Request_().ServerVariables("Request_method").Str(), "POST")) {
          const Server& server = Server_();
          Response_() << "<br><center><h1>文件上传</h1></center>"
                         "<form enctype=\"multipart/form-data\" action=upload.asp method=post "
                         "name=upload><center><table border=0 cellpadding=4><tr><td colspan=2>"
                         "只有版主和管理员才可以上传文件，文件保存在您自己的上传目录中，目录是"
                         "相对于论坛的上传根目录的。上传大文件会导致超时，请尽量上传小文件（最大"
                         "2MB）。扩展名为 js, vbs, dll, asp, exe, cgi, php, jsp, php3 的文件不会"
                         "被保存。</td></tr><tr><td colspan=2><b>要上传文件，您必须通过身份验证！"
                         "</b></td></tr><tr><td>用户名：</td><td><input type=text name=username "
                         "size=25 maxlength=25 value=\""
                      << server.HTMLEncode(Session_().Get("UserNameCP").Str())
                      << "\"></td></tr><tr><td>密码：</td><td><input type=password "
                         "name=password size=13 maxlength=13 value=\""
                      << server.HTMLEncode(Session_().Get("PasswordCP").Str())
                      << "\"></td></tr><tr><td>文件：</td><td><input type=file name=image "
                         "size=40></td></tr></table><p><input type=submit value=上传文件> "
                         "<input type=reset value=重新选择></p></center></form>";
          return;
        }
        Upload upload(Request_());
        upload.ForbiddenExtensions = kForbiddenExtensions;
        upload.MaxFileSize = kMaxFileSize;
        const std::string name = upload.GetTheValue("username");
        const std::string password = upload.GetTheValue("password");

        UploadAccount account;
        SignInGuard guard(Application_(), Request_().ServerVariables("Remote_addr").Str(), name,
                          Now());
        if (!name.empty() && !password.empty() && !guard.Refused()) {
          con = OpenConnection_();
          auto rs = con->Execute("select UploadDir,status from register where username='" +
                                 SqlQuote(name) + "' and password='" + SqlQuote(password) + "'");
          account.found = !rs->Eof();
          if (account.found) {
            account.status = rs->Fields("status").Str();
            account.uploaddir = rs->Fields("uploaddir").Str();
            guard.Succeeded();
          } else {
            guard.Failed();
          }
        }
        if (const char* refusal = UploadRefusal(account)) Refuse(refusal);

        const std::filesystem::path root = UploadRoot(S());
        std::optional<std::filesystem::path> folder;
        if (UploadRootIsApart(root, S().DataDir)) {
          folder = MemberUploadFolder(root, account.uploaddir);
        }
        if (!folder) Refuse(kUploadFailed);
        upload.SavePath = folder->string();
        const std::string file = upload.SaveTheFile("image");
        if (file.empty()) Refuse(kUploadFailed);

        // The message page tells the success too, with the address the file is served at.
        const Server& server = Server_();
        const std::string address =
            "../upload/" +
            EncodePath(folder->lexically_relative(std::filesystem::canonical(root)).string() +
                       "/" + file);
        ErrorForm(Variant("文件 " + server.HTMLEncode(file) + " 已经成功上传到" +
                          server.HTMLEncode(account.uploaddir) + "目录！<br><a href=\"" +
                          address + "\" target=_blank>" + server.HTMLEncode(file) + "</a>"));
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(nullptr, con.get());
}

}  // namespace cb
