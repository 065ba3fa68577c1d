// Fields in one text, and the escapes that let it live in a database text column.
#include "runtime/fields.h"

#include <charconv>
#include <cstdio>

#include "runtime/gbk.h"

namespace cb {

std::string EscapeForText(std::string_view s) {
  const bool utf8 = IsValidUtf8(s);
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c == 0 || c == '%' || (!utf8 && c >= 0x80)) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned value = 0;
    if (s[i] == '%' && i + 2 < s.size() &&
        std::from_chars(s.data() + i + 1, s.data() + i + 3, value, 16).ptr == s.data() + i + 3) {
      out += static_cast<char>(value);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

void PutField(std::string& out, std::string_view field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}

std::optional<std::string_view> TakeField(std::string_view& in) {
  size_t colon = in.find(':');
  size_t size = 0;
  if (colon == std::string_view::npos ||
      std::from_chars(in.data(), in.data() + colon, size).ptr != in.data() + colon ||
      size > in.size() - colon - 1) {
    return std::nullopt;
  }
  std::string_view field = in.substr(colon + 1, size);
  in.remove_prefix(colon + 1 + size);
  return field;
}

}  // namespace cb
