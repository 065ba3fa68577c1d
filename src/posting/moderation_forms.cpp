// The forms of the editing and moderation pages.
#include "posting/moderation_forms.h"

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "posting/moderation_rules.h"
#include "runtime/convert.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

bool IsPostRequest(const Request& request) {
  return EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST");
}

bool IsTopicParent(const Variant& parentid) { return parentid.IsNull() || parentid.CLng() == 0; }

std::string IdentityRows(const Settings& s, const Request& request, const IdentityLabels& labels) {
  // The cookies are the visitor's own text: kept inside their attributes.
  std::string html = "<tr " + s.AltColumnColor1 + "><td" + std::string(labels.label_cell) + "><b>" +
                     std::string(labels.name) +
                     "</b></td><td><INPUT TYPE=TEXT NAME=UserName SIZE=25 MAXLENGTH=25 value=\"" +
                     HtmlSafe(request.Cookies("UserName").Str()) + "\"></td></tr><tr " +
                     s.AltColumnColor2 + "><td" + std::string(labels.label_cell) + "><b>" +
                     std::string(labels.password) +
                     "</b></td><td><INPUT TYPE=PASSWORD NAME=Password SIZE=13 MAXLENGTH=13 "
                     "value=\"" +
                     HtmlSafe(request.Cookies("Password").Str()) + "\">";
  if (labels.lost_password_link) {
    html += " <a href=cbkmisc.asp?action=lostpw>忘了你的密码？</a>";
  }
  return html + "</td></tr>";
}

std::string HeadingTop(const Settings& s, std::string_view heading) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td align=center><font class=bbtitle color=\"" + s.BBTitleFontColor + "\">" +
           std::string(heading) + "</font></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

std::string EditFormTop(const Settings& s, std::string_view place_label, std::string_view place,
                        std::string_view subject_label, std::string_view subject) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 cellpadding=4 width=" + s.TableWidth + "><tr><td>" + s.Logo +
           "</td><td><B>" + std::string(place_label) + "：<FONT COLOR=#2f2f4f>" +
           std::string(place) + "</FONT><BR>" + std::string(subject_label) +
           "：<FONT COLOR=#2f2f4f>" + std::string(subject) + "</FONT></B></td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

std::string AuthorizeFormText(const Settings& s, const Request& request, const AuthorizeForm& f) {
  std::string html =
      HeadingTop(s, f.heading) + "<FORM ACTION=posting.asp NAME=Authorize METHOD=POST>" +
      f.hidden_fields + "<B>只有管理员或该版的版主才能执行该功能.</B>" + s.TableBorderStart +
      "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
      s.TableColorStrip + "><td colspan=2><font color=" + s.TableStripTextColor + "><b>" +
      f.strip_text + "</b></font></td></tr>";
  if (!f.signed_in)
    html += IdentityRows(s, request, {.name = "您的用户名", .password = "您的口令"});
  return html + "</table>" + s.TableBorderEnd +
         "<p><INPUT TYPE=SUBMIT NAME=Submit VALUE=提交认证 class=buttonface></p></form></CENTER>" +
         s.Copyright;
}

TopicRow LoadTopic(Corkboard& page, Connection& con, const Server& server, int32_t id,
                   PostFacts& f) {
  TopicRow topic;
  topic.id = id;
  auto rs =
      con.Execute("select forumname,subject,parentid from post where postid=" + std::to_string(id));
  f.found = !rs->Eof();
  if (!f.found) return topic;
  topic.forum = rs->Fields("forumname").Str();
  topic.subject = server.HTMLEncode(rs->Fields("subject").Str());
  f.is_topic = IsTopicParent(rs->Fields("parentid"));
  const ForumCheck c = page.CheckForum(con, topic.forum);
  f.admitted = !c || page.Admitted(c);
  return topic;
}

}  // namespace cb
