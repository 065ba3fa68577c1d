// The thread view (newsdetail.asp): one page of a topic and its replies, HotCount posts a page,
// with the heading, the thread bar above and below the posts, moderator tools, posting buttons,
// the walk to the neighbouring topic ("findthread") and the view count (written behind).
#include "browse/thread_view.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "browse/post_renderer.h"
#include "frame/checks.h"
#include "frame/corkboard.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "frame/view_counts.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

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
  // The posts table: the header with the first shown post's subject, then one page of posts.
  void Posts(Response& out, Recordset& rs) const;
};

}  // namespace

namespace {

bool BadWalk(const ThreadFacts& f) {
  return f.walk && (f.walk_forum.empty() || (f.go != "older" && f.go != "newer"));
}

constexpr Rule<ThreadFacts, ThreadStop> kThreadRules[] = {
    {ThreadStop::kBadId, [](const ThreadFacts& f) { return !f.id_ok; }},
    {ThreadStop::kBadWalk, BadWalk},
    {ThreadStop::kNoNewer,
     [](const ThreadFacts& f) { return f.go == "newer" && KnownFalse(f.neighbour); }},
    {ThreadStop::kNoOlder,
     [](const ThreadFacts& f) { return f.go == "older" && KnownFalse(f.neighbour); }},
    {ThreadStop::kNoTopic, [](const ThreadFacts& f) { return KnownFalse(f.found); }},
    {ThreadStop::kReply, [](const ThreadFacts& f) { return Known(f.reply); }},
    {ThreadStop::kNoForum, [](const ThreadFacts& f) { return KnownFalse(f.forum); }},
    {ThreadStop::kPrivate, [](const ThreadFacts& f) { return KnownFalse(f.admitted); }},
};

// The neighbouring topic of the walk ("newer": the next higher number), or nothing.
std::optional<int32_t> Neighbour(Connection& con, const std::string& forum, const std::string& go,
                                 int32_t id) {
  auto rs = go == "newer" ? con.Execute("select top 1 postid from post  where forumname='" +
                                        SqlQuote(forum) + "' and postid>" + std::to_string(id) +
                                        " and isnull(parentid,0)=0 order by postid")
                          : con.Execute("select top 1 postid from post where forumname='" +
                                        SqlQuote(forum) + "' and postid<" + std::to_string(id) +
                                        " and isnull(parentid,0)=0 order by postid desc");
  if (rs->Eof()) return std::nullopt;
  return rs->Fields("postid").CLng();
}

// The thread's post numbers in order, paged: the page's keys come from the index alone, so a
// page of a long thread reads and joins only its own rows, not every post before it.
std::unique_ptr<Recordset> OpenThreadKeys(Connection& con, const std::string& id) {
  auto keys = std::make_unique<Recordset>();
  keys->Open(
      "select postid from post where postid=" + id + " or parentid=" + id + " order by postid", con,
      adOpenStatic, adLockReadOnly);
  return keys;
}

// The thread's leading post (its topic, or the reply the id names) and the page's posts, in
// order, with their authors' rows: the leading row always comes first, then the page's.
struct ThreadRows {
  std::unique_ptr<Recordset> rs;
  int page = 1;
  int page_count = 0;
};

ThreadRows OpenThreadPage(Connection& con, const Settings& s, Recordset& keys, int16_t page) {
  ThreadRows t;
  const std::string first = keys.Fields("postid").Str();
  keys.SetPageSize(s.HotCount);
  t.page_count = keys.PageCount();
  t.page = std::min<int>(page, t.page_count);
  keys.SetAbsolutePage(t.page);
  std::string list = first;
  for (int i = 0; i < s.HotCount && !keys.Eof(); ++i, keys.MoveNext()) {
    const std::string key = keys.Fields("postid").Str();
    if (key != first) list += "," + key;
  }
  t.rs = std::make_unique<Recordset>();
  t.rs->SetCacheSize(s.HotCount + 1);
  t.rs->Open(
      "Select post.*,register.oicq,register.location,register.emailview,register.status as "
      "userstatus,register.email,register.postcount,icq,url as "
      "homepage,signature,Register.signdate,Register.nickname,Register.icon,post.icon as "
      "posticon from post left outer join Register on post.username=Register.username "
      "where postid in (" +
          list + ") order by postid",
      con, adOpenStatic, adLockReadOnly);
  return t;
}

// The writer of the thread whose leading row rs holds.
ThreadWriter WriterOf(const Settings& s, const Server& server, Recordset& rs, const std::string& id,
                      const ThreadRows& t) {
  const std::string status = ToLower(rs.Fields("Status").Str());
  return ThreadWriter{s,
                      server,
                      id,
                      rs.Fields("ForumName").Str(),
                      rs.Fields("subject").Str(),
                      status == "open",
                      status == "close",
                      t.page,
                      t.page_count};
}

}  // namespace

