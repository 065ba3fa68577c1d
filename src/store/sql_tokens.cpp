// Tokenizer of the statements the pages send.
#include "store/sql_tokens.h"

#include "runtime/convert.h"
#include "store/store_error.h"

namespace cb {

bool SqlToken::IsWord(std::string_view lower_word) const {
  return kind == TokKind::kWord && EqualsNoCase(value, lower_word);
}

namespace {

// ASCII classes written out: the <cctype> ones call into the C library for every byte, and every
// statement a page sends is scanned.
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsWordStart(unsigned char c) {
  return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || c >= 0x80;
}
bool IsWordChar(unsigned char c) { return IsWordStart(c) || IsDigit(c) || c == '$' || c == '#'; }

DatabaseError Unterminated(const char* what, std::string_view sql) {
  return DatabaseError(err::kDatabase, std::string("Unterminated ") + what, std::string(sql), 0,
                       "42000");
}

// Token boundaries without copies: the tokenizer and the shape of a statement read the same
// lexer, so they can never disagree on where a literal starts and ends.
struct Span {
  TokKind kind;
  size_t begin;
  size_t end;
  bool space_before;
  bool national;
};

class Lexer {
 public:
  explicit Lexer(std::string_view sql) : s_(sql) {}

  // The next token; false at the end.
  bool Next(Span& span) {
    span.space_before = SkipBlanks();
    if (i_ >= s_.size()) return false;
    span.begin = i_;
    span.national = false;
    span.kind = Scan(span.national);
    span.end = i_;
    return true;
  }

 private:
  // Blanks and comments; true when any was skipped.
  bool SkipBlanks() {
    size_t start = i_;
    while (i_ < s_.size()) {
      unsigned char c = s_[i_];
      if (IsBlank(c)) {
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

  TokKind Scan(bool& national) {
    unsigned char c = s_[i_];
    if ((c == 'N' || c == 'n') && Peek(1) == '\'') {
      national = true;
      ++i_;
      c = '\'';
    }
    if (c == '\'' || c == '[' || c == '"') {
      bool string = c == '\'';
      Quoted(c == '[' ? ']' : c, string ? "string literal" : "quoted name");
      return string ? TokKind::kString : TokKind::kQuotedName;
    }
    if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
      Number();
      return TokKind::kNumber;
    }
    if (c == '@') {
      while (i_ < s_.size() && s_[i_] == '@') ++i_;
      while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
      return TokKind::kVariable;
    }
    if (IsWordStart(c)) {
      while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
      return TokKind::kWord;
    }
    Operator();
    return TokKind::kOp;
  }

  // A doubled closer stands for itself.
  void Quoted(char close, const char* what) {
    ++i_;
    while (true) {
      if (i_ >= s_.size()) throw Unterminated(what, s_);
      if (s_[i_++] != close) continue;
      if (i_ < s_.size() && s_[i_] == close) {
        ++i_;
        continue;
      }
      return;
    }
  }

  void Number() {
    while (i_ < s_.size() && (IsDigit(s_[i_]) || s_[i_] == '.')) {
      ++i_;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      size_t j = i_ + 1;
      if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
      if (j < s_.size() && IsDigit(s_[j])) {
        i_ = j;
        while (i_ < s_.size() && IsDigit(s_[i_])) ++i_;
      }
    }
  }

  // Two-character operators: <> <= >= != !< !> ||
  void Operator() {
    char a = s_[i_];
    char b = Peek(1);
    bool two = (a == '<' && (b == '>' || b == '=')) || (a == '>' && b == '=') ||
               (a == '!' && (b == '=' || b == '<' || b == '>')) || (a == '|' && b == '|');
    i_ += two ? 2 : 1;
  }

  std::string_view s_;
  size_t i_ = 0;
};

// The inside of a quoted text with its doubled closers made single.
std::string Unquote(std::string_view quoted, char close) {
  std::string value;
  value.reserve(quoted.size());
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    value += quoted[i];
    if (quoted[i] == close) ++i;
  }
  return value;
}

}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view sql) {
  std::vector<SqlToken> out;
  Lexer lexer(sql);
  Span sp;
  while (lexer.Next(sp)) {
    std::string_view text = sql.substr(sp.begin, sp.end - sp.begin);
    SqlToken t{sp.kind, std::string(text), {}, sp.space_before, sp.national};
    switch (sp.kind) {
      case TokKind::kString:
        t.value = Unquote(text.substr(sp.national ? 1 : 0), '\'');
        break;
      case TokKind::kQuotedName:
        t.value = Unquote(text, text[0] == '[' ? ']' : '"');
        break;
      case TokKind::kVariable:
        t.value = ToLower(t.text);
        break;
      default:
        t.value = t.text;
    }
    out.push_back(std::move(t));
  }
  return out;
}

std::string SqlShape(std::string_view sql, std::vector<SqlLiteral>* literals) {
  std::string shape;
  shape.reserve(sql.size() < 512 ? sql.size() : 512);
  Lexer lexer(sql);
  Span sp;
  while (lexer.Next(sp)) {
    if (sp.space_before) shape += ' ';
    std::string_view text = sql.substr(sp.begin, sp.end - sp.begin);
    if (sp.kind == TokKind::kString) {
      shape += sp.national ? "N''" : "''";
      literals->push_back({sp.kind, Unquote(text.substr(sp.national ? 1 : 0), '\'')});
    } else if (sp.kind == TokKind::kNumber) {
      shape += '0';
      literals->push_back({sp.kind, std::string(text)});
    } else {
      shape += text;
    }
  }
  return shape;
}

}  // namespace cb
