// The translator: token rewrites for the SQL Server constructs the pages use, literal lifting,
// date padding, TOP, and the shape analysis record sets need.
#include "store/sql_translate.h"

#include <charconv>
#include <mutex>
#include <set>
#include <utility>

#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "store/byte_lru.h"
#include "store/schema.h"
#include "store/sql_tokens.h"
#include "store/store_error.h"

namespace cb {

namespace {

// SQL Server functions with a faithful translation (the dialect names them).
// (avg is left out: SQL Server averages whole numbers into a whole number.)
const std::set<std::string> kFunctions = {
    "isnull", "year",  "month", "day", "datalength", "ascii", "lower",    "upper", "ltrim",
    "rtrim",  "count", "sum",   "min", "max",        "abs",   "coalesce", "nullif"};
const std::set<std::string> kAggregates = {"count", "sum", "min", "max", "avg"};

// Words that may stand before "(" without being a function call.
const std::set<std::string> kWordsBeforeParen = {
    "select", "from", "where",  "and",       "or",     "not",   "in",       "exists",
    "values", "on",   "join",   "as",        "union",  "all",   "distinct", "then",
    "else",   "when", "case",   "by",        "having", "is",    "like",     "between",
    "set",    "into", "any",    "some",      "inner",  "outer", "left",     "right",
    "cross",  "full", "except", "intersect", "escape", "end",   "top"};

// Words that end a FROM clause.
const std::set<std::string> kFromEnds = {"where", "group",  "order",    "having",
                                         "union", "except", "intersect"};

// Words that end a FROM clause's table reference (so they are not an alias).
const std::set<std::string> kClauseWords = {"where", "order", "group", "having", "inner",
                                            "left",  "right", "full",  "cross",  "join",
                                            "union", "on",    "outer", "except", "intersect",
                                            "with"};

bool IsComparison(const SqlToken& t) {
  static const std::set<std::string> ops = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
  return t.kind == TokKind::kOp && ops.count(t.text) > 0;
}

bool InSet(const std::set<std::string>& s, const SqlToken& t) {
  return t.kind == TokKind::kWord && s.count(ToLower(t.value)) > 0;
}

// A date text as the store keeps it ("2001-05-09 08:03:07"); '' is SQL Server's zero date.
std::string PaddedDate(const std::string& value, std::string_view sql) {
  if (value.empty()) return "1900-01-01 00:00:00";
  if (std::optional<DateTime> d = DateTime::Parse(value)) return d->YmdHms();
  throw DatabaseError(store_err::kTypeConversion,
                      "Conversion failed when converting date and/or time from character "
                      "string: '" +
                          value + "'",
                      std::string(sql), 0, "22007");
}

// A text column that compares without regard to case in every table that has it.
bool IgnoresCase(std::string_view column) {
  if (ColumnNameKind(column) != ColumnKind::kText) return false;
  for (const TableDef& t : BoardTables()) {
    const ColumnDef* c = t.Find(column);
    if (c && c->exact) return false;
  }
  return true;
}

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// The pattern "%text%" whose text is long enough for the dialect's text index.
bool FoundByIndex(std::string_view pattern, const Dialect& d) {
  const size_t min_chars = d.ContainsMinChars();
  std::optional<std::string> text = ContainedText(pattern);
  if (min_chars == 0 || !text) return false;
  size_t chars = 0;
  for (unsigned char c : *text) chars += (c & 0xC0) != 0x80;
  return chars >= min_chars;
}

// 'true' and 'false' as a flag holds them; any other text as it stands (the database converts or
// refuses it).
std::string FlagText(const std::string& s) {
  if (EqualsNoCase(s, "true")) return "1";
  if (EqualsNoCase(s, "false")) return "0";
  return s;
}

SqlValue NumberValue(const std::string& s) {
  if (s.find_first_not_of("0123456789") == std::string::npos) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc() && p == s.data() + s.size()) return v;
  }
  return std::stod(s);
}

// Where a statement's literals go, so that a translation serves every statement of its shape:
// each parameter names the literal it is lifted from; literals kept in the text must match.
struct LiteralUse {
  uint32_t literal;
  bool date;      // a date text, padded
  bool contains;  // a LIKE pattern searched through a text index: the index's value
  bool like;      // a LIKE pattern, in the dialect's form
  char escape;    // its ESCAPE character, 0 for none
  bool flag;      // a text stored into or compared with a flag
  bool real;      // a number with a fraction (the dialect may type whole and real numbers apart)
};
struct Recipe {
  std::vector<LiteralUse> params;
  // LIKE patterns on indexed columns, and whether the index was used for them: a statement of
  // the shape may use the translation only when its patterns fall on the same sides.
  std::vector<std::pair<uint32_t, bool>> contains_class;
  std::vector<std::pair<uint32_t, std::string>> fixed;  // literal number, its value
  size_t literals = 0;
};

class Translator {
 public:
  Translator(std::string_view sql, const Dialect& dialect)
      : sql_(sql), d_(dialect), t_(TokenizeSql(sql)) {}

