// Tokenizer of the statements the pages send.
#include "store/sql_tokens.h"

#include <cctype>

#include "runtime/convert.h"
#include "store/store_error.h"

namespace cb {

bool SqlToken::IsWord(std::string_view lower_word) const {
  return kind == TokKind::kWord && EqualsNoCase(value, lower_word);
}

namespace {

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsWordChar(unsigned char c) {
  return IsWordStart(c) || std::isdigit(c) || c == '$' || c == '#';
}

DatabaseError Unterminated(const char* what, std::string_view sql) {
  return DatabaseError(err::kDatabase, std::string("Unterminated ") + what, std::string(sql), 0,
                       "42000");
}

class Lexer {
 public:
  explicit Lexer(std::string_view sql) : s_(sql) {}

  std::vector<SqlToken> Run() {
    std::vector<SqlToken> out;
    while (true) {
      bool space = SkipBlanks();
      if (i_ >= s_.size()) break;
      SqlToken t = Next();
      t.space_before = space;
      out.push_back(std::move(t));
    }
    return out;
  }

 private:
  // Blanks and comments; true when any was skipped.
  bool SkipBlanks() {
    size_t start = i_;
    while (i_ < s_.size()) {
      unsigned char c = s_[i_];
      if (std::isspace(c)) {
        ++i_;
      } else if (c == '-' && Peek(1) == '-') {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else if (c == '/' && Peek(1) == '*') {
        size_t end = s_.find("*/", i_ + 2);
        if (end == std::string_view::npos) throw Unterminated("comment", s_);
        i_ = end + 2;
      } else {
        break;
      }
    }
    return i_ != start;
  }

  char Peek(size_t ahead) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : '\0'; }

  SqlToken Next() {
    unsigned char c = s_[i_];
    if ((c == 'N' || c == 'n') && Peek(1) == '\'') {
      ++i_;
      SqlToken t = StringLiteral();
      t.national = true;
      t.text = "N" + t.text;
      return t;
    }
    if (c == '\'') return StringLiteral();
    if (c == '[') return Quoted(']', "quoted name");
    if (c == '"') return Quoted('"', "quoted name");
    if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(Peek(1))))) {
      return Number();
    }
    if (c == '@') return Variable();
    if (IsWordStart(c)) return Word();
    return Operator();
  }

  SqlToken StringLiteral() {
    size_t start = i_++;
    std::string value;
    while (true) {
      if (i_ >= s_.size()) throw Unterminated("string literal", s_);
      char c = s_[i_++];
      if (c == '\'') {
        if (i_ < s_.size() && s_[i_] == '\'') {
          value += '\'';
          ++i_;
          continue;
        }
        break;
      }
      value += c;
    }
    return {TokKind::kString, std::string(s_.substr(start, i_ - start)), std::move(value)};
  }

  SqlToken Quoted(char close, const char* what) {
    size_t start = i_++;
    std::string value;
    while (true) {
      if (i_ >= s_.size()) throw Unterminated(what, s_);
      char c = s_[i_++];
      if (c == close) {
        if (i_ < s_.size() && s_[i_] == close) {  // doubled closer stands for itself
          value += close;
          ++i_;
          continue;
        }
        break;
      }
      value += c;
    }
    return {TokKind::kQuotedName, std::string(s_.substr(start, i_ - start)), std::move(value)};
  }

  SqlToken Number() {
    size_t start = i_;
    while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.')) {
      ++i_;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      size_t j = i_ + 1;
      if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
      if (j < s_.size() && std::isdigit(static_cast<unsigned char>(s_[j]))) {
        i_ = j;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
      }
    }
    std::string text(s_.substr(start, i_ - start));
    return {TokKind::kNumber, text, text};
  }

  SqlToken Variable() {
    size_t start = i_;
    while (i_ < s_.size() && s_[i_] == '@') ++i_;
    while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
    std::string text(s_.substr(start, i_ - start));
    return {TokKind::kVariable, text, ToLower(text)};
  }

  SqlToken Word() {
    size_t start = i_;
    while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
    std::string text(s_.substr(start, i_ - start));
    return {TokKind::kWord, text, text};
  }

  SqlToken Operator() {
    static constexpr std::string_view kTwo[] = {"<>", "<=", ">=", "!=", "!<", "!>", "||"};
    std::string_view rest = s_.substr(i_);
    for (std::string_view op : kTwo) {
      if (rest.substr(0, 2) == op) {
        i_ += 2;
        return {TokKind::kOp, std::string(op), std::string(op)};
      }
    }
    std::string one(1, s_[i_++]);
    return {TokKind::kOp, one, one};
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view sql) { return Lexer(sql).Run(); }

}  // namespace cb
