// One archived topic with its replies (archivecontent.asp), built like the thread view: ten posts
// a page, the archive in the breadcrumb, the read-only notice with the forum the topic came from,
// the archive's management links and the jump menu with the archive selected. Writes nothing.
#include <memory>
#include <optional>

#include "archives/archive_ops.h"
#include "archives/archive_rules.h"
#include "browse/post_renderer.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr int kPostsPerPage = 10;

// The pieces of the page around the posts. Texts are kept as stored; each is encoded where it
// is written.
struct ArchivedThreadWriter {
  const Settings& s;
  const Server& server;
  std::string id;            // the topic's postid
  std::string forum;         // the forum it came from
  std::string subject;       // its subject
  std::string archive_id;    // the archive holding it
  std::string archive_name;  // that archive's name
  int page = 1;
  int page_count = 0;

  std::string Heading() const;
  std::string ThreadBar() const;
  std::string ManagementLinks() const;
};

std::string ArchivedThreadWriter::Heading() const {
  const std::string messenger =
      "论坛信使：<img src=images/cbkfriendminiicon.gif align=absmiddle> "
      "<a href=cbkmisc.asp?action=sendthread&Subject=" +
      server.URLEncode(subject) + ">发送本页给你的朋友！</a>";
  if (s.BBSTYLE == "CBK") {
    std::string html =
        "<table border=0 width=" + s.TableWidth + "><tr><td valign=top>" + s.Logo + "<br>" +
        messenger + "</td><td valign=top>" +
        "<img src=images/open.gif>&nbsp;<a href=default.asp title=\"返回讨论区总页.\">" + s.BBName +
        "</a><br><img src=images/tline.gif><img src=images/open.gif>&nbsp;"
        "<a href=archivelist.asp?archiveid=" +
        archive_id + ">" + HtmlSafe(archive_name) +
        "</a><br><img src=images/tline3.gif><img src=images/open.gif>&nbsp;" +
        server.HTMLEncode(subject);
    if (page_count >= 2) html += " (页 " + std::to_string(page) + ")";
    return html + "<p class=smallFont>" + NavBarLinks(s) + "</p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td colspan=2 align=center>" + s.Logo +
           "</td></tr><tr><td colspan=2 align=right>" + NavBarLinks(s) +
           "</td></tr><tr><td colspan=2 valign=bottom>" + messenger + "</td></tr></table>";
  }
  return "";
}

std::string ArchivedThreadWriter::ThreadBar() const {
  std::string html = "<table border=0 width=" + s.TableWidth +
                     "><tr><td colspan=2>注意：这是一个归档话题。它是只读的。　<BR>"
                     "此话题先前所在的论坛：" +
                     HtmlSafe(forum) + "</td></tr><tr><td>";
  return html + ThreadPageLinks("archivecontent.asp?id=" + id + "&page=", page, page_count) +
         "</td><td align=right nowrap>" + NeighbourTopicLinks(server, forum, id) +
         "</td></tr></table>";
}

std::string ArchivedThreadWriter::ManagementLinks() const {
  return "<table border=0 width=" + s.TableWidth +
         "><tr><td align=center>这是个归档话题，你不能回复！</td></tr><tr><td "
         "align=right><b>管理选项：</b><a href=archive.asp?action=transferarchive&topic=" +
         id + ">移动归档话题</a> | <a href=posting.asp?action=deletearchive&topic=" + id +
         ">删除归档话题</a> | <a href=archive.asp?action=restorearchive&topic=" + id +
         "&archiveid=" + archive_id + ">恢复到论坛</a></td></tr></table>";
}

}  // namespace

void Corkboard::ArchiveContent() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        RecordVisit("查看归档文件");
        const Settings& s = S();
        const Request& req = Request_();
        const Variant id_value = req("id");
        if (!ToLong(id_value)) Refuse("参数错误！");
        const int32_t id = id_value.CLng();
        const std::optional<int16_t> asked = ArchivePageNumber(req("page"));
        if (!asked) Refuse("参数错误！");
        int16_t page = *asked;

        con = OpenConnection_();
        // A topic archived into several archives is shown from one of them: the one the address
        // names, else the first.
        const Variant wanted = req("ArchiveID");
        const int32_t archive = ArchiveHolding(*con, id, ToLong(wanted) ? wanted.CLng() : 0);
        if (archive == 0) Refuse("没有该主题！");
        const std::string ids = std::to_string(id);
        rs = std::make_unique<Recordset>();
        rs->SetCacheSize(kPostsPerPage);
        rs->Open(
            "Select archivelist.*,register.location,register.status as "
            "UserStatus,register.oicq,archive.archivename,register.email,register.emailview,"
            "register.postcount,icq,url as "
            "homepage,signature,Register.signdate,Register.nickname,Register.icon,archivelist.icon "
            "as posticon from archivelist left outer join Register on "
            "archivelist.username=Register.username inner join archive on "
            "archivelist.archiveid=archive.archiveid where (postid=" +
                ids + " or parentid=" + ids +
                ") and archivelist.archiveid=" + std::to_string(archive) + " order by postid",
            *con, adOpenStatic, adLockReadOnly);
        if (rs->Eof()) Refuse("没有该主题！");
        if (!rs->Fields("Parentid").IsNull()) Refuse("调用错误!");

        ArchivedThreadWriter w{s,
                               Server_(),
                               ids,
                               rs->Fields("ForumName").Str(),
                               rs->Fields("subject").Str(),
                               rs->Fields("ArchiveID").Str(),
                               rs->Fields("ArchiveName").Str()};
        rs->SetPageSize(kPostsPerPage);
        w.page_count = rs->PageCount();
        if (page > w.page_count) page = static_cast<int16_t>(w.page_count);
        w.page = page;
        rs->SetAbsolutePage(page);

        Response& out = Response_();
        out << WritePageHead(s, Server_().HTMLEncode(w.subject) + " - " + s.BBName);
        out << kWinOpenScript << "<center>" << w.Heading() << w.ThreadBar();
        out << PostsTableStart(s, Server_(), rs->Fields("Subject").Str());
        const ThreadContext thread{ThreadContext::Kind::kArchive, ids, w.forum, w.subject,
                                   w.archive_id};
        const PostRenderer renderer(s, Server_(), thread);
        for (int i = 1; i <= kPostsPerPage && !rs->Eof(); ++i) {
          out << renderer.Row(*rs, i);
          rs->MoveNext();
        }
        rs->Close();
        out << "</table>" << s.TableBorderEnd << w.ThreadBar() << w.ManagementLinks();
        if (s.BBSTYLE == "CBK") out << JumpTo(*con, Variant(w.archive_id), true);
        out << "</center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

}  // namespace cb