  // recipe, when given, receives how the literals were used.
  Translation Run(Recipe* recipe = nullptr) {
    recipe_ = recipe;
    Translation tr;
    tr.original = sql_;
    while (!t_.empty() && t_.back().IsOp(";")) t_.pop_back();
    if (t_.empty()) Unsupported("an empty statement");
    for (const SqlToken& t : t_) {
      if (t.IsOp(";")) Unsupported("several statements in one");
    }
    Prepare();
    tr.kind = Kind();
    if (tr.kind == StatementKind::kNoOp || tr.kind == StatementKind::kIdentity) return tr;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (IndexHintAt(i)) {
        RewriteIndexHint(i);
        i += 6;
      } else {
        RewriteToken(i);
      }
    }
    RewriteContains();
    RewriteDayTests();
    NormalizeDates();
    OrderNulls();
    OrderUnionByOutput();
    if (tr.kind == StatementKind::kInsert) AnalyzeInsert(tr);
    ApplyTops(tr);
    if (tr.kind == StatementKind::kSelect) {
      AnalyzeSingleTable(tr);
      AnalyzePlainSelect();
    }
    Emit(tr);
    return tr;
  }

 private:
  [[noreturn]] void Unsupported(const std::string& what) const {
    throw UnsupportedSql(what, std::string(sql_));
  }

  const SqlToken* At(size_t i) const { return i < t_.size() ? &t_[i] : nullptr; }
  bool WordAt(size_t i, std::string_view w) const { return At(i) && At(i)->IsWord(w); }
  bool OpAt(size_t i, std::string_view op) const { return At(i) && At(i)->IsOp(op); }

  void Prepare() {
    size_t n = t_.size();
    depth_.assign(n, 0);
    out_.resize(n);
    after_.assign(n, "");
    no_lift_.assign(n, false);
    padded_.assign(n, false);
    contains_.assign(n, false);
    like_.assign(n, false);
    like_escape_.assign(n, 0);
    flag_.assign(n, false);
    literal_.assign(n, 0);
    int depth = 0;
    uint32_t literals = 0;
    for (size_t i = 0; i < n; ++i) {
      if (t_[i].kind == TokKind::kString || t_[i].kind == TokKind::kNumber)
        literal_[i] = literals++;
      if (t_[i].IsOp(")")) --depth;
      if (depth < 0) Unsupported("unbalanced parentheses");
      depth_[i] = depth;
      if (t_[i].IsOp("(")) ++depth;
      out_[i] = t_[i].text;
    }
    if (depth != 0) Unsupported("unbalanced parentheses");
    if (recipe_) recipe_->literals = literals;
    MarkOrderRegions();
  }

  StatementKind Kind() const {
    size_t i = 0;
    while (OpAt(i, "(")) ++i;
    const SqlToken* first = At(i);
    if (!first || first->kind != TokKind::kWord) Unsupported("a statement that is not a word");
    if (first->IsWord("select")) {
      const SqlToken* v = At(1);
      bool alone = t_.size() == 2 || (t_.size() == 4 && WordAt(2, "as") && At(3)->IsName());
      if (v && v->kind == TokKind::kVariable && v->value == "@@identity" && alone) {
        return StatementKind::kIdentity;
      }
      return StatementKind::kSelect;
    }
    if (first->IsWord("insert")) return StatementKind::kInsert;
    if (first->IsWord("update")) return StatementKind::kUpdate;
    if (first->IsWord("delete")) return StatementKind::kDelete;
    if (first->IsWord("set")) {
      if (t_.size() == 3 && WordAt(1, "dateformat") && WordAt(2, "ymd")) {
        return StatementKind::kNoOp;
      }
      Unsupported("SET other than \"set dateformat ymd\"");
    }
    Unsupported("statement " + first->text);
  }

  // ORDER BY and GROUP BY keep their literals in place (a number there names a column).
  void MarkOrderRegions() {
    for (size_t i = 0; i + 1 < t_.size(); ++i) {
      if (!(t_[i].IsWord("order") || t_[i].IsWord("group")) || !t_[i + 1].IsWord("by")) continue;
      for (size_t j = i; j < t_.size(); ++j) {
        if (depth_[j] < depth_[i]) break;
        if (j > i + 1 && depth_[j] == depth_[i] &&
            (t_[j].IsWord("union") || t_[j].IsWord("having") || t_[j].IsWord("except") ||
             t_[j].IsWord("intersect") || t_[j].IsWord("order"))) {
          break;
        }
        no_lift_[j] = true;
      }
    }
  }

  // The terms of the ORDER BY at token i: each as [first, last] token.
  std::vector<std::pair<size_t, size_t>> OrderTerms(size_t i) const {
    std::vector<std::pair<size_t, size_t>> terms;
    size_t first = i + 2;
    size_t j = first;
    for (; j < t_.size(); ++j) {
      if (depth_[j] < depth_[i]) break;
      if (depth_[j] == depth_[i] &&
          (t_[j].IsWord("union") || t_[j].IsWord("having") || t_[j].IsWord("except") ||
           t_[j].IsWord("intersect") || t_[j].IsWord("order"))) {
        break;
      }
      if (depth_[j] == depth_[i] && t_[j].IsOp(",")) {
        if (j > first) terms.emplace_back(first, j - 1);
        first = j + 1;
      }
    }
    if (j > first) terms.emplace_back(first, j - 1);
    return terms;
  }

  bool IsOrderBy(size_t i) const { return t_[i].IsWord("order") && WordAt(i + 1, "by"); }

  // NULLs first ascending and last descending, as SQL Server sorts them.
  void OrderNulls() {
    if (d_.NullsOrder(false).empty()) return;
    for (size_t i = 0; i + 1 < t_.size(); ++i) {
      if (!IsOrderBy(i)) continue;
      for (auto [first, last] : OrderTerms(i)) {
        after_[last] += d_.NullsOrder(t_[last].IsWord("desc"));
      }
    }
  }

  // "select posttime as lastlytime ... union ... order by posttime": the ordinal of the column
  // that the first select lists under another name.
  void OrderUnionByOutput() {
    if (!d_.UnionOrdersByOutput()) return;
    size_t order = 0;
    bool compound = false;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (depth_[i] != 0) continue;
      if (t_[i].IsWord("union") || t_[i].IsWord("except") || t_[i].IsWord("intersect")) {
        compound = true;
      }
      if (IsOrderBy(i)) order = i;
    }
    if (!compound || !order) return;
    std::vector<std::pair<std::string, std::string>> items = FirstSelectItems();
    for (auto [first, last] : OrderTerms(order)) {
      size_t end = last;
      if (t_[end].IsWord("asc") || t_[end].IsWord("desc")) --end;
      // A column, or a qualified one: post.posttime.
      size_t name = end;
      if (!(name == first || (name == first + 2 && t_[first + 1].IsOp(".")))) continue;
      if (!t_[name].IsName()) continue;
      std::string wanted = ToLower(t_[name].value);
      bool is_output = false;
      size_t ordinal = 0;
      for (size_t k = 0; k < items.size(); ++k) {
        if (items[k].second == wanted) is_output = true;
        if (!ordinal && items[k].first == wanted) ordinal = k + 1;
      }
      if (is_output || !ordinal) continue;
      for (size_t k = first; k < name; ++k) out_[k] = "";
      out_[name] = std::to_string(ordinal);
    }
  }

  // The select list of the statement's first select: each item's column (when it is a plain,
  // maybe qualified, name) and its output name, lower-cased.
  std::vector<std::pair<std::string, std::string>> FirstSelectItems() const {
    std::vector<std::pair<std::string, std::string>> items;
    size_t i = 0;
    while (i < t_.size() && !t_[i].IsWord("select")) ++i;
    if (i == t_.size()) return items;
    int depth = depth_[i];
    size_t first = i + 1;
    if (WordAt(first, "distinct") || WordAt(first, "all")) ++first;
    if (WordAt(first, "top")) first += 2;
    auto add = [&](size_t a, size_t b) {  // tokens [a, b]
      if (b < a) return;
      std::string column, output;
      size_t expr_end = b;
      if (b > a && t_[b].IsName() && (t_[b - 1].IsWord("as") || t_[b - 1].IsName())) {
        output = ToLower(t_[b].value);
        expr_end = t_[b - 1].IsWord("as") ? b - 2 : b - 1;
      }
      if (expr_end >= a) {
        bool plain = expr_end == a || (expr_end == a + 2 && t_[a + 1].IsOp("."));
        if (plain && t_[expr_end].IsName()) column = ToLower(t_[expr_end].value);
      }
      if (output.empty()) output = column;
      items.emplace_back(column, output);
    };
    size_t start = first;
    for (size_t j = first; j < t_.size(); ++j) {
      if (depth_[j] < depth) break;
      if (depth_[j] != depth) continue;
      if (t_[j].IsWord("from") || t_[j].IsWord("union")) {
        add(start, j - 1);
        return items;
      }
      if (t_[j].IsOp(",")) {
        add(start, j - 1);
        start = j + 1;
      }
    }
    return items;
  }

  // "WITH (INDEX(name))" after a table reference: seven tokens.
  bool IndexHintAt(size_t i) const {
    return WordAt(i, "with") && OpAt(i + 1, "(") && WordAt(i + 2, "index") && OpAt(i + 3, "(") &&
           At(i + 4) && At(i + 4)->IsName() && OpAt(i + 5, ")") && OpAt(i + 6, ")");
  }

  void RewriteIndexHint(size_t i) {
    for (size_t k = i; k <= i + 6; ++k) out_[k] = "";
    out_[i] = d_.IndexHint(t_[i + 4].value);
  }

  void RewriteToken(size_t i) {
    const SqlToken& t = t_[i];
    switch (t.kind) {
      case TokKind::kVariable:
        Unsupported("variable " + t.text);
      case TokKind::kQuotedName:
        out_[i] = d_.QuoteName(t.value);
        return;
      case TokKind::kOp:
        if (t.IsOp("+")) CheckPlus(i);
        return;
      case TokKind::kWord:
        if (i == 0 && t.IsWord("delete") && At(1) && !WordAt(1, "from")) out_[0] += " from";
        if (i == 0 && t.IsWord("insert") && At(1) && !WordAt(1, "into")) out_[0] += " into";
        if (OpAt(i + 1, "(")) RewriteCall(i);
        if (t.IsWord("like")) RewriteLike(i);
        return;
      default:
        return;
    }
  }

  void RewriteCall(size_t i) {
    std::string name = ToLower(t_[i].value);
    if (kWordsBeforeParen.count(name)) return;
    // The target table of an insert: "insert into post (...)".
    if (i > 0 && (t_[i - 1].IsWord("into") || (i == 1 && t_[0].IsWord("insert")))) return;
    if (name == "datepart") return RewriteDatepart(i);
    if (!kFunctions.count(name)) Unsupported("function " + t_[i].text + "()");
    std::string target = d_.Function(name);
    if (target.empty()) Unsupported("function " + t_[i].text + "() on " + std::string(d_.name()));
    out_[i] = target;
    if (name == "isnull" || name == "coalesce" || name == "nullif" || name == "ltrim" ||
        name == "rtrim") {
      KeepCaseRule(i);
    }
  }

  // isnull(column, ...) and its kin give the column's text, which SQL Server still compares
  // without regard to case ("isnull([restrict],'')<>'private'" leaves out 'Private' too); a
  // backend may compare a function's result exactly. The call keeps the column's case rule.
  void KeepCaseRule(size_t i) {
    size_t k = i + 2;
    if (!At(k) || !At(k)->IsName()) return;
    if (OpAt(k + 1, ".") && At(k + 2) && At(k + 2)->IsName()) k += 2;
    if ((!OpAt(k + 1, ",") && !OpAt(k + 1, ")")) || !IgnoresCase(t_[k].value)) return;
    for (size_t c = i + 2; c < t_.size(); ++c) {
      if (t_[c].IsOp(")") && depth_[c] == depth_[i + 1]) {
        after_[c] += d_.CaseInsensitive();
        return;
      }
    }
  }

  // a [NOT] LIKE 'pattern' -> the dialect's operator and form of the pattern.
  void RewriteLike(size_t i) {
    bool negated = i > 0 && t_[i - 1].IsWord("not");
    std::string op = d_.LikeOperator(negated);
    if (op.empty()) return;
    const SqlToken* pattern = At(i + 1);
    if (!pattern || pattern->kind != TokKind::kString) {
      Unsupported("LIKE without a literal pattern on " + std::string(d_.name()));
    }
    if (negated) out_[i - 1] = "";
    out_[i] = op;
    like_[i + 1] = true;
    if (WordAt(i + 2, "escape")) {
      // The escape character goes into the pattern's form (and stays part of the shape).
      const SqlToken* escape = At(i + 3);
      if (!escape || escape->kind != TokKind::kString || escape->value.size() != 1) {
        Unsupported("LIKE ... ESCAPE without a one-character literal");
      }
      like_escape_[i + 1] = escape->value[0];
      out_[i + 2] = "";
      out_[i + 3] = "";
    }
  }

  // datepart(yy|mm|dd, x) -> year(x) / month(x) / day(x)
  void RewriteDatepart(size_t i) {
    const SqlToken* part = At(i + 2);
    if (!part || part->kind != TokKind::kWord || !OpAt(i + 3, ",")) {
      Unsupported("datepart() without a date part name");
    }
    std::string p = ToLower(part->value);
    std::string fn;
    if (p == "yy" || p == "yyyy" || p == "year") fn = "year";
    if (p == "mm" || p == "m" || p == "month") fn = "month";
    if (p == "dd" || p == "d" || p == "day") fn = "day";
    if (fn.empty()) Unsupported("datepart(" + part->text + ", ...)");
    out_[i] = d_.Function(fn);
    out_[i + 2] = "";
    out_[i + 3] = "";
  }

  // "+" joins strings in SQL Server but adds numbers elsewhere: refuse it next to text.
  void CheckPlus(size_t i) const {
    auto texty = [&](size_t k) {
      const SqlToken* t = At(k);
      if (!t) return false;
      if (t->kind == TokKind::kString) return true;
      return t->IsName() && ColumnNameKind(t->value) == ColumnKind::kText;
    };
    if ((i > 0 && texty(i - 1)) || texty(i + 1)) Unsupported("+ on text (string concatenation)");
  }

  // "column LIKE '%text%'" on a column with a text index becomes the index's condition, so that
  // a search reads the rows the index finds instead of every row. Only where the LIKE stands as
  // a condition of its own, so that NULL and false still both drop the row; a text shorter
  // than the index can find keeps the LIKE.
  void RewriteContains() {
    if (d_.ContainsMinChars() == 0) return;
    for (size_t i = 1; i + 1 < t_.size(); ++i) {
      if (!t_[i].IsWord("like") || t_[i + 1].kind != TokKind::kString || no_lift_[i + 1]) continue;
      if (!EndsCondition(i + 2) || !t_[i - 1].IsName()) continue;
      size_t start = i - 1;
      std::string qualifier;
      if (start >= 2 && OpAt(start - 1, ".") && t_[start - 2].IsName()) {
        start -= 2;
        qualifier = t_[start].value;
      }
      if (!StandsAsCondition(start)) continue;
      const std::string column = ToLower(t_[i - 1].value);
      std::optional<TableRef> table = ColumnTable(i, qualifier, column);
      if (!table) continue;
      auto [before, after] = d_.ContainsCondition(table->name, table->ref, column);
      if (before.empty()) continue;
      const bool indexed = FoundByIndex(t_[i + 1].value, d_);
      if (recipe_) recipe_->contains_class.emplace_back(literal_[i + 1], indexed);
      if (!indexed) continue;
      for (size_t k = start; k <= i; ++k) out_[k] = "";
      out_[start] = before;
      after_[i + 1] = after + after_[i + 1];
      contains_[i + 1] = true;
    }
  }

  // A test "fn(column)=n" from token i: the token of n, and the column as written and emitted.
  struct PartTest {
    size_t number;
    std::string column;  // lower-cased, as written
    std::string emitted;
  };
  std::optional<PartTest> MatchPartTest(size_t i, std::string_view fn) const {
    if (!WordAt(i, fn) || !OpAt(i + 1, "(") || !At(i + 2) || !At(i + 2)->IsName()) {
      return std::nullopt;
    }
    PartTest p{0, ToLower(t_[i + 2].value), out_[i + 2]};
    size_t k = i + 3;
    if (OpAt(k, ".") && At(k + 1) && At(k + 1)->IsName()) {
      p.column += "." + ToLower(t_[k + 1].value);
      p.emitted += "." + out_[k + 1];
      k += 2;
    }
    if (!OpAt(k, ")") || !OpAt(k + 1, "=") || !At(k + 2) || At(k + 2)->kind != TokKind::kNumber ||
        At(k + 2)->text.size() > 4 ||
        At(k + 2)->text.find_first_not_of("0123456789") != std::string::npos ||
        !IsDateName(i + 2)) {
      return std::nullopt;
    }
    p.number = k + 2;
    return p;
  }

  // "year(c)=Y and month(c)=M and day(c)=D" becomes the range of that day on c, so that an index
  // on c finds the day's rows instead of computing three functions for every row. The stored
  // form "yyyy-mm-dd hh:nn:ss" orders as text; the day's numbers stay in the statement's shape.
  void RewriteDayTests() {
    for (size_t i = 0; i < t_.size(); ++i) {
      std::optional<PartTest> y = MatchPartTest(i, "year");
      if (!y || !WordAt(y->number + 1, "and")) continue;
      std::optional<PartTest> m = MatchPartTest(y->number + 2, "month");
      if (!m || m->column != y->column || !WordAt(m->number + 1, "and")) continue;
      std::optional<PartTest> d = MatchPartTest(m->number + 2, "day");
      if (!d || d->column != y->column || !StandsAsCondition(i) || !EndsCondition(d->number + 1)) {
        continue;
      }
      auto number = [&](const PartTest& p) { return std::stoi(t_[p.number].text); };
      const DateTime day = DateTime::FromParts(number(*y), number(*m), number(*d));
      if (day.year() != number(*y) || day.month() != number(*m) || day.day() != number(*d)) {
        continue;
      }
      for (size_t k = i; k <= d->number; ++k) out_[k] = "";
      out_[i] = "(" + y->emitted + " >= '" + day.YmdHms() + "' and " + y->emitted + " < '" +
                day.AddDays(1).YmdHms() + "')";
      i = d->number;
    }
  }

  bool EndsCondition(size_t k) const {
    static const std::set<std::string> ends = {"and",    "or",    "order",  "group",
                                               "having", "union", "except", "intersect"};
    return k >= t_.size() || t_[k].IsOp(")") || InSet(ends, t_[k]);
  }

  // Token k begins a condition whose value only filters rows: it follows WHERE, ON, HAVING,
  // AND, OR or "(", and so does every parenthesis around it up to its clause (not after NOT,
  // not inside a function, IN, CASE or a select list).
  bool StandsAsCondition(size_t k) const {
    static const std::set<std::string> starts = {"where", "on", "having", "and", "or"};
    static const std::set<std::string> clauses = {"where", "on", "having"};
    static const std::set<std::string> foreign = {"select", "when", "then", "else",
                                                  "case",   "set",  "by",   "values"};
    auto plain_start = [&](size_t j) {
      return j > 0 && (t_[j - 1].IsOp("(") || InSet(starts, t_[j - 1]));
    };
    if (!plain_start(k)) return false;
    int level = depth_[k];
    for (size_t j = k; j-- > 0;) {
      if (depth_[j] > level) continue;
      if (depth_[j] < level) {  // the "(" that opens this level
        if (!plain_start(j)) return false;
        level = depth_[j];
        continue;
      }
      if (InSet(clauses, t_[j])) return true;
      if (InSet(foreign, t_[j]) || t_[j].IsOp(",")) return false;
    }
    return false;
  }

  struct TableRef {
    std::string name;     // the table, lower-cased
    std::string ref;      // how the statement refers to it, as emitted
    std::string written;  // that name as written, for qualified columns
  };

  // The select whose clauses hold token i: the nearest SELECT before it that is not inside a
  // parenthesis closed before i.
  std::optional<size_t> EnclosingSelect(size_t i) const {
    int level = depth_[i];
    for (size_t k = i + 1; k-- > 0;) {
      if (depth_[k] > level) continue;
      level = depth_[k];
      if (t_[k].IsWord("select")) return k;
    }
    return std::nullopt;
  }

  // The board tables of the FROM clause of the select at s, with their aliases.
  std::vector<TableRef> FromTables(size_t s) const {
    const int d = depth_[s];
    size_t k = s + 1;
    while (k < t_.size() && !(depth_[k] == d && t_[k].IsWord("from"))) {
      if (depth_[k] < d || (depth_[k] == d && InSet(kFromEnds, t_[k]))) return {};
      ++k;
    }
    auto opens_table = [&](size_t j) {
      const SqlToken& p = t_[j - 1];
      if (p.IsWord("from") || p.IsWord("join")) return true;
      if (p.IsOp(",")) return depth_[j] == d;
      return p.IsOp("(") && j >= 2 &&
             (t_[j - 2].IsWord("from") || t_[j - 2].IsWord("join") || t_[j - 2].IsOp("("));
    };
    std::vector<TableRef> out;
    for (++k; k < t_.size() && depth_[k] >= d; ++k) {
      if (depth_[k] == d && InSet(kFromEnds, t_[k])) break;
      if (!t_[k].IsName() || !opens_table(k)) continue;
      const TableDef* def = FindTable(t_[k].value);
      if (!def) continue;
      TableRef r{def->name, out_[k], t_[k].value};
      size_t a = WordAt(k + 1, "as") ? k + 2 : k + 1;
      if (At(a) && At(a)->IsName() && !InSet(kClauseWords, *At(a))) {
        r.ref = out_[a];
        r.written = At(a)->value;
      }
      out.push_back(std::move(r));
    }
    return out;
  }

  // The table a column of the condition at token i belongs to: the one its qualifier names, or
  // the only table of the select's FROM that has such a column.
  std::optional<TableRef> ColumnTable(size_t i, const std::string& qualifier,
                                      const std::string& column) const {
    std::optional<size_t> s = EnclosingSelect(i);
    if (!s) return std::nullopt;
    std::optional<TableRef> found;
    for (const TableRef& r : FromTables(*s)) {
      bool match = qualifier.empty() ? FindTable(r.name)->Find(column) != nullptr
                                     : EqualsNoCase(r.written, qualifier);
      if (!match) continue;
      if (found) return std::nullopt;  // ambiguous
      found = r;
    }
    return found;
  }

  // The kind of the column named at token k (kUnknown when it names none).
  ColumnKind NameKindAt(size_t k) const {
    const SqlToken* t = At(k);
    if (!t || !t->IsName()) return ColumnKind::kUnknown;
    if (OpAt(k + 1, ".")) return NameKindAt(k + 2);  // qualifier: post.posttime
    return ColumnNameKind(t->value);
  }
  bool IsDateName(size_t k) const { return NameKindAt(k) == ColumnKind::kDate; }

  // Texts next to a column: a date is padded so that text comparison orders it as a date; a
  // flag's 'true' and 'false' become 1 and 0, as SQL Server converts them.
  void NormalizeDates() {
    for (size_t i = 0; i < t_.size(); ++i) {
      if (t_[i].kind != TokKind::kString) continue;
      ColumnKind kind = ColumnKind::kUnknown;
      if (i >= 2 && IsComparison(t_[i - 1])) kind = NameKindAt(i - 2);
      if (kind == ColumnKind::kUnknown && At(i + 1) && IsComparison(t_[i + 1])) {
        kind = NameKindAt(i + 2);
      }
      if (i >= 2 && t_[i - 1].IsWord("between") && IsDateName(i - 2)) kind = ColumnKind::kDate;
      if (i >= 4 && t_[i - 1].IsWord("and") && t_[i - 3].IsWord("between") && IsDateName(i - 4)) {
        kind = ColumnKind::kDate;
      }
      if (kind == ColumnKind::kDate) PadDate(i);
      if (kind == ColumnKind::kFlag) flag_[i] = true;
    }
  }

  // The token keeps its value as written (a recipe compares it); its text is the padded date.
  void PadDate(size_t i) {
    std::string quoted = "'";
    for (char c : PaddedDate(t_[i].value, sql_)) {
      quoted += c == '\'' ? std::string("''") : std::string(1, c);
    }
    out_[i] = quoted + "'";
    padded_[i] = true;
  }

  void AnalyzeInsert(Translation& tr) {
    size_t k = WordAt(1, "into") ? 2 : 1;
    if (!At(k) || !At(k)->IsName()) return;
    tr.insert_table = ToLower(At(k)->value);
    if (!OpAt(k + 1, "(")) return;
    std::vector<std::string> columns;
    size_t j = k + 2;
    for (; j < t_.size() && !t_[j].IsOp(")"); ++j) {
      if (t_[j].IsName()) columns.push_back(t_[j].value);
    }
    if (!WordAt(j + 1, "values") || !OpAt(j + 2, "(")) return;
    size_t col = 0;
    int value_depth = depth_[j + 2] + 1;
    size_t start = j + 3;
    for (size_t m = start; m < t_.size() && depth_[m] >= value_depth; ++m) {
      bool ends = depth_[m] == value_depth && t_[m].IsOp(",");
      bool last = m + 1 >= t_.size() || depth_[m + 1] < value_depth;
      if (!ends && !last) continue;
      size_t end = ends ? m : m + 1;
      if (end == start + 1 && t_[start].kind == TokKind::kString && col < columns.size()) {
        ColumnKind kind = ColumnNameKind(columns[col]);
        if (kind == ColumnKind::kDate) PadDate(start);
        if (kind == ColumnKind::kFlag) flag_[start] = true;
      }
      ++col;
      start = m + 1;
    }
  }

  // TOP n becomes a row limit at the end of its select; a top-level one is kept apart.
  void ApplyTops(Translation& tr) {
    bool first_select = true;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (!t_[i].IsWord("select")) continue;
      bool statement_select = first_select && tr.kind == StatementKind::kSelect;
      first_select = false;
      size_t j = i + 1;
      if (WordAt(j, "distinct") || WordAt(j, "all")) ++j;
      if (!WordAt(j, "top")) continue;
      const SqlToken* n = At(j + 1);
      if (!n || n->kind != TokKind::kNumber ||
          n->text.find_first_not_of("0123456789") != std::string::npos) {
        Unsupported("TOP without a whole number");
      }
      if (WordAt(j + 2, "percent")) Unsupported("TOP n PERCENT");
      if (WordAt(j + 2, "with")) Unsupported("TOP n WITH TIES");
      out_[j] = out_[j + 1] = "";
      no_lift_[j + 1] = true;
      size_t end = ScopeEnd(i);
      if (statement_select && depth_[i] == 0) {
        int64_t v = 0;
        std::from_chars(n->text.data(), n->text.data() + n->text.size(), v);
        tr.top = v;
      } else {
        after_[end] += d_.Limit(n->text);
      }
    }
  }

  // Last token of the select starting at i; a compound select with TOP is refused.
  size_t ScopeEnd(size_t i) const {
    size_t end = i;
    for (size_t j = i + 1; j < t_.size() && depth_[j] >= depth_[i]; ++j) {
      if (depth_[j] == depth_[i] &&
          (t_[j].IsWord("union") || t_[j].IsWord("except") || t_[j].IsWord("intersect"))) {
        Unsupported("TOP in a UNION");
      }
      end = j;
    }
    return end;
  }

  void AnalyzeSingleTable(Translation& tr) {
    size_t from = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (depth_[i] != 0) continue;
      const SqlToken& t = t_[i];
      if (t.IsWord("union") || t.IsWord("except") || t.IsWord("intersect")) return;
      if (!from && t.IsWord("from")) from = i;
      if (from && i > from && (t.IsOp(",") || t.IsWord("join") || t.IsWord("group"))) return;
      if (!from && (t.IsWord("distinct") || (InSet(kAggregates, t) && OpAt(i + 1, "(")))) return;
    }
    if (!from || !At(from + 1) || !At(from + 1)->IsName()) return;
    size_t k = from + 1;
    if (OpAt(k + 1, ".") && At(k + 2) && At(k + 2)->IsName()) k += 2;  // dbo.post
    const SqlToken& name = t_[k];
    const TableDef* table = FindTable(name.value);
    if (!table) return;
    std::string ref = out_[k];
    ++k;
    if (WordAt(k, "as")) ++k;
    if (At(k) && At(k)->IsName() && !InSet(kClauseWords, *At(k))) ref = out_[k++];
    if (At(k) && !WordAt(k, "where") && !WordAt(k, "order")) return;
    tr.table = table->name;
    tr.table_ref = ref;
    from_token_ = from;
  }

  // The top-level FROM of a select whose row count is the count of its FROM ... WHERE.
  void AnalyzePlainSelect() {
    size_t from = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      const SqlToken& t = t_[i];
      if (depth_[i] == 0) {
        if (t.IsWord("union") || t.IsWord("except") || t.IsWord("intersect") || t.IsWord("group") ||
            t.IsWord("having")) {
          return;
        }
        if (!from && t.IsWord("distinct")) return;
        if (!from && t.IsWord("from")) from = i;
      }
      if (!from && InSet(kAggregates, t) && OpAt(i + 1, "(")) return;
    }
    count_from_token_ = from;
  }

  void Emit(Translation& tr) {
    std::string body;
    int index = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (i == from_token_) tr.from = body.size();
      if (i == count_from_token_ && i) {
        tr.count_from = body.size();
        tr.count_first_param = static_cast<size_t>(index);
      }
      if (depth_[i] == 0 && t_[i].IsWord("order") && WordAt(i + 1, "by")) tr.order_by = body.size();
      const SqlToken& t = t_[i];
      bool literal = t.kind == TokKind::kString || t.kind == TokKind::kNumber;
      bool lifted = literal && !no_lift_[i] && !out_[i].empty();
      // A literal kept in the text, or taken out of it as TOP is, belongs to the shape.
      if (literal && !lifted && recipe_) recipe_->fixed.emplace_back(literal_[i], t.value);
      if (!out_[i].empty()) {
        if (t.space_before && !body.empty()) body += ' ';
        if (lifted) {
          bool real = false;
          if (t.kind == TokKind::kNumber) {
            tr.params.push_back(NumberValue(t.text));
            real = std::holds_alternative<double>(tr.params.back());
          } else if (contains_[i]) {
            tr.params.push_back(d_.ContainsValue(*ContainedText(t.value)));
          } else {
            tr.params.push_back(padded_[i] ? PaddedDate(t.value, sql_)
                                : like_[i]  ? d_.LikePattern(t.value, like_escape_[i])
                                : flag_[i]  ? FlagText(t.value)
                                            : t.value);
          }
          if (recipe_) {
            recipe_->params.push_back({literal_[i], padded_[i], contains_[i], like_[i],
                                       like_escape_[i], flag_[i], real});
          }
          ++index;
          body += t.kind == TokKind::kNumber ? d_.NumberParameter(index, !real)
                                             : d_.Parameter(index);
        } else {
          body += out_[i];
        }
      }
      body += after_[i];
    }
    if (from_token_ == 0) tr.table.clear();
    tr.body = body;
    tr.sql = tr.top ? body + d_.Limit(std::to_string(*tr.top)) : body;
  }

  std::string_view sql_;
  const Dialect& d_;
  std::vector<SqlToken> t_;
  std::vector<int> depth_;
  std::vector<std::string> out_;    // the text each token becomes ("" drops it)
  std::vector<std::string> after_;  // text added after a token
  std::vector<bool> no_lift_;       // literals that stay in the text
  std::vector<bool> padded_;        // date texts made whole
  std::vector<bool> contains_;      // LIKE patterns searched through a text index
  std::vector<bool> like_;          // LIKE patterns the dialect rewrites
  std::vector<char> like_escape_;   // and their ESCAPE characters
  std::vector<bool> flag_;          // texts meant as flags
  std::vector<uint32_t> literal_;   // a literal's number among the statement's literals
  Recipe* recipe_ = nullptr;
  size_t from_token_ = 0;        // top-level FROM of a single-table select
  size_t count_from_token_ = 0;  // top-level FROM of a plain select
};

}  // namespace

