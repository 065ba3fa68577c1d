// The shared procedures. They write nothing to the response.
#include "frame/procedures.h"

#include <filesystem>

#include "runtime/convert.h"
#include "runtime/percent.h"
#include "runtime/script_error.h"

namespace cb {

namespace {

// Splits at every "," and tests each item exactly (no trimming).
bool ListHas(std::string_view list, std::string_view value) {
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    std::string_view item =
        list.substr(start, comma == std::string_view::npos ? comma : comma - start);
    if (item == value) return true;
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
}

// Null and empty times show as empty texts, as the legacy Format gives them.
bool NoTime(const Variant& t) { return t.IsNull() || t.IsEmpty(); }

int16_t Times16(int factor, int16_t m) {
  int product = factor * m;
  if (product < INT16_MIN || product > INT16_MAX) throw ScriptError(err::kOverflow, "溢出");
  return static_cast<int16_t>(product);
}

}  // namespace

bool CheckUserName(std::string& text, long limit) {
  text = Trim(text);
  if (text.empty()) return false;
  if (limit != 0 && static_cast<long>(CharLength(text)) > limit) return false;
  // Only single-byte characters are tested: a double-byte (non-ASCII) character always passes.
  for (unsigned char c : text) {
    if (c < 0x80 && !IsAsciiAlnum(c)) return false;
  }
  return true;
}

const char* const kMessengerNumberMessage =
    "ICQ 和 OICQ 号码只能输入数字，最多10位！按浏览器的后退按钮可重新处理！";

bool CheckMessengerNumber(std::string_view number) {
  if (number.size() > kMessengerNumberLength) return false;
  for (unsigned char c : number) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string ScriptStringInAddress(std::string_view text) {
  const char* const kHex = kLowerHexDigits;
  std::string out;
  auto escape = [&](uint32_t cp) {
    if (cp < 0x100) {
      out += "\\x";
      out += kHex[cp >> 4];
      out += kHex[cp & 15];
      return;
    }
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 15];
  };
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = text[i];
    if (IsAsciiAlnum(c)) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // The code point of a UTF-8 sequence; a broken one shows as U+FFFD.
    size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    uint32_t cp = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char cont = text[i + k];
      valid = (cont & 0xC0) == 0x80;
      cp = (cp << 6) | (cont & 0x3F);
    }
    if (!valid) {
      escape(0xFFFD);
      ++i;
      continue;
    }
    if (cp > 0xFFFF) {
      // Outside the basic plane a script string holds a surrogate pair.
      cp -= 0x10000;
      escape(0xD800 + (cp >> 10));
      escape(0xDC00 + (cp & 0x3FF));
    } else {
      escape(cp);
    }
    i += length;
  }
  return out;
}

std::optional<DateTime> LastVisitCookie(const Request& request) {
  std::optional<DateTime> latest;
  for (const auto& [name, value] : request.cookies().all()) {
    if (!EqualsNoCase(name, kLastVisitCookie)) continue;
    const std::optional<DateTime> d = DateTime::Parse(value);
    if (d && (!latest || *d > *latest)) latest = d;
  }
  return latest;
}

bool InList(std::string_view list, std::string_view value) {
  return !list.empty() && ListHas(list, value);
}

bool IsAllowedIP(const Settings& s, std::string_view address) {
  return s.RejectiveIP.empty() || !ListHas(s.RejectiveIP, address);
}

bool ToLong(const Variant& value) {
  try {
    return IsNumeric(value) && value.CLng() > 0;
  } catch (const ScriptError&) {
    return false;  // out of the 32-bit range
  }
}

int16_t PageNumber(const Variant& value) { return ToLong(value) ? value.CInt() : int16_t{1}; }

std::string LikeLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '%' || c == '_' || c == '[') {
      out += '[';
      out += c;
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

std::string SqlQuote(const Variant& value) {
  std::string text = value.Str();
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string FormatPostTime(const Settings& s, const Variant& time) {
  DateTime t;
  const bool none = NoTime(time);
  if (!none) t = time.CDate();
  return (none ? "" : t.Ymd()) + " <FONT COLOR=" + s.TimeColor + ">" + (none ? "" : t.Hms()) +
         "</font>";
}

std::string FormatLastPostTime(const Settings& s, const Variant& time) {
  DateTime t;
  const bool none = NoTime(time);
  if (!none) t = time.CDate();
  return "<font class=lastlyposttime>" + (none ? "" : t.Ymd()) +
         "</font>&nbsp;<FONT class=lastlyposttime COLOR=" + s.TimeColor + ">" +
         (none ? "" : t.Hms()) + "</font>";
}

std::string MaskIP(std::string_view address) {
  size_t dot = address.rfind('.');
  if (dot == std::string_view::npos) return std::string(address);
  return std::string(address.substr(0, dot + 1)) + "*";
}

std::string Abbreviate(std::string_view text, int16_t length) {
  if (static_cast<long>(CharLength(text)) <= length) return std::string(text);
  if (length < 0) throw ScriptError(err::kInvalidProcedureCall, "无效的过程调用或参数");
  return LeftChars(text, static_cast<size_t>(length)) + "......";
}

void UserTitle(const Settings& s, const Variant& status, const Variant& post_count,
               std::string& icons, std::string& title) {
  const std::string role = status.IsNull() ? "" : ToLower(status.Str());
  if (role == "administrator" || role == "moderater") {
    title = role == "administrator" ? "管理员" : "版主";
    icons = "<img src=icon/admin.gif vspace=5>";
    return;
  }
  const int16_t m = s.MemberMinimum;
  const int16_t three_m = Times16(3, m);  // 16-bit, as the levels have always been computed
  const int16_t two_m = Times16(2, m);
  // A null count compares false everywhere and gives the first level.
  const bool known = !post_count.IsNull();
  const double posts = known ? post_count.CDbl() : 0;
  if (known && posts > three_m) {
    title = "终极用户";
    icons = "<img src=icon/user1.gif vspace=5>&nbsp;<img src=icon/user1.gif vspace=5>";
  } else if (known && posts > two_m) {
    title = "超级用户";
    icons = "<img src=icon/user1.gif vspace=5>&nbsp;<img src=icon/user.gif vspace=5>";
  } else if (known && posts > m) {
    title = "高级用户";
    icons = "<img src=icon/user1.gif vspace=5>";
  } else {
    title = "初级用户";
    icons = "<img src=icon/user.gif vspace=5>";
  }
}

std::string RandomText(long length, Random& random) {
  std::string out;
  for (long i = 0; i < length; ++i) {
    switch (random.Uniform(3)) {
      case 0:
        out += static_cast<char>('0' + random.Uniform(10));
        break;
      case 1:
        out += static_cast<char>('A' + random.Uniform(26));
        break;
      default:
        out += static_cast<char>('a' + random.Uniform(26));
        break;
    }
  }
  return out;
}

std::string LibraryFolder(const std::string& data_dir, const std::string& name) {
  std::filesystem::path folder = std::filesystem::path(data_dir) / "generated" / name;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw ScriptError(err::kInvalidProcedureCall, "无法创建文件夹 " + folder.string());
  return folder.string();
}

}  // namespace cb