std::optional<ThreadStop> ThreadRefusal(const ThreadFacts& f) {
  return FirstRefusal(kThreadRules, f);
}

const char* ThreadStopText(ThreadStop stop) {
  switch (stop) {
    case ThreadStop::kBadId:
      return "调用参数错误，请检查！";
    case ThreadStop::kBadWalk:
      return "调用参数错误！请联系系统管理员!";
    case ThreadStop::kNoNewer:
      return "对不起，没有比该主题更新的贴子了！按浏览器的后退按钮可退回到上一个主题！";
    case ThreadStop::kNoOlder:
      return "对不起，没有比该主题更旧的贴子了！按浏览器的后退按钮可退回到上一个主题！";
    case ThreadStop::kNoTopic:
      return "没有该主题！";
    case ThreadStop::kReply:
      return "调用错误!";
    case ThreadStop::kNoForum:
      return kNoForumMessage;
    case ThreadStop::kPrivate:
      break;
  }
  return "";
}

void Corkboard::Detail() {
  std::unique_ptr<Connection> con;
  std::unique_ptr<Recordset> keys, rs;
  ThreadFacts facts;
  const auto stop_if_refused = [&] {
    const std::optional<ThreadStop> stop = ThreadRefusal(facts);
    if (!stop || *stop == ThreadStop::kPrivate) return;  // the page writes the sign-in form
    if (*stop == ThreadStop::kNoNewer || *stop == ThreadStop::kNoOlder) {
      MessageWithJumpTo(*con, facts.walk_forum, ThreadStopText(*stop));
      SkipToTail();
    }
    Refuse(ThreadStopText(*stop));
  };
  RunPage(
      [&] {
        RecordVisit("查看话题内容");
        const Settings& s = S();
        Response& out = Response_();
        // Every id reaches SQL as a number, whatever the action.
        const Variant id_value = Request_()("id");
        facts.id_ok = ToLong(id_value);
        stop_if_refused();
        int32_t id = id_value.CLng();

        con = OpenConnection_();
        if (ToLower(Request_()("action").Str()) == "findthread") {
          facts.walk = true;
          facts.walk_forum = Request_()("forum").Str();
          facts.go = ToLower(Request_()("go").Str());
          stop_if_refused();
          const std::optional<int32_t> next = Neighbour(*con, facts.walk_forum, facts.go, id);
          facts.neighbour = next.has_value();
          stop_if_refused();
          id = *next;
        }

        const int16_t page = PageNumber(Request_()("page"));
        const std::string ids = std::to_string(id);
        keys = OpenThreadKeys(*con, ids);
        ThreadRows thread;
        if (!keys->Eof()) thread = OpenThreadPage(*con, s, *keys, page);
        rs = std::move(thread.rs);
        facts.found = rs && !rs->Eof();
        facts.reply = facts.found.value() && !rs->Fields("Parentid").IsNull();
        stop_if_refused();

        const ThreadWriter w = WriterOf(s, Server_(), *rs, ids, thread);
        if (thread.page > 1) rs->MoveNext();  // the leading row belongs to page 1 only

        // Nothing of a private topic, not even its subject in the title, before admission.
        const ForumCheck forum = CheckForum(*con, w.forum);
        facts.forum = forum.exists;
        facts.admitted = !forum.exists || Admitted(forum);
        stop_if_refused();
        if (!*facts.admitted) {
          out << WritePageHead(s, s.BBName);
          PrivateForum(w.forum);
          SkipToTail();
        }

        const std::string bar = w.ThreadBar();  // above and below the posts
        out << WritePageHead(s, Server_().HTMLEncode(w.subject) + " - " + s.BBName)
            << kWinOpenScript << "<center>" << w.Heading() << bar;
        w.Posts(out, *rs);
        rs->Close();
        out << bar << w.ModeratorTools() << "<table border=0 width=" << s.TableWidth
            << "><tr><td align=center>" << w.Buttons() << "</td></tr></table>";
        if (s.BBSTYLE == "CBK") out << JumpTo(*con, Variant(w.forum), false);
        ViewCounts::Of(s.ConnectionString).Record(id);
        out << "</center>" << s.Copyright;
      },
      [&] { Response_() << "</body></html>"; });
  CloseQuietly(keys.get(), nullptr);
  CloseQuietly(rs.get(), con.get());
}

namespace {

void ThreadWriter::Posts(Response& out, Recordset& rs) const {
  out << PostsTableStart(s, server, rs.Fields("Subject").Str());
  const ThreadContext thread{ThreadContext::Kind::kLive, id, forum, subject, ""};
  const PostRenderer renderer(s, server, thread);
  for (int i = 1; i <= s.HotCount && !rs.Eof(); ++i) {
    out << renderer.Row(rs, i);
    rs.MoveNext();
  }
  out << "</table>" << s.TableBorderEnd;
}

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
  return html + "<tr><td>" +
         ThreadPageLinks("newsdetail.asp?id=" + id + "&page=", page, page_count) +
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