std::optional<std::string> ContainedText(std::string_view pattern) {
  if (pattern.size() < 2 || pattern.front() != '%' || pattern.back() != '%') return std::nullopt;
  const std::string_view inner = pattern.substr(1, pattern.size() - 2);
  std::string text;
  for (size_t i = 0; i < inner.size();) {
    const char c = inner[i];
    if (c == '%' || c == '_') return std::nullopt;
    if (c != '[') {
      text += c;
      ++i;
      continue;
    }
    // "[c]": one character other than ^ and ], which would make it a class of another kind.
    if (i + 1 >= inner.size() || inner[i + 1] == '^' || inner[i + 1] == ']') return std::nullopt;
    const size_t n = Utf8SequenceLength(static_cast<unsigned char>(inner[i + 1]));
    if (i + 1 + n >= inner.size() || inner[i + 1 + n] != ']') return std::nullopt;
    text.append(inner.substr(i + 1, n));
    i += n + 2;
  }
  return text;
}

std::string Translation::BodyWithLocator(const Dialect& d) const {
  if (table.empty() || from == std::string::npos) return body;
  const TableDef* t = FindTable(table);
  return body.substr(0, from) + ", " + d.LocatorColumn(table_ref, t ? t->identity : "") +
         " AS cb_locator" +
         body.substr(from);
}

