// What the member's own pages share (the sign-in form and its guarded check, the address checks,
// the limits on mail the board sends for a visitor) and the decisions their tests drive as data.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "frame/settings.h"
#include "host/context.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace cb {

// ---- Sign-in forms (profile, favourites) ----

// The identity form: form_open (the "<form ...>" tag), hidden (its hidden fields), a strip with
// heading, the user-name and password rows pre-filled from the cookies, the buttons "提交验证"
// and "重置字段", and the lost-password line.
std::string IdentityForm(const Settings& s, const Request& request, std::string_view form_open,
                         std::string_view hidden, std::string_view heading);

// check (the page's own query of name and password) under the sign-in guard: false when the
// guard refuses or check fails (which counts as a failure).
bool GuardedPasswordCheck(Application& app, std::string_view address, std::string_view name,
                          DateTime now, const std::function<bool()>& check);

// A pair checked by a form stays with the visit ("Login" is left alone); the id is renewed.
void KeepMemberInSession(Session& session, const std::string& name, const std::string& password);

// ---- Member fields (registration and profile) ----

// The refusal for an e-mail address of a member form, or nullptr when it passes.
const char* EmailRefusal(std::string_view email);
extern const char* const kEmailTaken;
extern const char* const kEmailMissing;
extern const char* const kEmailInvalid;
// An address without "." or "@".
bool EmailMalformed(std::string_view email);

// ---- Mail sent for a visitor (lost password, send-to-friend) ----

// One mail to the same address within kRecipientIntervalSeconds, whoever asks for it: a page asks
// before it sends and records each mail that went out.
inline constexpr int kRecipientIntervalSeconds = 120;
bool RecipientRecentlyMailed(Application& app, std::string_view address, DateTime now);
void RecipientMailed(Application& app, std::string_view address, DateTime now);
extern const char* const kRecipientBusy;
// The flood guard's refusal on the mail pages.
std::string MailFloodMessage(const Settings& s);
// "发送邮件错误：" and the component's text, shown as text.
std::string MailErrorMessage(std::string_view error);

// ---- Profile save ----

// What a profile save is decided on: the form and the rows it was checked against.
struct ProfileSave {
  bool member_verified = false;  // the visit's pair matches a register row
  std::string member;            // that row's name
  std::string stored_password;
  std::string stored_email;
  std::string form_user;  // the hidden "username"
  std::string password;   // "password"
  std::string password1;  // "Password1"
  std::string old_password;
  std::string email;
  std::string oicq;
  std::string icq;
  bool email_taken = false;    // another member has the address and the board allows only one
  bool guard_refused = false;  // the sign-in guard holds the member's name back for now
};
// Does the save change the password or the address (then the current password is asked for)?
bool ProfileSaveNeedsOldPassword(const ProfileSave& save);
// The refusal of a save in the order the page checks, or nullptr when it may be written. Trims
// the new password in place, as its check does (the trimmed one is stored).
const char* ProfileSaveRefusal(ProfileSave& save);
extern const char* const kProfileNotMember;
extern const char* const kProfileOldPassword;

// ---- Preferences ----

// The name-storage preference a cookie gives: "yes" unless it says "no".
bool NameStorageShown(std::string_view cookie);
// The day filter a cookie gives: its absolute value, or fallback when it is missing, not a number
// or out of range.
int16_t DaysPruneShown(std::string_view cookie, int16_t fallback);

// ---- Send-to-friend ----

// The friend's mail body: the visitor's message as text (line breaks kept), except the link to
// the page that the form writes (<a href=U>U</a>, U an address under board_url), which stays a
// link.
std::string FriendMailBody(std::string_view message, std::string_view board_url);
// The address to return to after the mail: the referring page when it is on this board, made
// relative, else "default.asp"; ready for the wait page.
std::string FriendReturnAddress(std::string_view forward_url, std::string_view board_url);

// ---- Values of register rows ----

// A flag column (emailview, allowmassmail...) that is set; null counts as not set.
bool FlagSet(const Variant& value);

// ---- Text in attributes ----

// An attribute value as the pages write it unquoted when that is safe, else quoted and encoded.
std::string AttributeValue(std::string_view value);

}  // namespace cb
