// The page frame: head, tops, content-table pieces and the markup-safe text of member values.
#include "frame/page_frame.h"

#include "runtime/convert.h"

namespace cb {

std::string WritePageHead(const Settings& s, std::string_view title) {
  std::string out =
      "<html><head><link rel=stylesheet type=text/css href=DEFAULT.CSS>"
      "<meta HTTP-EQUIV=Expires CONTENT=0>"
      "<meta HTTP-EQUIV=Content-Type content=\"text/html; charset=gb2312\"><title>";
  out += title;
  out += "</title></head><body " + s.PageBackGround + " " + s.BGColor + " > ";
  return out;
}

std::string NavBarLinks(const Settings& s) { return s.NavBar; }

std::string ClubPageTop(const Settings& s) {
  return "<table border=0 width=" + s.TableWidth + "><tr><td align=center>" + s.Logo +
         "</td></tr><tr><td align=right><p>" + NavBarLinks(s) + "</p></td></tr></table>";
}

std::string CbkPageTop(const Settings& s, std::string_view heading) {
  std::string out =
      "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo + "</td><td align=center><b>";
  out += heading;
  out += "</b><br><p align=right>" + NavBarLinks(s) + "</p></td></tr></table>";
  return out;
}

std::string PageTop(const Settings& s, std::string_view heading) {
  if (s.BBSTYLE == "CBK") return CbkPageTop(s, heading);
  if (s.BBSTYLE == "CLUB") return ClubPageTop(s);
  return "";
}

std::string ContentTableStart(const Settings& s) {
  return "<table  cellpadding=4 border=0 cellspacing=1 width=" + s.InnerTableWidth + ">";
}

std::string StripRowStart(const Settings& s) { return "<tr " + s.TableColorStrip + ">"; }

std::string StripFontStart(const Settings& s) {
  return "<FONT   COLOR=" + s.TableStripTextColor + ">";
}

std::string UnquotedAttribute(std::string_view value, std::string_view marks) {
  for (char c : value) {
    if (!IsAsciiAlnum(c) && marks.find(c) == std::string_view::npos) {
      return "\"" + HtmlSafe(value) + "\"";
    }
  }
  return value.empty() ? "\"\"" : std::string(value);
}

std::string HtmlSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '"':
        out += "&quot;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace cb