std::string Translation::CountSql() const {
  std::string inner = order_by == std::string::npos ? body : body.substr(0, order_by);
  // Without the select list the count reads only what the conditions need (an index).
  if (count_from != std::string::npos) return "SELECT count(*)" + inner.substr(count_from);
  return "SELECT count(*) FROM (" + inner + ") AS cb_rows";
}

std::string Translation::CappedCountSql(const Dialect& d, int64_t cap) const {
  std::string inner = order_by == std::string::npos ? body : body.substr(0, order_by);
  return "SELECT count(*) FROM (" + inner + d.Limit(std::to_string(cap)) + ") AS cb_rows";
}

Translation TranslateSql(std::string_view sql, const Dialect& dialect) {
  return Translator(sql, dialect).Run();
}

namespace {

// A translation of one shape: its text and analysis without parameters, and the recipe that
// fills them in from a statement's literals.
struct Template {
  std::shared_ptr<const Translation> base;  // original kept only for a statement without literals
  Recipe recipe;

  size_t Bytes() const {
    size_t n = sizeof(Template) + sizeof(Translation) + base->original.size() + base->sql.size() +
               base->body.size() + base->table.size() + base->table_ref.size() +
               base->insert_table.size() + recipe.params.size() * sizeof(LiteralUse) +
               recipe.contains_class.size() * sizeof(recipe.contains_class[0]);
    for (const auto& f : recipe.fixed) n += sizeof(f) + f.second.size();
    return n;
  }

