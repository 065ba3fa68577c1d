// Post rows of the thread view and the archived-topic view.
#include "browse/post_renderer.h"

#include <charconv>

#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "host/context.h"
#include "markup/markup.h"
#include "runtime/convert.h"
#include "store/recordset.h"

namespace cb {

namespace {

bool Flag(const Variant& v) { return !v.IsNull() && !v.IsEmpty() && v.CBool(); }
bool Blank(const Variant& v) { return v.IsNull() || v.Str().empty(); }

std::string IconImage(const char* image, const std::string& alt) {
  return std::string("<img src=images/") + image + " alt=\"" + alt + "\" border=0 align=absmiddle>";
}

std::string IconLink(const std::string& href, const char* image, const std::string& alt,
                     bool new_window = false) {
  return "<a href=\"" + href + "\"" + (new_window ? " target=_blank" : "") + ">" +
         IconImage(image, alt) + "</a>";
}

}  // namespace

struct PostRenderer::Post {
  explicit Post(const Recordset& rs)
      : postid(rs("postid").Str()),
        is_topic(rs("parentid").IsNull()),
        name(rs("UserName").Str()),
        shown_name(HtmlSafe(name)),
        row(rs) {}
  std::string postid;
  bool is_topic;
  std::string name;        // as stored
  std::string shown_name;  // as written into the page
  const Recordset& row;
};

std::string HomePageAddress(const std::string& homepage) {
  const std::string lower = ToLower(homepage);
  if (homepage.empty() || lower == "http:///" || lower == "http://") return "";
  // A value that carries "http://" somewhere but does not start with it gets the prefix too, so
  // that no other scheme can hide behind it.
  if (lower.rfind("http://", 0) == 0) return homepage;
  return "http://" + homepage;
}

const char* const kWinOpenScript =
    "<script language=javascript>\r\n"
    "function winopen(icqwindow) {\r\n"
    "  window.open(icqwindow, 'icqwindow', "
    "'toolbar=no,location=no,menubar=no,scrollbars=yes,width=450,height=250');\r\n"
    "}\r\n"
    "</script>";

std::string PostsTableStart(const Settings& s, const Server& server, const std::string& subject) {
  return s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
         s.TableColorStrip + "><td width=18% nowrap><font color=" + s.TableStripTextColor +
         "><b>发表人</b></font></td><td><font color=" + s.TableStripTextColor + "><b>主题:</b> " +
         server.HTMLEncode(subject) + "</font></td></tr>";
}

std::string ThreadPageLinks(const std::string& address, int page, int page_count) {
  if (page_count <= 1) return "";
  // A thread of 10,000 replies has a thousand pages: one string, sized once, no temporaries.
  std::string html;
  html.reserve(64 + static_cast<size_t>(page_count) * (address.size() + 32));
  char num[16];
  const auto number = [&](int n) {
    return std::string_view(num,
                            static_cast<size_t>(std::to_chars(num, num + sizeof num, n).ptr - num));
  };
  html.append("这个话题共有").append(number(page_count)).append("页：");
  for (int n = 1; n <= page_count; ++n) {
    const std::string_view text = number(n);
    if (n == page) {
      html.append("<font color=darkgray>").append(text).append("</font>&nbsp;");
    } else {
      html.append("<a href=")
          .append(address)
          .append(text)
          .append(">")
          .append(text)
          .append("</a>&nbsp;");
    }
  }
  return html;
}

std::string NeighbourTopicLinks(const Server& server, const std::string& forum,
                                const std::string& id) {
  const std::string walk =
      "newsDetail.asp?action=findthread&Forum=" + server.URLEncode(forum) + "&go=";
  return "<a href=" + walk + "newer&id=" + id + ">上一贴</a>&nbsp;|&nbsp;<a href=" + walk +
         "older&id=" + id + ">下一贴</a>";
}

std::string PostRenderer::Row(const Recordset& rs, int row_number) const {
  const Post p(rs);
  return "<tr " + (row_number % 2 == 0 ? s_.AltColumnColor1 : s_.AltColumnColor2) + ">" +
         AuthorCell(p) + PostCell(p) + "</tr>";
}

std::string PostRenderer::AuthorCell(const Post& p) const {
  const Recordset& rs = p.row;
  const Variant postcount = rs("Postcount");
  const std::string count = postcount.IsNull() ? "0" : postcount.Str();
  std::string icons, title;
  UserTitle(s_, rs("userstatus"), postcount.IsNull() ? Variant(int32_t{0}) : postcount, icons,
            title);
  std::string html = "<td valign=top width=18% nowrap><b>" + p.shown_name + "</b><br>";
  const Variant avatar = rs("icon");
  html += Blank(avatar)
              ? icons + "<br>"
              : "<img src=" + UnquotedAttribute(avatar.Str(), "./_-:%~?&=+,") + " vspace=5><br>";
  const Variant nickname = rs("nickname");
  html += "<b>" + (Blank(nickname) ? title : HtmlSafe(nickname.Str())) + "</b><br>";
  html += "发贴：" + count + "<br>";
  html += "来自：" + HtmlSafe(rs("location").Str()) + "<br>";
  const char* label = archive() ? "资格：" : "注册：";
  const Variant signdate = rs("signDate");
  html += signdate.IsNull() || signdate.IsEmpty()
              ? std::string(label) + "不详<br>"
              : std::string(label) + signdate.CDate().Ymd() + "<br>";
  return html + "</td>";
}

std::string PostRenderer::Body(const Post& p) const {
  const Recordset& rs = p.row;
  std::string html;
  const std::string message = rs("message").Str();
  if (!message.empty()) {
    std::string converted = ToHtml(server_.HTMLEncode(message));
    if (!archive() && Flag(rs("smiles"))) converted = SmiliesToHtml(converted);
    html += converted;
  }
  const Variant history = rs("EditHistory");
  if (!history.IsNull()) {
    // Edit notes are written by the board itself (names and times), markup included.
    html += "<div align=right><p align=right>" + history.Str() + "</p></div>";
  }
  const std::string signature = rs("signature").Str();
  if (Flag(rs("usesign")) && !signature.empty()) {
    html += "<p><hr>" + ToHtml(server_.HTMLEncode(signature));
  }
  return html;
}

std::string PostRenderer::PostCell(const Post& p) const {
  const std::string head = "<img src=icon/icon" + p.row("posticon").Str() + ".gif> 发表于 " +
                           FormatPostTime(s_, p.row("PostTime"));
  std::string html = "<td valign=top>";
  if (s_.BBSTYLE == "CLUB") {
    html += "<table width=100% border=0 cellspacing=0 cellpadding=0><tr><td>" + head +
            "</td><td align=right>" + MessengerIcons(p) + AddressIcon(p) +
            "</td></tr></table><hr>" + Body(p) + "<hr>" + ProfileIcon(p) + EmailIcon(p) +
            HomePageIcon(p) + ActionIcons(p);
  } else {
    html += head + "&nbsp;&nbsp;" + ProfileIcon(p) + EmailIcon(p) + HomePageIcon(p) +
            MessengerIcons(p) + ActionIcons(p) + AddressIcon(p) + "<hr>" + Body(p);
  }
  return html + "</td>";
}

std::string PostRenderer::ProfileIcon(const Post& p) const {
  return IconLink("viewuser.asp?username=" + server_.URLEncode(p.name), "profile.gif",
                  "按此观看" + p.shown_name + "的个人资料", true);
}

std::string PostRenderer::EmailIcon(const Post& p) const {
  const Variant email = p.row("email");
  if (email.IsNull()) return "";
  if (!Flag(p.row("emailview"))) return IconImage("email.gif", "该用户不允许显示它的电子邮件");
  return IconLink("mailto:" + HtmlSafe(email.Str()), "email.gif", "按此发邮件给" + p.shown_name);
}

std::string PostRenderer::HomePageIcon(const Post& p) const {
  const std::string address = HomePageAddress(p.row("homepage").Str());
  if (address.empty()) return "";
  return IconLink(HtmlSafe(address), "home.gif", "访问" + p.shown_name + "的主页", true);
}

std::string PostRenderer::MessengerIcons(const Post& p) const {
  std::string html;
  const std::string icq = p.row("icq").Str();
  if (!icq.empty()) {
    // The number sits in a script string inside a script address: escaped for the string, so
    // that neither the address's percent-decoding nor the attribute can end it.
    html += "<a href=\"javascript:winopen('cbkmisc.asp?action=icqmessage&UIN=" +
            ScriptStringInAddress(server_.URLEncode(icq)) + "')\">" +
            IconImage("icq.gif", p.shown_name + "的ICQ号码：" + HtmlSafe(icq)) + "</a>";
  }
  const std::string oicq = p.row("oicq").Str();
  if (!oicq.empty()) html += IconImage("oicq.gif", p.shown_name + "的oicq是" + HtmlSafe(oicq));
  return html;
}

std::string PostRenderer::AddressIcon(const Post& p) const {
  if (archive()) return "";
  return IconLink(
      "cbkmisc.asp?forum=" + server_.URLEncode(t_.forum) + "&action=getip&topic=" + p.postid,
      "ip.gif", "管理员查看" + p.shown_name + "的IP");
}

std::string PostRenderer::ActionIcons(const Post& p) const {
  const std::string forum = server_.URLEncode(t_.forum);
  const std::string subject = server_.URLEncode(t_.subject);
  const std::string name = server_.URLEncode(p.name);
  std::string html;
  if (archive()) {
    html += IconLink("pm.asp?action=newpm&recipient=" + name, "message.gif",
                     "发送悄悄话给" + p.shown_name);
    html += IconLink("search.asp?action=searchuser&username=" + name, "find.gif",
                     "搜索" + p.shown_name + "的所有贴子");
    html += IconLink("posting.asp?Forum=" + t_.archive_id + "&Topic=" + p.postid +
                         "&TopicSubject=" + subject + "&action=editarchive",
                     "edit.gif", "编辑/删除贴子");
    return html;
  }
  if (p.is_topic) {
    html += IconLink("favor.asp?id=" + p.postid + "&GroupName=" + forum + "&Subject=" + subject,
                     "favor.gif", "把本贴加入收藏夹");
  }
  html += IconLink("pm.asp?action=newPM&recipient=" + name + "&subject=" + subject, "message.gif",
                   "发送悄悄话给" + p.shown_name);
  html += IconLink("search.asp?action=searchuser&username=" + name, "find.gif",
                   "搜索" + p.shown_name + "的所有贴子");
  html += IconLink("posting.asp?Forum=" + forum + "&Topic=" + p.postid +
                       "&TopicSubject=" + subject + "&action=editpost",
                   "edit.gif", "编辑/删除贴子");
  html += IconLink("posting.asp?quotenum=" + p.postid + "&action=replywquote&forum=" + forum +
                       "&topic=" + t_.topic_id + "&TopicSubject=" + subject,
                   "quote.gif", "引用这个贴子回复");
  html += IconLink("posting.asp?action=copypost&topic=" + p.postid, "copy.gif", "复制");
  html += IconLink("download.asp?topic=" + p.postid, "pack.gif", "将本贴子内容通过email打包下载");
  return html;
}

}  // namespace cb
