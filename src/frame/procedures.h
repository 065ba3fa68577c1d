// The shared text and value procedures: name checks, lists, the address block list, SQL quoting,
// date texts, IP masking, abbreviation, member titles, random codes and the folder of generated
// files. The checks against the member register are in members/member_checks.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <optional>

#include "frame/settings.h"
#include "host/context.h"
#include "runtime/datetime.h"
#include "runtime/random.h"
#include "runtime/variant.h"

namespace cb {

// Trims text in place (the caller sees the trimmed value); true when it is non-empty, at most
// limit characters (0: no limit) and only ASCII letters, digits or double-byte characters.
bool CheckUserName(std::string& text, long limit);
// value equals one of the ","-separated items of list, exactly.
bool InList(std::string_view list, std::string_view value);
// False when the RejectiveIP setting lists address exactly.
bool IsAllowedIP(const Settings& s, std::string_view address);
// A messenger number (ICQ, OICQ) as the member forms take it: empty, or at most
// kMessengerNumberLength ASCII digits. Registration and the profile page refuse anything else
// with kMessengerNumberMessage.
constexpr size_t kMessengerNumberLength = 10;
bool CheckMessengerNumber(std::string_view number);
extern const char* const kMessengerNumberMessage;
// text as the inside of a single- or double-quoted script string in a "javascript:" address:
// every character but ASCII letters and digits becomes \xNN or \uNNNN, so that neither the
// address's percent-decoding nor the attribute's character references can end the string.
std::string ScriptStringInAddress(std::string_view text);
// The last-visit cookie is written under this one spelling. A browser may still hold it under
// another letter case from before, so it is read under any case, the latest date winning.
inline constexpr const char* kLastVisitCookie = "LastLoginDT";
std::optional<DateTime> LastVisitCookie(const Request& request);
// True when value is numeric, fits a 32-bit integer after rounding and is greater than 0. Never
// raises.
bool ToLong(const Variant& value);
// The page of a paged list a request asks for: 1 unless value passes ToLong, else value as a
// 16-bit number (raising the overflow beyond it).
int16_t PageNumber(const Variant& value);
// The value as text with every "'" doubled, for use between single quotes in SQL.
std::string SqlQuote(const Variant& value);
// "yyyy-mm-dd <FONT COLOR=TimeColor>Hh:Nn:Ss</font>"; a null time gives empty texts.
std::string FormatPostTime(const Settings& s, const Variant& time);
std::string FormatLastPostTime(const Settings& s, const Variant& time);
// "10.1.2.3" gives "10.1.2.*".
std::string MaskIP(std::string_view address);
// The first length characters and "......" when text is longer.
std::string Abbreviate(std::string_view text, int16_t length);
// The title and icons of a member from status and post count (levels at MemberMinimum multiples).
void UserTitle(const Settings& s, const Variant& status, const Variant& post_count,
               std::string& icons, std::string& title);

// length characters: each a digit, an upper-case or a lower-case letter (kind first, equally
// likely, then uniformly within the kind). Used for members' passwords: pages pass the
// environment's source.
std::string RandomText(long length, Random& random = SecureRandom::Shared());

// The folder of the board's generated files of one kind: <data folder>/generated/<name>, created
// when missing. The server publishes it at /<name>/ (e.g. the news scripts at /js/N.js).
std::string LibraryFolder(const std::string& data_dir, const std::string& name);

}  // namespace cb
