// The archive jump menu of the forum index: built once from the archive table and cached in the
// application value "ArchiveList" ("NO" when there is no archive) until archives change.
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

std::string Corkboard::ArchiveJumpMenu(Connection& con) {
  const std::string cached = Application_().Get("ArchiveList").Str();
  if (cached == "NO") return "";
  if (!cached.empty()) return cached;

  std::unique_ptr<Recordset> rs = con.Execute("select * from archive order by archiveid");
  if (rs->Eof()) {
    Application_().Set("ArchiveList", Variant("NO"));
    return "";
  }
  const std::string pad = "&nbsp;&nbsp;&nbsp;&nbsp;";
  std::string menu = "<form method=get action=jump.asp><table width=" + S().TableWidth + ">" +
                     "<tr><td align=right><b>归档：</b>&nbsp;" +
                     "<select name=Jumpto class=smallsel>" +
                     "<option value=default.asp>请选择一个档案进入";
  for (; !rs->Eof(); rs->MoveNext()) {
    // Archive names are moderators' text: shown as text.
    menu += "<option value=\"archivelist.asp?archiveid=" + rs->Fields("archiveid").Str() + "\">" +
            pad + HtmlSafe(rs->Fields("archivename").Str()) + pad;
  }
  menu +=
      "</select>&nbsp;<input type=submit name=go value=GO class=buttonface></td></tr>"
      "<tr><td align=right><b>归档文件</b> 就是我们论坛的精华</td></tr></table></form>";
  Application_().Set("ArchiveList", Variant(menu));
  return menu;
}

}  // namespace cb
