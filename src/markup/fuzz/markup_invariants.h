// What any output of the markup converter must satisfy, whatever the input: only the tags and
// attributes the converter writes, balanced, links and pictures to allowed schemes only.
// Shared by the unit tests and the fuzz target.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cb::markup_check {

inline bool IsVoid(std::string_view t) { return t == "br" || t == "hr" || t == "img"; }

inline bool AllowedAttribute(std::string_view tag, std::string_view attr) {
  if (tag == "a") return attr == "href" || attr == "target";
  if (tag == "img") return attr == "src" || attr == "border" || attr == "alt" || attr == "align";
  if (tag == "font") return attr == "face" || attr == "size" || attr == "color";
  if (tag == "div") return attr == "align";
  if (tag == "ol") return attr == "type";
  return false;
}

inline bool AllowedTag(std::string_view t) {
  static constexpr std::string_view kTags[] = {
      "b", "i", "u", "div", "a", "img", "pre", "blockquote", "font", "ul", "ol", "li", "br", "hr"};
  for (std::string_view k : kTags) {
    if (t == k) return true;
  }
  return false;
}

// The attribute value as the browser reads it. We only ever write "&amp;" inside values.
inline bool DecodeValue(std::string_view v, std::string* out) {
  out->clear();
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '&') {
      if (v.substr(i, 5) != "&amp;") return false;
      i += 4;
    }
    *out += v[i];
  }
  return true;
}

inline std::string CheckValue(std::string_view tag, std::string_view attr, std::string_view raw) {
  std::string v;
  if (!DecodeValue(raw, &v)) return "reference other than &amp; in " + std::string(attr);
  // Blanks only in font names ("Arial Black"); addresses have none at all.
  bool address = attr == "href" || attr == "src";
  for (unsigned char c : v) {
    if (c < 0x20 || c == 0x7F || c == '\'' || c == '<' || c == '>' || c == '`' ||
        (c == ' ' && address)) {
      return "character " + std::to_string(c) + " in " + std::string(attr);
    }
  }
  auto starts = [&](std::string_view p) { return v.compare(0, p.size(), p) == 0; };
  if (attr == "href") {
    if (!starts("http://") && !starts("https://") && !starts("ftp://") && !starts("mailto:")) {
      return "link to " + v;
    }
  } else if (attr == "src") {
    if (!(tag == "img" && (starts("http://") || starts("https://") || starts("images/smilies/")))) {
      return "picture from " + v;
    }
  } else if (attr == "target") {
    if (v != "_blank") return "target " + v;
  } else if (attr == "align") {
    if (v != "center" && v != "absmiddle") return "align " + v;
  }
  return {};
}

// Empty when `html` holds nothing but the converter's own markup, else the first fault found.
inline std::string Check(std::string_view html) {
  std::vector<std::string> open;
  size_t i = 0;
  while (i < html.size()) {
    char c = html[i];
    if (c == '>' || c == '"')
      return "raw " + std::string(1, c) + " in text at " + std::to_string(i);
    if (c != '<') {
      ++i;
      continue;
    }
    ++i;
    bool closing = i < html.size() && html[i] == '/';
    if (closing) ++i;
    size_t name_start = i;
    while (i < html.size() && html[i] >= 'a' && html[i] <= 'z') ++i;
    std::string tag(html.substr(name_start, i - name_start));
    if (!AllowedTag(tag)) return "tag <" + tag + "> at " + std::to_string(name_start);
    while (!closing && i < html.size() && html[i] == ' ') {
      size_t a = ++i;
      while (i < html.size() && html[i] >= 'a' && html[i] <= 'z') ++i;
      std::string attr(html.substr(a, i - a));
      if (!AllowedAttribute(tag, attr)) return "attribute " + attr + " on <" + tag + ">";
      if (html.substr(i, 2) != "=\"") return "unquoted " + attr;
      size_t v = i + 2;
      size_t end = html.find('"', v);
      if (end == std::string_view::npos) return "unterminated " + attr;
      std::string fault = CheckValue(tag, attr, html.substr(v, end - v));
      if (!fault.empty()) return fault;
      if (html.substr(v, end - v).find('<') != std::string_view::npos) return "< in " + attr;
      i = end + 1;
    }
    if (i >= html.size() || html[i] != '>')
      return "malformed <" + tag + "> at " + std::to_string(i);
    ++i;
    if (closing) {
      if (open.empty() || open.back() != tag) return "</" + tag + "> closes nothing";
      open.pop_back();
    } else if (!IsVoid(tag)) {
      if (tag == "li" && (open.empty() || (open.back() != "ul" && open.back() != "ol"))) {
        return "<li> outside a list";
      }
      if (tag == "a") {
        for (const std::string& o : open) {
          if (o == "a") return "link inside a link";
        }
      }
      open.push_back(tag);
    }
  }
  if (!open.empty()) return "<" + open.back() + "> left open";
  return {};
}

}  // namespace cb::markup_check
