// The thread view (newsdetail.asp): one page of a topic and its replies, HotCount posts a page,
// with the heading, the thread bar above and below the posts, moderator tools, posting buttons,
// the walk to the neighbouring topic ("findthread") and the view count.
#include <memory>

#include "browse/post_renderer.h"
#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

constexpr const char* kNoForum =
    "对不起，该论坛不存在，可能是你输错了url或正好管理员刚刚删除了该论坛！";

// The pieces of the page around the posts, from the topic's values.
struct ThreadWriter {
  const Settings& s;
  const Server& server;
  std::string id;       // the topic's postid
  std::string forum;    // the topic's forum
  std::string subject;  // the topic's subject, as stored
  bool open;            // status "open": replies accepted
  bool closed;          // status "close": the lock row and the open-thread tool
  int page;
  int page_count;

  std::string Heading() const;
  std::string Buttons() const;
  std::string ThreadBar() const;
  std::string ModeratorTools() const;
};

}  // namespace

void Corkboard::Detail() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> rs;
  RunPage(
      [&] {
        std::string listed;
        UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), "查看话题内容", listed);
        const Settings& s = S();
        Response& out = Response_();
        const std::string action = ToLower(Request_()("action").Str());
        // Every id reaches SQL as a number, whatever the action.
        const Variant id_value = Request_()("id");
        if (!ToLong(id_value)) Refuse("调用参数错误，请检查！");
        int32_t id = id_value.CLng();

        con = OpenConnection_();
        if (action == "findthread") {
          const std::string forum = Request_()("forum").Str();
          const std::string go = ToLower(Request_()("go").Str());
          if (forum.empty() || (go != "older" && go != "newer")) {
            Refuse("调用参数错误！请联系系统管理员!");
          }
          rs = go == "newer" ? con->Execute("select top 1 postid from post  where forumname='" +
                                            SqlQuote(forum) + "' and postid>" + std::to_string(id) +
                                            " and isnull(parentid,0)=0 order by postid")
                             : con->Execute("select top 1 postid from post where forumname='" +
                                            SqlQuote(forum) + "' and postid<" + std::to_string(id) +
                                            " and isnull(parentid,0)=0 order by postid desc");
          if (rs->Eof()) {
            MessageWithJumpTo(
                *con, forum,
                go == "newer"
                    ? "对不起，没有比该主题更新的贴子了！按浏览器的后退按钮可退回到上一个主题！"
                    : "对不起，没有比该主题更旧的贴子了！按浏览器的后退按钮可退回到上一个主题！");
            SkipToTail();
          }
          id = rs->Fields("postid").CLng();
          rs->Close();
        }

        int16_t page = 1;
        const Variant page_value = Request_()("page");
        if (ToLong(page_value)) page = page_value.CInt();

        const std::string ids = std::to_string(id);
        rs = std::make_unique<Recordset>();
        rs->SetCacheSize(s.HotCount);
        rs->Open(
            "Select post.*,register.oicq,register.location,register.emailview,register.status as "
            "userstatus,register.email,register.postcount,icq,url as "
            "homepage,signature,Register.signdate,Register.nickname,Register.icon,post.icon as "
            "posticon from post left outer join Register on post.username=Register.username "
            "where postid=" +
                ids + " or parentid=" + ids + " order by postid",
            *con, adOpenStatic, adLockReadOnly);
        if (rs->Eof()) Refuse("没有该主题！");
        if (!rs->Fields("Parentid").IsNull()) Refuse("调用错误!");

        ThreadWriter w{s,
                       Server_(),
                       ids,
                       rs->Fields("ForumName").Str(),
                       rs->Fields("subject").Str(),
                       false,
                       false,
                       page,
                       0};
        const std::string status = ToLower(rs->Fields("Status").Str());
        w.open = status == "open";
        w.closed = status == "close";
        rs->SetPageSize(s.HotCount);
        w.page_count = rs->PageCount();
        if (page > w.page_count) page = static_cast<int16_t>(w.page_count);
        w.page = page;
        rs->SetAbsolutePage(page);

        // Nothing of a private topic, not even its subject in the title, before admission.
        if (!CheckForum(*con, w.forum)) Refuse(kNoForum);
        if (!Admitted(w.forum)) {
          out << WritePageHead(s, s.BBName);
          PrivateForum(w.forum);
          SkipToTail();
        }
        out << WritePageHead(s, Server_().HTMLEncode(w.subject) + " - " + s.BBName);
        out << kWinOpenScript << "<center>" << w.Heading() << w.ThreadBar();

        out << PostsTableStart(s, Server_(), rs->Fields("Subject").Str());
        const ThreadContext thread{ThreadContext::Kind::kLive, ids, w.forum, w.subject, ""};
        const PostRenderer renderer(s, Server_(), thread);
        for (int i = 1; i <= s.HotCount && !rs->Eof(); ++i) {
          out << renderer.Row(*rs, i);
          rs->MoveNext();
        }
        rs->Close();
        out << "</table>" << s.TableBorderEnd << w.ThreadBar() << w.ModeratorTools()
            << "<table border=0 width=" << s.TableWidth << "><tr><td align=center>" << w.Buttons()
            << "</td></tr></table>";
        if (s.BBSTYLE == "CBK") out << JumpTo(*con, Variant(w.forum), false);
        con->Execute("Update Post set hits=isnull(hits,0)+1 where postid=" + ids +
                     " or parentid=" + ids);
        out << "</center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(rs.get(), con.get());
}

