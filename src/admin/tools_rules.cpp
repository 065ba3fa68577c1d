// The maintenance tools' decisions without the database.
#include "admin/tools_rules.h"

#include <cstdio>

#include "frame/procedures.h"

namespace cb {

StatisticsMonth ChooseStatisticsMonth(const std::string& year, const std::string& month,
                                      const DateTime& now) {
  StatisticsMonth out{false, now.year(), now.month()};
  if (!year.empty()) {
    if (!ToLong(Variant(year))) return {.refused = true};
    out.year = Variant(year).CLng();
  }
  if (!month.empty()) {
    if (!ToLong(Variant(month))) return {.refused = true};
    out.month = Variant(month).CLng();
  }
  if (out.month > 12) return {.refused = true};
  return out;
}

std::string PercentText(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", share * 100);
  return text;
}

int WeekdayFromMonday(int year, int month, int day) {
  // 1970-01-01 was a Thursday (4).
  const int64_t days = DateTime::FromParts(year, month, day).seconds() / 86400;
  return static_cast<int>(((days + 3) % 7 + 7) % 7) + 1;
}

std::string ScriptWriteLine(std::string_view html, bool semicolon) {
  std::string out = "document.write(\"";
  for (size_t i = 0; i < html.size(); ++i) {
    const char c = html[i];
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (html.substr(i, 3) == "\xE2\x80\xA8" || html.substr(i, 3) == "\xE2\x80\xA9") {
      // Line and paragraph separators end a script line too.
      out += html[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += c;
    }
  }
  return out + (semicolon ? "\");\r\n" : "\")\r\n");
}

std::string ScriptBase(std::string_view bburl) {
  const size_t slash = bburl.rfind('/');
  return std::string(slash == std::string_view::npos ? bburl : bburl.substr(0, slash));
}

std::string MailingListText(const std::vector<std::string>& addresses, std::string_view delimit) {
  const std::string separator = delimit == "comma" ? "," : "\r\n";
  std::string out;
  for (const std::string& address : addresses) {
    if (!out.empty()) out += separator;
    out += address;
  }
  return out;
}

}  // namespace cb
