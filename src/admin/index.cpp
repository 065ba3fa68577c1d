// admin/ (the control panel's front page): one link to every tool of the panel. The tools check
// the identity themselves, so the page asks for none.
#include "admin/admin.h"

namespace cb {

namespace {

struct Tool {
  const char* address;
  const char* name;
  const char* what;
};

constexpr Tool kTools[] = {
    {"forum.asp", "论坛设置", "增加、排序、修改和删除论坛，任命版主（超级管理员）"},
    {"edit.asp", "编辑和删除贴子", "编辑或删除消息，按日期或按用户删除话题"},
    {"announce.asp", "公告中心", "在论坛中发布、修改和删除公告"},
    {"member.asp", "用户信息与权限", "查找用户，发表权限，管理员权力，删除和改名（超级管理员）"},
    {"pm.asp", "群发短消息", "给所有用户或所有版主发送短消息（超级管理员）"},
    {"archive.asp", "归档中心", "建立和管理归档"},
    {"misc.asp", "数据维护", "重新统计论坛和用户的计数（超级管理员）"},
    {"analyzer.asp", "发贴统计", "每月发贴数量"},
    {"mail.asp", "邮件群发", "给用户发送电子邮件（超级管理员）"},
    {"account.asp", "导入用户", "导入其它论坛的用户（超级管理员）"},
    {"jscode.asp", "新贴代码", "生成在其它网页中显示最新话题的脚本（超级管理员）"},
    {"upload.asp", "文件上传", "上传文件"},
};

}  // namespace

void Admin::Index() {
  RunPage(
      [&] {
        WritePanelHead("管理中心");
        Response_() << "<center><h1>管 理 中 心</h1><p>只有超级管理员和版主才可以使用这些功能，"
                       "每个功能都会要求你认证身份。</p><table border=1 cellspacing=0 "
                       "cellpadding=4>";
        for (const Tool& tool : kTools) {
          Response_() << "<tr><td><a href=" << tool.address << ">" << tool.name << "</a></td><td>"
                      << tool.what << "</td></tr>";
        }
        Response_() << "</table><p><a href=../default.asp>返回论坛首页</a></p></center>";
      },
      [&] { Response_() << "</body></html>"; });
}

}  // namespace cb
