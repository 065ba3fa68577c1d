// Percent-encoding of bytes: hex digit values, escapes written and read.
#include "runtime/percent.h"

namespace cb {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendPercentEscape(unsigned char c, std::string& out) {
  out.push_back('%');
  out.push_back(kHexDigits[c >> 4]);
  out.push_back(kHexDigits[c & 0x0F]);
}

std::string PercentDecode(std::string_view raw, bool plus_is_space, bool* ok) {
  if (ok) *ok = true;
  std::string bytes;
  bytes.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const char ch = raw[i];
    if (ch == '+' && plus_is_space) {
      bytes.push_back(' ');
    } else if (ch != '%') {
      bytes.push_back(ch);
    } else if (i + 2 < raw.size() && HexValue(raw[i + 1]) >= 0 && HexValue(raw[i + 2]) >= 0) {
      bytes.push_back(static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2])));
      i += 2;
    } else {
      if (ok) *ok = false;
      bytes.push_back('%');
    }
  }
  return bytes;
}

std::optional<std::string> PercentDecodePath(std::string_view raw) {
  bool ok = true;
  std::string path = PercentDecode(raw, /*plus_is_space=*/false, &ok);
  if (!ok) return std::nullopt;
  return path;
}

}  // namespace cb
