// Return addresses: a browser decodes character references in an attribute before it reads the
// address, and a "javascript:" address is percent-decoded before it runs, so the check looks at
// the address in every form the browser may see it in.
#include "frame/board_address.h"

#include <cstdint>
#include <optional>

#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "runtime/percent.h"

namespace cb {

namespace {

constexpr const char* kHome = "default.asp";
constexpr int kMaxRounds = 4;  // nested encodings deeper than this are refused outright

bool IsHex(char c) { return HexValue(c) >= 0; }

bool IsControlOrBlank(unsigned char c) { return c <= 0x20 || c == 0x7f; }

std::string Utf8(uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  std::string out;
  AppendUtf8(out, cp);
  return out;
}

// The named references that give characters which matter to an address (ASCII punctuation and
// blanks; "&nbsp;" is read as a plain blank, which is stricter). Others give characters no scheme
// or path separator is made of.
struct Named {
  const char* name;
  const char* text;
};
constexpr Named kNamed[] = {
    {"tab", "\t"},   {"newline", "\n"}, {"nbsp", " "},     {"excl", "!"},   {"quot", "\""},
    {"num", "#"},    {"dollar", "$"},   {"percnt", "%"},   {"amp", "&"},    {"apos", "'"},
    {"lpar", "("},   {"rpar", ")"},     {"ast", "*"},      {"midast", "*"}, {"plus", "+"},
    {"comma", ","},  {"period", "."},   {"sol", "/"},      {"colon", ":"},  {"semi", ";"},
    {"lt", "<"},     {"equals", "="},   {"gt", ">"},       {"quest", "?"},  {"commat", "@"},
    {"lsqb", "["},   {"lbrack", "["},   {"bsol", "\\"},    {"rsqb", "]"},   {"rbrack", "]"},
    {"hat", "^"},    {"lowbar", "_"},   {"underbar", "_"}, {"grave", "`"},  {"lcub", "{"},
    {"lbrace", "{"}, {"verbar", "|"},   {"vert", "|"},     {"rcub", "}"},   {"rbrace", "}"},
};
// Read by browsers even without the closing ";".
constexpr const char* kLegacy[] = {"amp", "lt", "gt", "quot"};

struct Reference {
  std::string text;
  size_t length;  // bytes of the reference in the source
};

// The character reference starting at s[at] == '&', as a browser reads it (letter case ignored,
// which only makes the check stricter).
std::optional<Reference> ReferenceAt(std::string_view s, size_t at) {
  size_t i = at + 1;
  if (i < s.size() && s[i] == '#') {
    ++i;
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    if (hex) ++i;
    const size_t digits_start = i;
    uint32_t cp = 0;
    while (i < s.size() && (hex ? IsHex(s[i]) : (s[i] >= '0' && s[i] <= '9'))) {
      if (cp <= 0x10FFFF) cp = cp * (hex ? 16 : 10) + (hex ? HexValue(s[i]) : s[i] - '0');
      ++i;
    }
    if (i == digits_start) return std::nullopt;
    if (i < s.size() && s[i] == ';') ++i;
    return Reference{Utf8(cp), i - at};
  }
  size_t end = i;
  while (end < s.size() && IsAsciiAlnum(s[end])) ++end;
  if (end == i) return std::nullopt;
  const std::string name = ToLower(s.substr(i, end - i));
  const bool closed = end < s.size() && s[end] == ';';
  bool legacy = false;
  for (const char* l : kLegacy) legacy = legacy || name == l;
  if (!closed && !legacy) return std::nullopt;
  for (const Named& n : kNamed) {
    if (name == n.name) return Reference{n.text, end + (closed ? 1 : 0) - at};
  }
  return std::nullopt;
}

std::string DecodeReferences(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '&') {
      if (auto ref = ReferenceAt(s, i)) {
        out += ref->text;
        i += ref->length;
        continue;
      }
    }
    out += s[i++];
  }
  return out;
}

// Applies decode until the text stops changing; nullopt when it still changes after kMaxRounds.
template <class Decode>
std::optional<std::string> FullyDecoded(std::string_view s, Decode decode) {
  std::string text(s);
  for (int round = 0; round < kMaxRounds; ++round) {
    std::string next = decode(text);
    if (next == text) return text;
    text = std::move(next);
  }
  return std::nullopt;
}

// The part before the query or fragment: where a scheme, a host or a backslash would act.
std::string_view Head(std::string_view s) { return s.substr(0, s.find_first_of("?#")); }

bool RelativeHead(std::string_view head) {
  if (head.starts_with("//")) return false;
  for (unsigned char c : head) {
    if (c == ':' || c == '\\' || IsControlOrBlank(c)) return false;
  }
  return true;
}

}  // namespace

bool IsBoardAddress(std::string_view url) {
  if (url.empty()) return false;
  for (unsigned char c : url) {
    if (IsControlOrBlank(c) || c == '\\') return false;
  }
  if (!RelativeHead(Head(url))) return false;
  // What the browser reads from the attribute: blanks or controls there are never ours.
  const auto shown = FullyDecoded(url, DecodeReferences);
  if (!shown) return false;
  for (unsigned char c : *shown) {
    if (IsControlOrBlank(c)) return false;
  }
  if (!RelativeHead(Head(*shown))) return false;
  // What a script address would run: the query may hold blanks (forum names), the head not.
  const auto decoded =
      FullyDecoded(*shown, [](std::string_view t) { return PercentDecode(t, false); });
  return decoded && RelativeHead(Head(*decoded));
}

std::string BoardReturnAddress(std::string_view url) {
  if (!IsBoardAddress(url)) return kHome;
  std::string safe;
  for (size_t i = 0; i < url.size(); ++i) {
    const char c = url[i];
    switch (c) {
      case '"':
        safe += "%22";
        break;
      case '\'':
        safe += "%27";
        break;
      case '<':
        safe += "%3C";
        break;
      case '>':
        safe += "%3E";
        break;
      case '&': {
        // "&name;" that this check does not know may still be a reference to the browser.
        size_t end = i + 1;
        while (end < url.size() && IsAsciiAlnum(url[end])) ++end;
        const bool maybe_reference =
            ReferenceAt(url, i).has_value() || (end > i + 1 && end < url.size() && url[end] == ';');
        safe += maybe_reference ? "&amp;" : "&";
        break;
      }
      default:
        safe += c;
    }
  }
  return safe;
}

}  // namespace cb
