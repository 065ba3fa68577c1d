// Tokens of a SQL Server statement as the pages write it: names, [quoted] and "quoted" names,
// string and number literals, variables and operators, each with the blank text before it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cb {

enum class TokKind { kWord, kQuotedName, kString, kNumber, kVariable, kOp };

struct SqlToken {
  TokKind kind;
  std::string text;           // as written (a string keeps its quotes, a quoted name its brackets)
  std::string value;          // the unescaped string, the inner name, or the word / operator itself
  bool space_before = false;  // blanks or a comment separated it from the previous token
  bool national = false;      // N'...' literal

  bool IsWord(std::string_view lower_word) const;  // an unquoted word, compared without case
  bool IsOp(std::string_view op) const { return kind == TokKind::kOp && text == op; }
  bool IsName() const { return kind == TokKind::kWord || kind == TokKind::kQuotedName; }
};

// Splits a statement into tokens. Comments become blanks. Raises SqlSyntaxError (see
// sql_translate.h) on an unterminated literal, quoted name or comment.
std::vector<SqlToken> TokenizeSql(std::string_view sql);

// A string literal (unescaped) or a number literal (as written) of a statement.
struct SqlLiteral {
  TokKind kind;
  std::string value;
};

// The statement with every string literal written '' (N'' when national), every number 0, and
// one blank wherever blanks or comments stood; its literals, in order, go to *literals.
// Statements of one shape translate alike but for the values of their literals. Raises as
// TokenizeSql does.
std::string SqlShape(std::string_view sql, std::vector<SqlLiteral>* literals);

}  // namespace cb
