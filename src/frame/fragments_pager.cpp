// The pager under paged lists, in the three layouts the PageStyle setting selects.
#include <charconv>

#include "frame/corkboard.h"
#include "frame/fragments.h"

namespace cb {

namespace {

// Appends the pieces of one pager to a single string. Layout 0 writes a link per page (a thousand
// pages make about 76 KB), so room for every page is reserved up front and nothing is built in
// temporaries.
class PagerWriter {
 public:
  PagerWriter(std::string& out, std::string_view script, std::string_view addon, int count)
      : out_(out), script_(script), addon_(addon) {
    constexpr size_t kPerPage = 48;  // the fixed text around one link or option, and its numbers
    out_.reserve(out_.size() + 1024 +
                 (static_cast<size_t>(count) + 4) * (kPerPage + script.size() + addon.size()));
  }

  PagerWriter& Text(std::string_view s) {
    out_.append(s);
    return *this;
  }
  PagerWriter& Num(long n) {
    char buf[24];
    out_.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
    return *this;
  }
  // script + query + n + addon, e.g. "/list.asp?page=3&GroupName=x".
  PagerWriter& Link(std::string_view query, long n) {
    return Text(script_).Text(query).Num(n).Text(addon_);
  }

 private:
  std::string& out_;
  std::string_view script_;
  std::string_view addon_;
};

void NumberedLinks(PagerWriter& w, int page, int count) {
  w.Text("<tr><td align=right><b>Page : </b>");
  for (int n = 1; n <= count; ++n) {
    if (n == page) {
      w.Text("<font color=darkgray>").Num(n).Text("</font>&nbsp;");
    } else {
      w.Text("<a href=").Link("?page=", n).Text(">").Num(n).Text("</a>&nbsp;");
    }
  }
  w.Text("</td></tr>");
}

void PrevNextSelect(PagerWriter& w, int page, int count) {
  constexpr std::string_view kFirstSelect =
      "<select class=smallsel "
      "onchange=\"javascript:location.href=this.options[this.selectedIndex].value\">";
  constexpr std::string_view kOtherSelect =
      "<select class=smallsel "
      "onchange=\"javascript:location.href=(this.options[this.selectedIndex].value)\">";
  w.Text("<tr><td align=right>");
  if (page == 1) {
    w.Text("<b>Prev</b>&nbsp;").Text(kFirstSelect);
    w.Text("<option value=").Link("?Page=", 1).Text(" selected>1");
    for (int n = 2; n <= count; ++n) w.Text("<option value=").Link("?Page=", n).Text(">").Num(n);
    w.Text("</select>&nbsp;<a href=").Link("?Page=", 2).Text("><b>Next</b></a>");
  } else if (page == count) {
    w.Text("<a href=").Link("?Page=", page - 1).Text("><b>Prev</b></a>&nbsp;").Text(kOtherSelect);
    for (int n = 1; n < count; ++n) w.Text("<option value=").Link("?Page=", n).Text(">").Num(n);
    w.Text("<option value=").Link("?Page=", count).Text(" selected>").Num(count);
    w.Text("</select>&nbsp;<b>Next</b>");
  } else {
    w.Text("<a href=").Link("?Page=", page - 1).Text("><b>Prev</b></a>&nbsp;").Text(kOtherSelect);
    for (int n = 1; n <= count; ++n) {
      w.Text("<option value=").Link("?Page=", n).Text(n == page ? " selected>" : " >").Num(n);
    }
    w.Text("</select>&nbsp;<a href=").Link("?Page=", page + 1).Text("><b>Next</b></a>");
  }
  w.Text("</td></tr>");
}

void ChineseWithSummary(PagerWriter& w, int32_t records, int page, int count, int size) {
  w.Text(
      "<tr><td valign=middle nowrap align=right ><span class=smallFont>&gt;&gt; <b><font "
      "color=navy>分页</font></b>");
  const auto first_prev = [&] {
    w.Text("<a href=").Link("?page=", 1).Text(">&nbsp;首页 </a><a href=");
    w.Link("?action=GotoPage&page=", page - 1).Text(">前页</a>");
  };
  if (page == 1) {
    w.Text("<font color=darkgray>&nbsp;首页 前页</font>&nbsp;<a href=").Link("?Page=", page + 1);
    w.Text(">后页 </a><a href=").Link("?action=GotoPage&page=", count).Text(">尾页</a>&nbsp;");
  } else if (page == count) {
    first_prev();
    w.Text("<font color=darkgray>&nbsp;后页 尾页</font>&nbsp;");
  } else {
    first_prev();
    w.Text("<a href=").Link("?page=", page + 1).Text(">&nbsp;后页 </a><a  href=");
    w.Link("?action=GotoPage&page=", count).Text(">尾页</a>&nbsp;");
  }
  w.Text("页次：<b>").Num(page).Text("</b>/<b>").Num(count).Text("</b>页 <b>");
  w.Num(size).Text("</b>个记录/页 ");
  w.Text(
      " 转到 <select name=page "
      "onChange=\"javascript:location.href=this.options[selectedIndex].value\">");
  for (int n = 1; n <= count; ++n) {
    w.Text("<option value=").Link("?page=", n).Text(n == page ? " selected>" : ">").Num(n);
  }
  w.Text("</select>页 共<B>").Num(records).Text("</b>个记录</td></tr>");
}

}  // namespace

std::string PagerText(const Settings& s, std::string_view script, int32_t record_count,
                      int16_t page, int16_t page_count, int16_t page_size, std::string_view addon) {
  if (page_count < 2 || s.PageStyle > 2) return "";
  std::string out;
  PagerWriter w(out, script, addon, page_count);
  w.Text("<table border=0 width=").Text(s.TableWidth).Text(">");
  switch (s.PageStyle) {
    case 0:
      NumberedLinks(w, page, page_count);
      break;
    case 1:
      PrevNextSelect(w, page, page_count);
      break;
    case 2:
      ChineseWithSummary(w, record_count, page, page_count, page_size);
      break;
  }
  w.Text("</table>");
  return out;
}

void Corkboard::PageStyle(int32_t intRecordCount, int16_t intPage, int16_t intPageCount,
                          int16_t intPageSize, const std::string& Addon) {
  Response_() << PagerText(S(), Request_().ServerVariables("script_name").Str(), intRecordCount,
                           intPage, intPageCount, intPageSize, Addon);
}

}  // namespace cb