namespace {

std::string ThreadWriter::Buttons() const {
  std::string html = "<a href=posting.asp?action=newtopic&forum=" + server.URLEncode(forum) +
                     "><img src=\"images/" + s.BBTopic + "\" alt=新开主题 border=0></a>";
  if (open) {
    html += "&nbsp;<a href=posting.asp?action=reply&topic=" + id +
            "&forum=" + server.URLEncode(forum) + "&TopicSubject=" + server.URLEncode(subject) +
            "><img src=\"images/" + s.BBReply + "\" alt=回复该主题 border=0></a>";
  }
  return html;
}

std::string ThreadWriter::Heading() const {
  const std::string forum_link = "list.asp?groupname=" + server.URLEncode(forum);
  const std::string messenger =
      "论坛信使：<img src=images/cbkfriendminiicon.gif align=absmiddle> "
      "<a href=cbkmisc.asp?action=sendthread&Subject=" +
      server.URLEncode(subject) + ">推荐本页给你的朋友！</a>";
  if (s.BBSTYLE == "CBK") {
    std::string html =
        "<table border=0 width=" + s.TableWidth + "><tr><td valign=top>" + s.Logo + "<br>" +
        messenger + "</td><td valign=top>" +
        "<img src=images/open.gif>&nbsp;<a href=default.asp title=\"返回讨论区总页.\">" + s.BBName +
        "</a><br>" +
        "<img src=images/tline.gif><img src=images/open.gif>&nbsp;<a href=" + forum_link + ">" +
        HtmlSafe(forum) + "</a><br>" +
        "<img src=images/tline3.gif><img src=images/open.gif>&nbsp;" + server.HTMLEncode(subject);
    if (page_count >= 2) html += " (页 " + std::to_string(page) + ")";
    return html + "<p align=center>" + Buttons() + "</p><p class=smallFont>" + NavBarLinks(s) +
           "</p></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td colspan=2 align=center>" + s.Logo +
           "</td></tr><tr><td colspan=2 align=right>" + NavBarLinks(s) +
           "</td></tr><tr><td valign=bottom>" + messenger + "</td><td align=right>" + Buttons() +
           "</td></tr></table>";
  }
  return "";
}

std::string ThreadWriter::ThreadBar() const {
  std::string html = "<table border=0 width=" + s.TableWidth + ">";
  if (closed) {
    html +=
        "<tr><td colspan=2><img src=images/lock.gif>该话题已被锁定，不再接受回复&nbsp;</td></tr>";
  }
  return html + "<tr><td>" + ThreadPageLinks("newsdetail.asp?id=" + id + "&page=", page, page_count) +
         "</td><td align=right nowrap>" + NeighbourTopicLinks(server, forum, id) +
         "</td></tr></table>";
}

std::string ThreadWriter::ModeratorTools() const {
  const std::string thread_query = "&topic=" + id + "&topicsubject=" + server.URLEncode(subject) +
                                   "&Forum=" + server.URLEncode(forum);
  std::string html =
      "<table border=0 width=" + s.TableWidth + "><tr><td align=right><b>管理选项：</b>";
  html += closed ? "<a href=Posting.asp?action=OpenThread" + thread_query + ">开放话题</a>"
                 : "<a href=Posting.asp?action=CloseThread" + thread_query + ">关闭话题</a>";
  html += " | <a href=archive.asp?action=transfer&topic=" + id + ">移动/归档</a>";
  html += " | <a href=posting.asp?action=deletepost&topic=" + id + ">删除话题</a>";
  return html + "</td></tr></table>";
}

}  // namespace

}  // namespace cb
