// Pieces the private-message pages share: the mailbox tops, the refusal texts, and the decisions
// of sending, deleting and the ignore list as pure functions over what the pages loaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/settings.h"

namespace cb {

// The mailbox link row (GetNavbar) and the heading cells of the "CBK" top.
extern const char* const kPmNavbar;
extern const char* const kListTitleCell;  // inbox, outbox, ignore list
extern const char* const kPageTitleCell;  // message view, message form
// The top of a mailbox page: "CBK" the logo, the title cell and the link row; "CLUB" the club
// header (club_header); any other layout nothing.
std::string MailboxTop(const Settings& s, const char* title_cell, const std::string& club_header);

// The two boxes: their texts, their list query up to the member's name, and the column that
// names their owner.
struct BoxKind {
  bool inbox;
  const char* title;          // page title before BBName
  const char* delete_action;  // the hidden action of the list's form
  const char* name_caption;   // the column of the other party
  const char* time_caption;
  std::string list_query;  // ... where <owner>=' (the member's name and the rest follow)
  const char* empty_text;
  const char* view_link;  // followed by the message number
  const char* other;      // the column of the other party
  const char* pager_addon;
  const char* delete_query;  // followed by the message number
  const char* owner;         // the column that names the box's owner
  const char* back;          // where the wait page goes after deleting
};
extern const BoxKind kInbox;
extern const BoxKind kOutbox;

// The refusal of the sign-in and of a session whose member no longer signs in.
extern const char* const kAccountProblem;
extern const char* const kSignInBarred;

// Sending: the refusals in the order they are checked. A session's account is checked again
// before the flood guard, since the member may have been barred or changed password since.
enum class PostRefusal {
  kNone,
  kAddress,      // the remote address is listed in RejectiveIP
  kEmpty,        // recipient, subject or message empty (after trimming)
  kAccount,      // the session's name and password no longer sign in
  kBarred,       // the member has lost the posting right
  kFlood,        // within SubmitInterval of the last accepted submission
  kNoRecipient,  // no member of that name
  kIgnored,      // the recipient ignores the sender
};
struct PostFacts {
  bool address_allowed = true;
  std::string recipient, subject, message;  // as they will be stored
  bool account_ok = true;
  bool can_post = true;
  bool submit_due = true;  // the flood guard's answer; asked only when nothing before it refuses
  bool recipient_exists = true;
  bool ignored = false;
};
PostRefusal DecidePostPM(const PostFacts& f);
// The page's message for a refusal; address and recipient are shown as text.
std::string PostRefusalMessage(PostRefusal r, const Settings& s, std::string_view address,
                               std::string_view recipient);

// The ignore list: adding a name.
enum class IgnoreRefusal { kNone, kSelf, kNoMember, kAlreadyListed };
// name is the requested name; canonical the member's name as registered ("" when none).
IgnoreRefusal DecideAddIgnore(std::string_view member, std::string_view name,
                              std::string_view canonical, bool already_listed);
const char* IgnoreRefusalMessage(IgnoreRefusal r);

// The message numbers of the ticked "delete" boxes: only whole positive numbers name a message;
// anything else is left out.
std::vector<int32_t> MessageNumbers(const std::vector<std::string>& values);

// "2001年5月9日": a date in the long form of the board's language.
std::string LongDateText(int year, int month, int day);

}  // namespace cb
