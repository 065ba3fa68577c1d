// Reading a CBK 5.4 member file line by line into register columns.
#include "admin/cbk_account.h"

#include "frame/procedures.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/gbk.h"

namespace cb {

namespace {

std::string Text(std::string_view value) { return "'" + SqlQuote(Variant(std::string(value))) + "'"; }

std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    size_t eol = bytes.find('\n');
    std::string_view line = bytes.substr(0, eol);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(GbkToUtf8(line));
    if (eol == std::string_view::npos) break;
    bytes.remove_prefix(eol + 1);
  }
  return lines;
}

}  // namespace

CbkAccount ReadCbkAccount(std::string_view bytes) {
  CbkAccount out;
  const std::vector<std::string> lines = Lines(bytes);
  auto line = [&](size_t k) { return k < lines.size() ? lines[k] : std::string(); };
  out.username = line(0);
  if (bytes.size() > kLargestCbkFile) {
    out.refusal = "文件过大";
    return out;
  }
  if (!CheckUserName(out.username, 25)) {
    out.refusal = "用户名不合法";
    return out;
  }
  if (line(1).empty()) {
    out.refusal = "没有密码";
    return out;
  }
  auto& cols = out.columns;
  cols = {{"username", Text(out.username)}, {"password", Text(line(1))}};
  const std::pair<size_t, const char*> plain[] = {
      {2, "email"}, {5, "occupation"}, {6, "location"}, {8, "status"}, {9, "interests"}};
  for (const auto& [k, column] : plain) {
    if (!line(k).empty()) cols.emplace_back(column, Text(line(k)));
  }
  const std::string url = line(3);
  if (!url.empty() && !EqualsNoCase(url, "http://") && !EqualsNoCase(url, "http:///")) {
    cols.emplace_back("url", Text(url));
  }
  if (const std::string posts = Trim(line(7)); !posts.empty()) {
    const bool whole = posts.size() <= 9 && posts.find_first_not_of("0123456789") == std::string::npos;
    if (whole) {
      cols.emplace_back("postcount", std::to_string(std::stol(posts)));
    } else {
      out.skipped_lines.push_back(8);
    }
  }
  if (const std::string signdate = Trim(line(10)); !signdate.empty()) {
    if (std::optional<DateTime> date = DateTime::Parse(signdate)) {
      cols.emplace_back("signdate", Text(date->YmdHms()));
    } else {
      out.skipped_lines.push_back(11);
    }
  }
  if (!line(11).empty()) cols.emplace_back("namestorage", Trim(line(11)) == "yes" ? "1" : "0");
  if (const std::string signature = Trim(line(12)); !signature.empty()) {
    cols.emplace_back("signature", Text(signature));
  }
  if (const std::string icq = line(13); !icq.empty()) {
    if (CheckMessengerNumber(icq)) {
      cols.emplace_back("icq", Text(icq));
    } else {
      out.skipped_lines.push_back(14);
    }
  }
  if (!line(14).empty()) cols.emplace_back("emailview", Trim(line(14)) == "yes" ? "1" : "0");
  return out;
}

std::string CbkInsertSql(const CbkAccount& account) {
  std::string names, values;
  for (const auto& [column, value] : account.columns) {
    names += (names.empty() ? "" : ",") + column;
    values += (values.empty() ? "" : ",") + value;
  }
  return "insert into register (" + names + ") values (" + values + ")";
}

}  // namespace cb
