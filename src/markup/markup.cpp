// Markup converter: CBK code and smiley codes to HTML. One left-to-right pass over the text; an
// opening tag is written as text first and turned into markup only when its closing tag arrives.
#include "markup/markup.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "runtime/convert.h"
#include "runtime/percent.h"
#include "runtime/gbk.h"

namespace cb {
namespace {

constexpr size_t npos = std::string_view::npos;
// Open elements at once; deeper tags stay text (browsers flatten very deep trees anyway).
constexpr size_t kMaxDepth = 50;
// Longest address accepted; also bounds the look-ahead of [url=...] and [url]...[/url].
constexpr size_t kMaxUrl = 2048;
constexpr size_t kMaxFontName = 40;

// ---------------------------------------------------------------------------------------------
// Characters

bool IsAlpha(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(unsigned char c) { return IsAlpha(c) || IsDigit(c); }

// ---------------------------------------------------------------------------------------------
// Addresses. The member's text arrives HTML-encoded: it is decoded first so that the checks see
// what a browser would see, and the value written into the attribute is encoded again by us.

// Decodes the references HTMLEncode writes (&amp; &lt; &gt; &quot; and numeric ones). Any other
// "&" stays as it is (it is encoded again on the way out, so it cannot form a reference).
// Raw < > " and control characters never come out of HTMLEncode: their presence fails the value.
std::optional<std::string> DecodeEncoded(std::string_view s) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"') return std::nullopt;
    if (c != '&') {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    bool done = false;
    for (const auto& [name, ch] : kNamed) {
      if (StartsWithNoCase(s.substr(i), name)) {
        out += ch;
        i += name.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    if (i + 2 < s.size() && s[i + 1] == '#') {
      bool hex = LowerAscii(s[i + 2]) == 'x';
      size_t j = i + (hex ? 3 : 2);
      uint32_t cp = 0;
      size_t digits = 0;
      while (j < s.size() && digits < 8) {
        const int d = hex ? HexValue(s[j]) : IsDigit(s[j]) ? s[j] - '0' : -1;
        if (d < 0) break;
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
        ++j;
        ++digits;
      }
      if (digits == 0 || j >= s.size() || s[j] != ';') return std::nullopt;
      if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
      AppendUtf8(out, cp);
      i = j + 1;
      continue;
    }
    out += '&';
    ++i;
  }
  return out;
}

// A host name of letters, digits and hyphens in dot-separated labels, or a dotted IPv4 address,
// with an optional port. Anything else (user names, IPv6 brackets, foreign letters) fails.
bool ValidAuthority(std::string_view a) {
  size_t colon = a.find(':');
  std::string_view host = a.substr(0, colon);
  if (colon != npos) {
    std::string_view port = a.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    for (char c : port) {
      if (!IsDigit(c)) return false;
    }
  }
  if (host.empty() || host.size() > 253) return false;
  size_t label = 0;
  for (size_t i = 0; i < host.size(); ++i) {
    char c = host[i];
    if (c == '.') {
      if (label == 0 || host[i - 1] == '-') return false;
      label = 0;
    } else if (IsAlnum(c) || c == '-') {
      if (label == 0 && c == '-') return false;
      if (++label > 63) return false;
    } else {
      return false;
    }
  }
  return label > 0 && host.back() != '-';
}

// Characters of a URL that are harmless to the page but would confuse a reader of the attribute
// or the HTML around it: always written percent-encoded.
bool NeedsPercent(unsigned char c) {
  switch (c) {
    case ' ':
    case '"':
    case '\'':
    case '<':
    case '>':
    case '`':
    case '[':
    case ']':
    case '{':
    case '}':
    case '|':
    case '\\':
    case '^':
      return true;
    default:
      return c >= 0x80;
  }
}

// The decoded address as an attribute value (ready for a double-quoted attribute), or nothing when
// it is not an absolute address with an allowed scheme. "www." names get "http://".
std::optional<std::string> AttributeUrl(std::string_view encoded, bool allow_ftp) {
  encoded = TrimBlanks(encoded);
  if (encoded.empty() || encoded.size() > kMaxUrl) return std::nullopt;
  std::optional<std::string> url = DecodeEncoded(encoded);
  if (!url) return std::nullopt;
  std::string_view u = *url;
  std::string_view scheme;
  for (std::string_view s : {"http://", "https://", "ftp://"}) {
    if (StartsWithNoCase(u, s) && (allow_ftp || s[0] != 'f')) scheme = s;
  }
  std::string out;
  if (scheme.empty()) {
    if (!StartsWithNoCase(u, "www.")) return std::nullopt;
    out = "http://";
  } else {
    out = scheme;
    u.remove_prefix(scheme.size());
  }
  size_t end = u.find_first_of("/?#");
  if (end == npos) end = u.size();
  if (!ValidAuthority(u.substr(0, end))) return std::nullopt;
  for (unsigned char c : u) {
    if (c <= 0x20 || c == 0x7F) return std::nullopt;
    if (c == '&') {
      out += "&amp;";
    } else if (NeedsPercent(c)) {
      AppendPercentEscape(c, out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// "mailto:" and a plain address (local@domain.tld); the characters allowed need no escaping.
std::optional<std::string> AttributeMailto(std::string_view encoded) {
  encoded = TrimBlanks(encoded);
  if (encoded.size() > 254) return std::nullopt;
  size_t at = encoded.find('@');
  if (at == npos || at == 0 || at > 64) return std::nullopt;
  std::string_view local = encoded.substr(0, at);
  std::string_view domain = encoded.substr(at + 1);
  for (char c : local) {
    if (!IsAlnum(c) && c != '.' && c != '_' && c != '-' && c != '+' && c != '%') {
      return std::nullopt;
    }
  }
  if (local.front() == '.' || local.back() == '.') return std::nullopt;
  size_t dot = domain.rfind('.');
  if (dot == npos || !ValidAuthority(domain) || domain.find(':') != npos) return std::nullopt;
  std::string_view tld = domain.substr(dot + 1);
  if (tld.size() < 2) return std::nullopt;
  for (char c : tld) {
    if (!IsAlpha(c)) return std::nullopt;
  }
  return "mailto:" + std::string(encoded);
}

// Font names: letters, digits, blanks, hyphens and commas, or non-ASCII letters (宋体).
bool ValidFontName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFontName) return false;
  for (unsigned char c : name) {
    if (!IsAlnum(c) && c != ' ' && c != '-' && c != ',' && c < 0x80) return false;
  }
  return true;
}

// A colour name (letters only) or #rgb / #rrggbb.
bool ValidColor(std::string_view c) {
  if (!c.empty() && c[0] == '#') {
    if (c.size() != 4 && c.size() != 7) return false;
    for (size_t i = 1; i < c.size(); ++i) {
      if (HexValue(c[i]) < 0) return false;
    }
    return true;
  }
  if (c.size() < 3 || c.size() > 20) return false;
  for (char ch : c) {
    if (!IsAlpha(ch)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Tags

enum Tag : uint8_t {
  kNone,
  kBold,
  kItalic,
  kUnderline,
  kCenter,
  kFont,
  kSize,
  kColor,
  kUrl,
  kEmail,
  kImage,
  kCode,
  kQuote,
  kList,
  kItem,
  kTagCount
};

constexpr std::pair<std::string_view, Tag> kTagNames[] = {
    {"b", kBold},    {"i", kItalic},    {"u", kUnderline}, {"center", kCenter}, {"font", kFont},
    {"size", kSize}, {"color", kColor}, {"url", kUrl},     {"email", kEmail},   {"img", kImage},
    {"code", kCode}, {"quote", kQuote}, {"list", kList},   {"*", kItem}};
constexpr size_t kLongestName = 6;

// Blocks start a new line of their own: a line break right after them would show as a blank line.
bool IsBlock(Tag t) {
  return t == kCenter || t == kCode || t == kQuote || t == kList || t == kItem;
}

struct Token {
  Tag tag = kNone;
  bool closing = false;
  bool has_arg = false;
  std::string_view arg;  // as typed (still HTML-encoded)
  size_t end = 0;        // just past "]"
};

// Reads the tag that starts with the "[" at `pos`. The argument may hold no brackets, line
// breaks or raw < > " (so the tag's own text is always safe to show), and is at most kMaxUrl long,
// which keeps every look-ahead short.
Token ReadTag(std::string_view s, size_t pos) {
  Token t;
  size_t i = pos + 1;
  if (i < s.size() && s[i] == '/') {
    t.closing = true;
    ++i;
  }
  char name[kLongestName];
  size_t len = 0;
  if (i < s.size() && s[i] == '*') {
    name[len++] = '*';
    ++i;
  } else {
    while (i < s.size() && IsAlpha(s[i])) {
      if (len == kLongestName) return {};
      name[len++] = LowerAscii(s[i++]);
    }
  }
  if (len == 0 || i >= s.size()) return {};
  if (s[i] == '=') {
    if (t.closing) return {};
    size_t start = ++i;
    while (i < s.size() && s[i] != ']') {
      unsigned char c = s[i];
      if (c == '[' || c == '\r' || c == '\n' || c == '<' || c == '>' || c == '"') return {};
      if (i - start >= kMaxUrl) return {};
      ++i;
    }
    if (i >= s.size()) return {};
    t.has_arg = true;
    t.arg = s.substr(start, i - start);
  } else if (s[i] != ']') {
    return {};
  }
  std::string_view n(name, len);
  for (const auto& [tag_name, tag] : kTagNames) {
    if (n == tag_name) t.tag = tag;
  }
  if (t.closing && t.tag == kItem) return {};
  t.end = i + 1;
  return t;
}

// Finds the next closing tag of one kind (case ignored). Remembers its last answer, so a text
// with thousands of unclosed [url] tags is still read once, not once per tag.
class CloseFinder {
 public:
  explicit CloseFinder(std::string_view needle) : needle_(needle) {}

  size_t Find(std::string_view s, size_t from) {
    if (searched_ && (found_ == npos || from <= found_)) return found_;
    searched_ = true;
    found_ = npos;
    for (size_t i = s.find('[', from); i != npos; i = s.find('[', i + 1)) {
      if (StartsWithNoCase(s.substr(i), needle_)) {
        found_ = i;
        break;
      }
    }
    return found_;
  }
  size_t size() const { return needle_.size(); }

 private:
  std::string_view needle_;
  bool searched_ = false;
  size_t found_ = npos;
};

// ---------------------------------------------------------------------------------------------
// The HTML we write

constexpr std::string_view kBreak = "<br>";
constexpr std::string_view kQuoteOpen = "<blockquote><font size=\"1\">引用：</font><hr>";
constexpr std::string_view kQuoteClose = "<hr></blockquote>";
constexpr std::string_view kCodeOpen = "<blockquote><font size=\"1\">代码：</font><hr><pre>";
constexpr std::string_view kCodeClose = "</pre><hr></blockquote>";

std::string_view CloseHtml(Tag t, std::string_view list_type) {
  switch (t) {
    case kBold:
      return "</b>";
    case kItalic:
      return "</i>";
    case kUnderline:
      return "</u>";
    case kCenter:
      return "</div>";
    case kFont:
    case kSize:
    case kColor:
      return "</font>";
    case kUrl:
    case kEmail:
      return "</a>";
    case kQuote:
      return kQuoteClose;
    case kList:
      return list_type.empty() ? "</ul>" : "</ol>";
    case kItem:
      return "</li>";
    default:
      return "";
  }
}

// ---------------------------------------------------------------------------------------------
// The converter

class Converter {
 public:
  explicit Converter(std::string_view in) : in_(in) {
    out_.reserve(in.size() + in.size() / 4);
    // Every slot but a few comes from a "[": one pass to count them saves regrowing the slots.
    slots_.reserve(std::count(in.begin(), in.end(), '['));
  }
  std::string Run();

 private:
  // A place in the output whose text is decided later: an opening tag (its text as typed until
  // the element closes), the line break right after a block's opening tag, the end of an item.
  enum class Kind : uint8_t { kOpen, kBreak, kItemEnd };
  struct Slot {
    size_t at;  // offset in out_
    std::string_view text;
    Kind kind;
  };
  // An element whose opening tag has been seen.
  struct Open {
    Tag tag;
    size_t slot;
    std::string_view html;       // what the slot becomes once the element closes
    std::string_view list_type;  // [list=...]: the <ol> type; empty for <ul>
    std::string_view arg;        // [url=...] / [email=...] as typed: the text of an empty link
    size_t items_begin;          // [list]: its finished items in items_
  };
  // A finished [*] item; it becomes <li>…</li> only if its list closes.
  struct Item {
    size_t open, close;  // slots
  };

  void Add(std::string_view text) { out_ += text; }
  void AddText(size_t begin, size_t end) { out_.append(in_, begin, end - begin); }
  size_t AddSlot(std::string_view text, Kind kind) {
    slots_.push_back({out_.size(), text, kind});
    return slots_.size() - 1;
  }
  // True when nothing has been written since slot `k`.
  bool Follows(size_t k) const { return k + 1 == slots_.size() && slots_[k].at == out_.size(); }
  void AddBreak();
  std::string_view Keep(std::string s) { return arena_.emplace_back(std::move(s)); }

  size_t OnTag(const Token& t, size_t pos);  // new position, or npos when the tag stays text
  size_t OnCode(const Token& t);
  size_t OnInlineLink(const Token& t);
  bool OnOpen(const Token& t, size_t pos);
  bool OnItem(const Token& t, size_t pos);
  bool OnClose(Tag tag);
  std::optional<std::string_view> OpenHtml(const Token& t, std::string_view* list_type);
  void Push(const Token& t, size_t pos, std::string_view html, std::string_view list_type);
  void Drop();
  void Finish();
  void FinishItem();
  void RenderOpen(size_t slot, std::string_view html);
  void CloseBlock(std::string_view html) {
    Add(html);
    drop_break_at_ = out_.size();
    drop_break_slots_ = slots_.size();
  }
  std::string Join();

  std::string_view in_;
  std::string out_;  // everything already final, with slots_ to be inserted
  std::vector<Slot> slots_;
  std::vector<Open> stack_;
  std::array<uint32_t, kTagCount> open_count_{};
  std::vector<Item> items_;
  std::deque<std::string> arena_;  // generated HTML holding member values; slots point into it
  // A break written exactly here (nothing since a block closed) is dropped.
  size_t drop_break_at_ = npos;
  size_t drop_break_slots_ = 0;
  CloseFinder code_end_{"[/code]"}, url_end_{"[/url]"}, email_end_{"[/email]"}, img_end_{"[/img]"};
};

// Bytes the main loop must look at; everything else is copied in runs.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : std::string_view("[\r\n<>\"")) t[c] = true;
  return t;
}();

std::string Converter::Run() {
  size_t text = 0;  // start of the pending run of plain text
  size_t i = 0;
  const size_t n = in_.size();
  while (i < n) {
    unsigned char c = in_[i];
    if (!kSpecial[c]) {
      ++i;
      continue;
    }
    if (c == '[') {
      Token t = ReadTag(in_, i);
      if (t.tag == kNone) {
        ++i;
        continue;
      }
      AddText(text, i);
      text = i;
      size_t next = OnTag(t, i);
      // A tag that stays text is read on as text: only its "[" is passed over.
      i = next == npos ? i + 1 : next;
      if (next != npos) text = next;
      continue;
    }
    AddText(text, i);
    if (c == '\r' || c == '\n') {
      AddBreak();
      i += (c == '\r' && i + 1 < n && in_[i + 1] == '\n') ? 2 : 1;
    } else {
      // Never produced by HTMLEncode; encoded here so that no input can open markup.
      Add(c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;");
      ++i;
    }
    text = i;
  }
  AddText(text, n);
  return Join();
}

void Converter::AddBreak() {
  if (out_.size() == drop_break_at_ && slots_.size() == drop_break_slots_) {
    drop_break_at_ = npos;
    return;
  }
  // Right after the opening tag of a block: dropped if the block renders.
  if (!slots_.empty() && slots_.back().kind == Kind::kOpen && Follows(slots_.size() - 1) &&
      !stack_.empty() && stack_.back().slot == slots_.size() - 1 && IsBlock(stack_.back().tag)) {
    AddSlot(kBreak, Kind::kBreak);
    return;
  }
  Add(kBreak);
}

size_t Converter::OnTag(const Token& t, size_t pos) {
  if (t.closing) return OnClose(t.tag) ? t.end : npos;
  if (t.tag == kCode) return OnCode(t);
  if ((t.tag == kUrl || t.tag == kEmail || t.tag == kImage) && !t.has_arg) return OnInlineLink(t);
  if (t.tag == kItem) return OnItem(t, pos) ? t.end : npos;
  return OnOpen(t, pos) ? t.end : npos;
}

// [code]…[/code]: the text inside is shown as typed, tags and all, in a <pre>.
size_t Converter::OnCode(const Token& t) {
  if (t.has_arg) return npos;
  size_t close = code_end_.Find(in_, t.end);
  if (close == npos) return npos;
  Add(kCodeOpen);
  // The line breaks right after [code] and right before [/code] only set the block apart.
  size_t i = t.end;
  if (i < close && in_[i] == '\r') ++i;
  if (i < close && in_[i] == '\n') ++i;
  size_t end = close;
  if (end > i && in_[end - 1] == '\n') --end;
  if (end > i && in_[end - 1] == '\r') --end;
  size_t run = i;
  for (; i < end; ++i) {
    char c = in_[i];
    if (c != '\r' && c != '<' && c != '>' && c != '"') continue;
    AddText(run, i);
    if (c == '<') Add("&lt;");
    if (c == '>') Add("&gt;");
    if (c == '"') Add("&quot;");
    run = i + 1;  // a CR is dropped: <pre> keeps the LF
  }
  AddText(run, end);
  CloseBlock(kCodeClose);
  return close + code_end_.size();
}

// [url]address[/url], [email]address[/email], [img]address[/img].
size_t Converter::OnInlineLink(const Token& t) {
  if (t.tag != kImage && (open_count_[kUrl] || open_count_[kEmail])) return npos;
  CloseFinder& finder = t.tag == kUrl ? url_end_ : t.tag == kEmail ? email_end_ : img_end_;
  size_t close = finder.Find(in_, t.end);
  if (close == npos || close - t.end > kMaxUrl) return npos;
  std::string_view content = in_.substr(t.end, close - t.end);
  std::optional<std::string> value =
      t.tag == kEmail ? AttributeMailto(content) : AttributeUrl(content, t.tag == kUrl);
  if (!value) return npos;
  if (t.tag == kImage) {
    Add("<img src=\"");
    Add(*value);
    Add("\" border=\"0\" alt=\"\">");
  } else {
    Add("<a href=\"");
    Add(*value);
    Add(t.tag == kUrl ? "\" target=\"_blank\">" : "\">");
    Add(TrimBlanks(content));  // passed the checks above: no raw markup characters
    Add("</a>");
  }
  return close + finder.size();
}

// The HTML an opening tag becomes, or nothing when its argument is missing or not allowed.
std::optional<std::string_view> Converter::OpenHtml(const Token& t, std::string_view* list_type) {
  std::string_view arg = TrimBlanks(t.arg);
  switch (t.tag) {
    case kBold:
    case kItalic:
    case kUnderline:
    case kCenter:
    case kQuote:
      if (t.has_arg) return std::nullopt;
      return t.tag == kBold        ? "<b>"
             : t.tag == kItalic    ? "<i>"
             : t.tag == kUnderline ? "<u>"
             : t.tag == kCenter    ? "<div align=\"center\">"
                                   : kQuoteOpen;
    case kFont:
      if (!ValidFontName(arg)) return std::nullopt;
      return Keep("<font face=\"" + std::string(arg) + "\">");
    case kSize:
      if (arg.size() != 1 || arg[0] < '1' || arg[0] > '6') return std::nullopt;
      return Keep("<font size=\"" + std::string(arg) + "\">");
    case kColor:
      if (!ValidColor(arg)) return std::nullopt;
      return Keep("<font color=\"" + std::string(arg) + "\">");
    case kUrl:
    case kEmail: {
      if (open_count_[kUrl] || open_count_[kEmail]) return std::nullopt;  // no link in a link
      if (arg.size() > 12 && StartsWithNoCase(arg, "&quot;") &&
          arg.substr(arg.size() - 6) == "&quot;") {
        arg = arg.substr(6, arg.size() - 12);  // [url="…"]
      }
      std::optional<std::string> v = t.tag == kUrl ? AttributeUrl(arg, true) : AttributeMailto(arg);
      if (!v) return std::nullopt;
      return Keep("<a href=\"" + *v + (t.tag == kUrl ? "\" target=\"_blank\">" : "\">"));
    }
    case kList:
      if (!t.has_arg) return "<ul>";
      if (arg != "1" && arg != "a" && arg != "A" && arg != "i" && arg != "I") return std::nullopt;
      *list_type = arg;
      return Keep("<ol type=\"" + std::string(arg) + "\">");
    default:
      return std::nullopt;
  }
}

bool Converter::OnOpen(const Token& t, size_t pos) {
  if (stack_.size() >= kMaxDepth) return false;
  std::string_view list_type;
  std::optional<std::string_view> html = OpenHtml(t, &list_type);
  if (!html) return false;
  Push(t, pos, *html, list_type);
  return true;
}

void Converter::Push(const Token& t, size_t pos, std::string_view html,
                     std::string_view list_type) {
  size_t slot = AddSlot(in_.substr(pos, t.end - pos), Kind::kOpen);
  stack_.push_back({t.tag, slot, html, list_type, t.arg, items_.size()});
  ++open_count_[t.tag];
}

// [*] ends the list's current item, if any, and starts the next.
bool Converter::OnItem(const Token& t, size_t pos) {
  if (t.has_arg || open_count_[kList] == 0) return false;
  if (stack_.size() >= kMaxDepth && stack_.back().tag != kItem) return false;
  while (stack_.back().tag != kList && stack_.back().tag != kItem) Drop();
  if (stack_.back().tag == kItem) FinishItem();
  Push(t, pos, "<li>", {});
  return true;
}

// A closing tag closes the nearest open element of its kind; the elements opened after that one
// were not closed in order and stay text.
bool Converter::OnClose(Tag tag) {
  if (open_count_[tag] == 0) return false;
  while (stack_.back().tag != tag) {
    if (tag == kList && stack_.back().tag == kItem && stack_[stack_.size() - 2].tag == kList) {
      FinishItem();
    } else {
      Drop();
    }
  }
  Finish();
  return true;
}

void Converter::Drop() {
  const Open& o = stack_.back();
  --open_count_[o.tag];
  if (o.tag == kList) items_.resize(o.items_begin);
  stack_.pop_back();
}

void Converter::FinishItem() {
  const Open& o = stack_.back();
  --open_count_[kItem];
  items_.push_back({o.slot, AddSlot({}, Kind::kItemEnd)});  // becomes "</li>" with its list
  stack_.pop_back();
}

void Converter::RenderOpen(size_t slot, std::string_view html) {
  slots_[slot].text = html;
  // A break right after a block's opening tag got a slot of its own (see AddBreak).
  if (slot + 1 < slots_.size() && slots_[slot + 1].kind == Kind::kBreak &&
      slots_[slot + 1].at == slots_[slot].at) {
    slots_[slot + 1].text = {};
  }
}

void Converter::Finish() {
  Open o = stack_.back();
  stack_.pop_back();
  --open_count_[o.tag];
  bool empty_link = (o.tag == kUrl || o.tag == kEmail) && Follows(o.slot);
  RenderOpen(o.slot, o.html);
  if (empty_link) Add(TrimBlanks(o.arg));  // [url=…][/url] shows the address
  if (o.tag == kList) {
    for (size_t k = o.items_begin; k < items_.size(); ++k) {
      RenderOpen(items_[k].open, "<li>");
      slots_[items_[k].close].text = "</li>";
    }
    items_.resize(o.items_begin);
  }
  std::string_view close = CloseHtml(o.tag, o.list_type);
  if (IsBlock(o.tag)) {
    CloseBlock(close);
  } else {
    Add(close);
  }
}

// Opens room for the slots' text inside out_ itself, moving text from the end backwards, so the
// result needs no second buffer.
std::string Converter::Join() {
  size_t extra = 0;
  for (const Slot& s : slots_) extra += s.text.size();
  size_t src_end = out_.size();
  out_.resize(src_end + extra);
  size_t dst_end = out_.size();
  for (size_t k = slots_.size(); k-- > 0;) {
    const Slot& s = slots_[k];
    size_t run = src_end - s.at;
    std::memmove(out_.data() + dst_end - run, out_.data() + s.at, run);
    dst_end -= run;
    if (!s.text.empty()) {
      std::memcpy(out_.data() + dst_end - s.text.size(), s.text.data(), s.text.size());
      dst_end -= s.text.size();
    }
    src_end = s.at;
  }
  return std::move(out_);
}

// ---------------------------------------------------------------------------------------------
// Smileys

constexpr Smiley kSmilies[] = {{":)", "smile.gif"},
                               {":(", "frown.gif"},
                               {":D", "biggrin.gif"},
                               {";)", "wink.gif"},
                               {":P", "tongue.gif"},
                               {":p", "tongue.gif"},
                               {":o", "eek.gif"},
                               {":O", "eek.gif"},
                               {":cool:", "cool.gif"},
                               {":mad:", "mad.gif"},
                               {":confused:", "confused.gif"},
                               {":rolleyes:", "rolleyes.gif"},
                               {":cry:", "cry.gif"},
                               {":shy:", "shy.gif"},
                               {":sleep:", "sleep.gif"},
                               {":lol:", "lol.gif"}};

// The smiley at the start of `s`, if any. A code ending in a letter must not run into a word, so
// "12:Oslo" and "C:Data" stay text.
const Smiley* SmileyAt(std::string_view s) {
  for (const Smiley& m : kSmilies) {
    if (s.substr(0, m.code.size()) != m.code) continue;
    if (IsAlpha(m.code.back()) && m.code.size() < s.size() && IsAlnum(s[m.code.size()])) continue;
    return &m;
  }
  return nullptr;
}

// The end of what must be copied unchanged from `i`: a tag, a <pre> block, or a reference.
size_t SkipMarkup(std::string_view s, size_t i) {
  if (s[i] == '<') {
    if (StartsWithNoCase(s.substr(i), "<pre>")) {
      size_t end = s.find("</pre>", i);
      return end == npos ? s.size() : end + 6;
    }
    size_t end = s.find('>', i);
    return end == npos ? s.size() : end + 1;
  }
  size_t j = i + 1;
  while (j < s.size() && j - i <= 10 && (IsAlnum(s[j]) || s[j] == '#')) ++j;
  return j < s.size() && s[j] == ';' ? j + 1 : j;
}

}  // namespace

std::string ToHtml(std::string_view encoded) { return Converter(encoded).Run(); }

std::string SmiliesToHtml(std::string_view html) {
  static const std::vector<std::string> kImages = [] {
    std::vector<std::string> tags;
    for (const Smiley& m : kSmilies) {
      tags.push_back("<img src=\"images/smilies/" + std::string(m.image) +
                     "\" border=\"0\" align=\"absmiddle\" alt=\"" + std::string(m.code) + "\">");
    }
    return tags;
  }();
  std::string out;
  size_t run = 0;
  size_t i = 0;
  while (i < html.size()) {
    char c = html[i];
    if (c == '<' || c == '&') {
      i = SkipMarkup(html, i);
      continue;
    }
    const Smiley* m = (c == ':' || c == ';') ? SmileyAt(html.substr(i)) : nullptr;
    if (m == nullptr) {
      ++i;
      continue;
    }
    if (out.empty()) out.reserve(html.size() + html.size() / 4);
    out.append(html, run, i - run);
    out += kImages[m - kSmilies];
    i += m->code.size();
    run = i;
  }
  out.append(html, run, npos);
  return out;
}

std::span<const Smiley> Smilies() { return kSmilies; }

}  // namespace cb
