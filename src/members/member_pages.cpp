// The pieces the member pages share: the sign-in form and its guarded check, the address checks of
// the member forms, the limits on mail sent for a visitor, and the decisions of the member pages.
#include "members/member_pages.h"

#include <cstdlib>

#include "frame/board_address.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "frame/throttle.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"

namespace cb {

namespace {

constexpr size_t kRecipientCapacity = 4000;
constexpr const char* kRecipientTable = "MailRecipients";

}  // namespace

// ---- Sign-in forms ----

std::string IdentityForm(const Settings& s, const Request& request, std::string_view form_open,
                         std::string_view hidden, std::string_view heading) {
  std::string out(form_open);
  out += hidden;
  // The cookies are the visitor's own text: kept inside their attributes.
  out += s.TableBorderStart +
         "<table cellpadding=4 cellspacing=1 border=0 width=" + s.InnerTableWidth + "><tr " +
         s.TableColorStrip + "><td colspan=2><font color=" + s.TableStripTextColor + "><b>";
  out += heading;
  out += "</b></font></td></tr><tr " + s.AltColumnColor1 +
         "><td><b>用户名</b></td><td><input type=text name=UserName size=25 maxlength=25 "
         "value=\"" +
         HtmlSafe(request.Cookies("UserName").Str()) + "\"></td></tr><tr " + s.AltColumnColor2 +
         "><td><b>密码</b></td><td><input type=password name=Password size=13 maxlength=13 "
         "value=\"" +
         HtmlSafe(request.Cookies("Password").Str()) +
         "\"> <a href=cbkmisc.asp?action=lostpw>忘记了密码?</a></td></tr><tr " + s.AltColumnColor1 +
         "><td colspan=2 align=center><input type=submit value=提交验证 class=buttonface> "
         "<input type=reset value=重置字段 class=buttonface></td></tr></table>" +
         s.TableBorderEnd +
         "</form><p>我已经注册过了，天啊！我把密码给忘了？！<a "
         "href=cbkmisc.asp?action=lostpw>点这里.</a></p>";
  return out;
}

bool GuardedPasswordCheck(Application& app, std::string_view address, std::string_view name,
                          DateTime now, const std::function<bool()>& check) {
  SignInGuard guard(app, address, name, now);
  if (guard.Refused()) return false;
  if (!check()) {
    guard.Failed();
    return false;
  }
  guard.Succeeded();
  return true;
}

void KeepMemberInSession(Session& session, const std::string& name, const std::string& password) {
  session.Set("UserName", Variant(name));
  session.Set("Password", Variant(password));
  session.RenewId();
}

// ---- Member fields ----

const char* const kEmailTaken =
    "您输入的 EMail 已经有人使用，论坛规定一个 EMail 只能注册一次，请使用其它 EMail。如果您是因为"
    "遗忘了密码而重复注册，请使用论坛提供的找回丢失的密码功能取回密码或同论坛管理员联系!";

const char* const kEmailMissing = "你必须输入一个Email地址！按浏览器的后退按钮可重新处理！";
const char* const kEmailInvalid =
    "你输入的Email地址不合法，请重新输入！按浏览器的后退按钮可重新处理！";

bool EmailMalformed(std::string_view email) {
  return email.find('.') == std::string_view::npos || email.find('@') == std::string_view::npos;
}

const char* EmailRefusal(std::string_view email) {
  if (email.empty()) return kEmailMissing;
  if (EmailMalformed(email)) return kEmailInvalid;
  return nullptr;
}

// ---- Mail sent for a visitor ----

const char* const kRecipientBusy = "这个邮件地址刚刚收到过本论坛的邮件，请过两分钟再试！";

namespace {

// Runs change over the recent recipients, with those past the interval dropped.
void ChangeRecipients(Application& app, DateTime now,
                      const std::function<void(std::vector<AttemptRecord>&)>& change) {
  ChangeAttempts(app, kRecipientTable, kRecipientCapacity,
                 [&](std::vector<AttemptRecord>& records) {
                   std::erase_if(records, [&](const AttemptRecord& r) {
                     return DiffSeconds(r.last, now) > kRecipientIntervalSeconds || r.last > now;
                   });
                   change(records);
                 });
}

std::string RecipientKey(std::string_view address) { return ToLower(Trim(address)); }

}  // namespace

bool RecipientRecentlyMailed(Application& app, std::string_view address, DateTime now) {
  const std::string key = RecipientKey(address);
  bool found = false;
  ChangeRecipients(app, now, [&](std::vector<AttemptRecord>& records) {
    for (const AttemptRecord& r : records) found = found || r.key == key;
  });
  return found;
}

void RecipientMailed(Application& app, std::string_view address, DateTime now) {
  ChangeRecipients(app, now, [&](std::vector<AttemptRecord>& records) {
    records.push_back({RecipientKey(address), 1, now, now});
  });
}

std::string MailFloodMessage(const Settings& s) {
  return "论坛开启了重复递交检查功能，如果你在 " + std::to_string(s.SubmitInterval) +
         " 秒内再次发送邮件被视为重复提交,请稍待片刻后再试!";
}

std::string MailErrorMessage(std::string_view error) {
  // The component's text may repeat a typed address.
  return "发送邮件错误：" + HtmlSafe(error);
}

// ---- Profile save ----

const char* const kProfileNotMember = "对不起，你不是论坛的注册用户！";
const char* const kProfileOldPassword =
    "修改密码或 E-Mail 时必须输入正确的原密码！按浏览器的后退按钮可重新处理！";

bool ProfileSaveNeedsOldPassword(const ProfileSave& save) {
  return save.password != save.stored_password || save.email != save.stored_email;
}

const char* ProfileSaveRefusal(ProfileSave& save) {
  if (!save.member_verified || !EqualsNoCase(save.form_user, save.member)) {
    return kProfileNotMember;
  }
  if (save.password.empty()) return "口令不能为空！";
  if (save.password != save.password1) return "两口令不符，请修改";
  // The check trims the password, and the trimmed one is stored.
  if (!CheckUserName(save.password, 10)) {
    return "口令输入错误，请用英文字符、数字作为您的口令，口令最大长度为10位，请检查！";
  }
  // An address kept as stored is not checked again (members added by the operator may have none).
  if (save.email != save.stored_email) {
    if (const char* refusal = EmailRefusal(save.email)) return refusal;
  }
  if (!CheckMessengerNumber(save.oicq) || !CheckMessengerNumber(save.icq)) {
    return kMessengerNumberMessage;
  }
  if (save.email_taken) return kEmailTaken;
  if (ProfileSaveNeedsOldPassword(save) &&
      (save.guard_refused || save.old_password != save.stored_password)) {
    return kProfileOldPassword;
  }
  return nullptr;
}

// ---- Preferences ----

bool NameStorageShown(std::string_view cookie) { return ToLower(cookie) != "no"; }

int16_t DaysPruneShown(std::string_view cookie, int16_t fallback) {
  const std::optional<double> n = ParseNumber(cookie);
  if (!n || std::abs(*n) > 32767) return fallback;
  return static_cast<int16_t>(std::abs(Variant(std::string(cookie)).CInt()));
}

// ---- Send-to-friend ----

namespace {

// A page address as the friend's mail may link it: under the board's address, and nothing that
// could leave the attribute.
bool LinkableBoardAddress(std::string_view url, std::string_view board_url) {
  if (board_url.empty() || !StartsWithNoCase(url, board_url)) return false;
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`') {
      return false;
    }
  }
  return true;
}

// Text of the message as HTML text: encoded, each line break shown as one.
std::string MailText(std::string_view text) {
  std::string out;
  for (const char c : HtmlEncode(text)) {
    if (c == '\n') out += "<br>";
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

std::string FriendMailBody(std::string_view message, std::string_view board_url) {
  std::string out;
  size_t plain = 0;  // start of the text not written yet
  for (size_t i = message.find("<a href="); i != std::string_view::npos;
       i = message.find("<a href=", i + 1)) {
    // The form's own link, <a href=U>U</a>, stays a link.
    const size_t close = message.find('>', i + 8);
    if (close == std::string_view::npos) break;
    const std::string_view url = message.substr(i + 8, close - i - 8);
    const std::string tail = std::string(url) + "</a>";
    if (!LinkableBoardAddress(url, board_url) ||
        message.compare(close + 1, tail.size(), tail) != 0) {
      continue;
    }
    out += MailText(message.substr(plain, i - plain));
    const size_t end = close + 1 + tail.size();
    out.append(message.substr(i, end - i));
    plain = end;
    i = end - 1;
  }
  return out + MailText(message.substr(plain));
}

std::string FriendReturnAddress(std::string_view forward_url, std::string_view board_url) {
  if (board_url.empty() || !StartsWithNoCase(forward_url, board_url)) return "default.asp";
  std::string_view rest = forward_url.substr(board_url.size());
  if (rest.empty()) return "default.asp";
  return BoardReturnAddress(rest);
}

// ---- Values of register rows ----

bool FlagSet(const Variant& value) { return !value.IsNull() && !value.IsEmpty() && value.CBool(); }

// ---- Text in attributes ----

std::string AttributeValue(std::string_view value) {
  return UnquotedAttribute(value, "./_-:%~?&=+,@");
}

}  // namespace cb
