// The forum jump menu (JumpTo, cached in the application as "ForumAndArchiveList") and the
// message page with a jump menu built fresh with the current forum or archive selected.
#include "frame/corkboard.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kMenuCacheKey = "ForumAndArchiveList";
constexpr const char* kSelectOpen = "<p><b>跳转到: </b><select name=jumpTo size=1 class=smallSel>";
constexpr const char* kIndent = "\">&nbsp;&nbsp;&nbsp;&nbsp;";

// What a menu marks as selected while it is built: nothing (the cached menu), a forum by name,
// or an archive by number.
struct Selection {
  enum Kind { kNone, kForum, kArchive } kind = kNone;
  std::string key;
};

// Forum options grouped under catalog headers, in catalog order.
std::string ForumOptions(Connection& con, const Server& server, const Selection& sel) {
  std::string out;
  auto rs = con.Execute("Select Catalog,ForumName from [Forum] order by Catalog,rowid");
  bool first = true;
  std::string previous;
  for (; !rs->Eof(); rs->MoveNext()) {
    const std::string catalog = rs->Fields("Catalog").Str();
    if (first || catalog != previous) {
      out += "<option value=\"default.asp\">--- " + HtmlSafe(catalog) + " ---";
    }
    first = false;
    previous = catalog;
    const std::string name = rs->Fields("ForumName").Str();
    const bool selected = sel.kind == Selection::kForum && name == sel.key;
    out += selected ? "<option selected value=\"list.asp?GroupName="
                    : "<option value=\"list.asp?GroupName=";
    out += server.URLEncode(name) + kIndent + HtmlSafe(name);
  }
  return out;
}

// Archive options under their header, when there are archives. In archive mode every option
// carries the selection slot ("selected" or a second space).
std::string ArchiveOptions(Connection& con, const Selection& sel) {
  std::string out;
  auto rs = con.Execute("select * from archive order by archiveid");
  if (rs->Eof()) return out;
  out += "<option value=default.asp>--- 归档列表 ---";
  for (; !rs->Eof(); rs->MoveNext()) {
    const Variant id = rs->Fields("ArchiveId");
    if (sel.kind != Selection::kArchive) {
      out += "<option value=\"archivelist.asp?ArchiveID=";
    } else if (id.EqualsText(sel.key)) {
      out += "<option selected value=\"archivelist.asp?ArchiveID=";
    } else {
      out += "<option  value=\"archivelist.asp?ArchiveID=";
    }
    out += id.Str() + kIndent + HtmlSafe(rs->Fields("ArchiveName").Str());
  }
  return out;
}

std::string BuildJumpMenu(Connection& con, const Server& server, const std::string& table_width) {
  return "<table width=" + table_width +
         "><form name=jump action=jump.asp method=get><tr><td align=right valign=middle>" +
         kSelectOpen + ForumOptions(con, server, {}) + ArchiveOptions(con, {}) +
         "</select><input type=submit name=go value=GO class=buttonface></td></tr></form></table>";
}

}  // namespace

std::string Corkboard::JumpTo(Connection& con, const Variant& Forum, bool isArchive) {
  std::string menu = Application_().Get(kMenuCacheKey).Str();
  if (menu.empty()) {
    // Built without the application lock: two pages building at once store the same text.
    menu = BuildJumpMenu(con, Server_(), S().TableWidth);
    Application_().Set(kMenuCacheKey, Variant(menu));
  }
  const std::string forum = Forum.Str();
  if (isArchive) {
    return ReplaceNoCase(menu, "\"archivelist.asp?ArchiveID=" + forum + "\"",
                         "\"archivelist.asp?archiveid=" + forum + "\" selected ");
  }
  const std::string encoded = Server_().URLEncode(forum);
  return ReplaceNoCase(menu, "\"list.asp?groupname=" + encoded + "\"",
                       "\"list.asp?groupname=" + encoded + "\" selected ");
}

void Corkboard::MessageWithJumpTo(Connection& con, const std::string& forumname,
                                  const std::string& Message, bool isArchive) {
  Response_().Clear();
  Response_() << WritePageHead(S(), S().BBName) << "<table border=0 width=" << S().TableWidth
              << " align=center><tr><td><p>" << S().Logo << "</p></td></tr><tr "
              << S().AltColumnColor1 << "><td><p><b>" << Message << "</b><br>";
  const Selection sel{isArchive ? Selection::kArchive : Selection::kForum, forumname};
  Response_() << "<table width=100% border=0><tr><td  valign=middle><form name=jump "
                 "action=jump.asp method=get>"
              << kSelectOpen << ForumOptions(con, Server_(), sel) << ArchiveOptions(con, sel)
              << "</select><input type=submit name=go value=GO class=buttonface></form>"
                 "</td></tr></table>";
  Response_() << "</td></tr></table>";
}

}  // namespace cb
