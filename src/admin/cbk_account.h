// The member file of a CBK 5.4 board (one ".cgi" file per member, one value a line) read into the
// register columns of one account, with the lines that could not be taken.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cb {

struct CbkAccount {
  std::string username;  // as read (also when refused, for the report)
  // Why the account cannot be imported ("" when it can): no valid name, no password, too large.
  std::string refusal;
  // The columns to insert, each with its value as an SQL literal.
  std::vector<std::pair<std::string, std::string>> columns;
  // Line numbers (from 1) of malformed lines left out: a post count that is not a whole number,
  // a sign-up date that is not a date, a messenger number that is not up to ten digits.
  std::vector<int> skipped_lines;
};

inline constexpr size_t kLargestCbkFile = 64 * 1024;

// bytes: the file as stored (GBK text, lines ending in CR LF or LF).
CbkAccount ReadCbkAccount(std::string_view bytes);

// "insert into register (...) values (...)" for an account that can be imported.
std::string CbkInsertSql(const CbkAccount& account);

}  // namespace cb
