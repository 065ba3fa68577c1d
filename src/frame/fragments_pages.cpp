// The full-page fragments of Corkboard (error page and wait page) and the texts the three classes
// share for them. Each clears what the page wrote before; the caller's tail follows.
#include "frame/corkboard.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"

namespace cb {

std::string WaitText(std::string_view tip, std::string_view url, std::string_view target,
                     uint8_t waittime) {
  const std::string seconds = std::to_string(waittime);
  std::string out = "<br><br><ul><p><FONT COLOR=#000080><B>";
  out.append(tip).append("，您将在").append(seconds).append("秒内被自动转送到").append(target);
  out += "。</b></font></p><P><A HREF=\"";
  out.append(url).append(
      "\"><b>如果你不想再等或浏览器没有自动转移到目的地，请按这里。</b></A></p></ul>"
      "<meta http-equiv=Refresh content=\"");
  out.append(seconds).append("; URL='").append(url).append("'\">");
  return out;
}

std::string CorkboardErrorText(const Settings& s, std::string_view message) {
  std::string out = "<table border=0 width=" + s.TableWidth + " align=center><tr><td><p>" + s.Logo +
                    "</p></td></tr><tr " + s.AltColumnColor1 + "><td><p><b>";
  out.append(message).append("</b></td></tr></table>");
  return out;
}

std::string PmErrorText(const Settings& s, std::string_view message) {
  std::string out = "<table border=0 width=" + s.TableWidth + " align=center><tr><td><p>" + s.Logo +
                    "</p></td></tr><tr><td><p><blockquote><b>";
  out.append(message).append("</b></blockquote></td></tr></table>");
  return out;
}

std::string AdminErrorText(const Settings& s, std::string_view message) {
  std::string out = "<table border=0 width=" + s.TableWidth + " ><tr ><td><br><br><center><p><h3>";
  out.append(message).append("</h3></h3></td></tr></table>");
  return out;
}

void Corkboard::ErrorForm(const Variant& errormessage) {
  Response_().Clear();
  Response_() << WritePageHead(S(), S().BBName) << CorkboardErrorText(S(), errormessage.Str());
}

void Corkboard::Wait(const std::string& tip, const std::string& url, const std::string& target,
                     uint8_t waittime) {
  Response_().Clear();
  Response_() << WritePageHead(S(), S().BBName) << WaitText(tip, url, target, waittime);
}

}  // namespace cb
