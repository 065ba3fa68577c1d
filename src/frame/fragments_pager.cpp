// The pager under paged lists, in the three layouts the PageStyle setting selects.
#include "frame/corkboard.h"
#include "frame/fragments.h"

namespace cb {

namespace {

// Builds the links of one pager: every address is script + query + page number + addon.
class Pager {
 public:
  Pager(std::string_view script, std::string_view addon) : script_(script), addon_(addon) {}

  // script + query + n + addon, e.g. "/list.asp?page=3&GroupName=x".
  std::string Link(std::string_view query, long n) const {
    std::string out(script_);
    out.append(query).append(std::to_string(n)).append(addon_);
    return out;
  }

 private:
  std::string_view script_;
  std::string_view addon_;
};

std::string NumberedLinks(const Pager& p, int page, int count) {
  std::string out = "<tr><td align=right><b>Page : </b>";
  for (int n = 1; n <= count; ++n) {
    const std::string num = std::to_string(n);
    if (n == page) {
      out += "<font color=darkgray>" + num + "</font>&nbsp;";
    } else {
      out += "<a href=" + p.Link("?page=", n) + ">" + num + "</a>&nbsp;";
    }
  }
  return out + "</td></tr>";
}

std::string PrevNextSelect(const Pager& p, int page, int count) {
  const std::string kFirstSelect =
      "<select class=smallsel "
      "onchange=\"javascript:location.href=this.options[this.selectedIndex].value\">";
  const std::string kOtherSelect =
      "<select class=smallsel "
      "onchange=\"javascript:location.href=(this.options[this.selectedIndex].value)\">";
  const std::string prev_link = "<a href=" + p.Link("?Page=", page - 1) + "><b>Prev</b></a>";
  std::string out = "<tr><td align=right>";
  if (page == 1) {
    out +=
        "<b>Prev</b>&nbsp;" + kFirstSelect + "<option value=" + p.Link("?Page=", 1) + " selected>1";
    for (int n = 2; n <= count; ++n) {
      out += "<option value=" + p.Link("?Page=", n) + ">" + std::to_string(n);
    }
    out += "</select>&nbsp;<a href=" + p.Link("?Page=", 2) + "><b>Next</b></a>";
  } else if (page == count) {
    out += prev_link + "&nbsp;" + kOtherSelect;
    for (int n = 1; n < count; ++n) {
      out += "<option value=" + p.Link("?Page=", n) + ">" + std::to_string(n);
    }
    out += "<option value=" + p.Link("?Page=", count) + " selected>" + std::to_string(count);
    out += "</select>&nbsp;<b>Next</b>";
  } else {
    out += prev_link + "&nbsp;" + kOtherSelect;
    for (int n = 1; n <= count; ++n) {
      out += "<option value=" + p.Link("?Page=", n) + (n == page ? " selected>" : " >") +
             std::to_string(n);
    }
    out += "</select>&nbsp;<a href=" + p.Link("?Page=", page + 1) + "><b>Next</b></a>";
  }
  return out + "</td></tr>";
}

std::string ChineseWithSummary(const Pager& p, int32_t records, int page, int count, int size) {
  std::string out =
      "<tr><td valign=middle nowrap align=right ><span class=smallFont>&gt;&gt; <b><font "
      "color=navy>分页</font></b>";
  const std::string first_prev = "<a href=" + p.Link("?page=", 1) + ">&nbsp;首页 </a><a href=" +
                                 p.Link("?action=GotoPage&page=", page - 1) + ">前页</a>";
  if (page == 1) {
    out +=
        "<font color=darkgray>&nbsp;首页 前页</font>&nbsp;<a href=" + p.Link("?Page=", page + 1) +
        ">后页 </a><a href=" + p.Link("?action=GotoPage&page=", count) + ">尾页</a>&nbsp;";
  } else if (page == count) {
    out += first_prev + "<font color=darkgray>&nbsp;后页 尾页</font>&nbsp;";
  } else {
    out += first_prev + "<a href=" + p.Link("?page=", page + 1) +
           ">&nbsp;后页 </a><a  href=" + p.Link("?action=GotoPage&page=", count) +
           ">尾页</a>&nbsp;";
  }
  out += "页次：<b>" + std::to_string(page) + "</b>/<b>" + std::to_string(count) + "</b>页 <b>" +
         std::to_string(size) + "</b>个记录/页 ";
  out +=
      " 转到 <select name=page "
      "onChange=\"javascript:location.href=this.options[selectedIndex].value\">";
  for (int n = 1; n <= count; ++n) {
    out += "<option value=" + p.Link("?page=", n) + (n == page ? " selected>" : ">") +
           std::to_string(n);
  }
  out += "</select>页 共<B>" + std::to_string(records) + "</b>个记录</td></tr>";
  return out;
}

}  // namespace

std::string PagerText(const Settings& s, std::string_view script, int32_t record_count,
                      int16_t page, int16_t page_count, int16_t page_size, std::string_view addon) {
  if (page_count < 2) return "";
  const Pager p(script, addon);
  std::string rows;
  switch (s.PageStyle) {
    case 0:
      rows = NumberedLinks(p, page, page_count);
      break;
    case 1:
      rows = PrevNextSelect(p, page, page_count);
      break;
    case 2:
      rows = ChineseWithSummary(p, record_count, page, page_count, page_size);
      break;
    default:
      return "";
  }
  return "<table border=0 width=" + s.TableWidth + ">" + rows + "</table>";
}

void Corkboard::PageStyle(int32_t intRecordCount, int16_t intPage, int16_t intPageCount,
                          int16_t intPageSize, const std::string& Addon) {
  Response_() << PagerText(S(), Request_().ServerVariables("script_name").Str(), intRecordCount,
                           intPage, intPageCount, intPageSize, Addon);
}

}  // namespace cb