  // The translation of sql, whose literals these are; nullptr when a literal written into the
  // text differs (TOP 5 is not TOP 10).
  std::shared_ptr<const Translation> Fill(const std::string& sql, std::vector<SqlLiteral>& literals,
                                          const Dialect& dialect) const {
    if (literals.size() != recipe.literals) return nullptr;
    for (const auto& [k, value] : recipe.fixed) {
      if (literals[k].value != value) return nullptr;
    }
    for (const auto& [k, indexed] : recipe.contains_class) {
      if (FoundByIndex(literals[k].value, dialect) != indexed) return nullptr;
    }
    if (literals.empty() && base->original == sql) return base;
    auto tr = std::make_shared<Translation>(*base);
    tr->original = sql;
    tr->params.reserve(recipe.params.size());
    for (const LiteralUse& use : recipe.params) {
      SqlLiteral& l = literals[use.literal];
      if (l.kind == TokKind::kNumber) {
        tr->params.push_back(NumberValue(l.value));
        // A real number where the shape was made with a whole one is typed apart.
        if (std::holds_alternative<double>(tr->params.back()) != use.real) return nullptr;
      } else if (use.contains) {
        tr->params.push_back(dialect.ContainsValue(*ContainedText(l.value)));
      } else {
        tr->params.push_back(use.date   ? PaddedDate(l.value, sql)
                             : use.like ? dialect.LikePattern(l.value, use.escape)
                             : use.flag ? FlagText(l.value)
                                        : std::move(l.value));
      }
    }
    return tr;
  }
};

// Bounded by bytes: pages send a few hundred shapes, and a statement built around a long text
// is one shape whatever the text.
constexpr size_t kLargestTemplate = 64 << 10;

struct TranslationCache {
  std::mutex mu;
  ByteLru<std::shared_ptr<const Template>> lru{kTranslationCacheBytes, kLargestTemplate};
};

TranslationCache& TheCache() {
  static TranslationCache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const Translation> TranslateCached(const std::string& sql, const Dialect& dialect) {
  std::vector<SqlLiteral> literals;
  std::string key(dialect.name());
  key += '\x1f';
  key += SqlShape(sql, &literals);
  TranslationCache& cache = TheCache();
  std::shared_ptr<const Template> hit;
  {
    std::lock_guard<std::mutex> lock(cache.mu);
    if (auto* found = cache.lru.Get(key)) hit = *found;
  }
  if (hit) {
    if (auto tr = hit->Fill(sql, literals, dialect)) return tr;
  }
  auto tpl = std::make_shared<Template>();
  Translation tr = Translator(sql, dialect).Run(&tpl->recipe);
  std::shared_ptr<const Translation> fresh;
  if (literals.empty()) {
    fresh = tpl->base = std::make_shared<const Translation>(std::move(tr));
  } else {
    std::vector<SqlValue> params = std::exchange(tr.params, {});
    tr.original.clear();
    tpl->base = std::make_shared<const Translation>(tr);
    tr.params = std::move(params);
    tr.original = sql;
    fresh = std::make_shared<const Translation>(std::move(tr));
  }
  size_t bytes = tpl->Bytes();
  std::lock_guard<std::mutex> lock(cache.mu);
  cache.lru.Put(std::move(key), std::move(tpl), bytes);
  return fresh;
}

size_t TranslationCacheBytes() {
  std::lock_guard<std::mutex> lock(TheCache().mu);
  return TheCache().lru.bytes();
}

}  // namespace cb
