// admin/pm.asp, the page around Admin.PM: the mass-message form and the answer to it.
#include "admin/admin.h"
#include "host/router.h"
#include "runtime/convert.h"

namespace cb {

namespace {

constexpr const char* kAdminPmForm =
    "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=gb2312\">"
    "<title>群发短消息</title></head><body><h3>给所有用户或版主发送短消息</h3>"
    "<form action=pm.asp method=post><table>"
    "<tr><td>管理员用户名：</td><td><input type=text name=UserName size=25 maxlength=25></td></tr>"
    "<tr><td>管理员密码：</td><td><input type=password name=Password size=13 maxlength=13></td>"
    "</tr><tr><td>发送给：</td><td><input type=radio name=option value=allmember checked>所有用户"
    " <input type=radio name=option value=moderater>所有版主</td></tr>"
    "<tr><td>标题：</td><td><input type=text name=Subject size=40 maxlength=100></td></tr>"
    "<tr><td>内容：</td><td><textarea name=message rows=8 cols=50></textarea></td></tr>"
    "</table><input type=submit value=发送></form><p><a href=./>返回管理首页</a></p></body></html>";

}  // namespace

// admin/pm.asp: the form on a GET; on a POST, Admin.PM's answer ("" is success).
void AdminPmPage(ScriptingContext& ctx) {
  if (!EqualsNoCase(ctx.request().ServerVariables("REQUEST_METHOD").Str(), "POST")) {
    ctx.response().Write(kAdminPmForm);
    return;
  }
  WithPage<Admin>(ctx, [&](Admin& page) {
    std::string failure = page.PM();
    if (failure.empty()) {
      ctx.response().Clear();
      ctx.response().Write(
          "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=gb2312\">"
          "<title>群发短消息</title></head><body><p>短消息已经发送。</p>"
          "<p><a href=./>返回管理首页</a></p></body></html>");
    } else {
      page.ErrorForm(Variant(failure));
    }
  });
}

}  // namespace cb
