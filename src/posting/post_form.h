// Pieces shared by the posting forms (new topic, reply, quoted reply) and their submissions: the
// rows of the form, the acting member, and the refusal texts both submissions give.
#pragma once

#include <optional>
#include <string>

#include "frame/settings.h"
#include "host/context.h"

namespace cb {

// The session was signed in with Login.
bool SignedIn(const Session& session);

// The member a submission acts for: the session's pair when signed in, else the form's fields.
struct ActingMember {
  std::string name;
  std::string password;
};
ActingMember ReadActingMember(const Session& session, const Request& request);

// A check box of the form counts as set only when its value is "on".
bool Checked(const Variant& value);

// "<table …><A HREF=signup.asp><b>我想注册？</b></a>…": the registration link above the forms.
std::string RegisterLinkTable(const Settings& s);
// A row on the strip colour with a bold label and a text.
std::string StripRow(const Settings& s, const std::string& label, const std::string& text);
// The user-name and password rows, pre-filled from the cookies, for a session not signed in.
std::string MemberRows(const Settings& s, const Request& request);
// The fourteen icon radio buttons, icon 1 checked.
std::string IconRow(const Settings& s);
// The body row: the label, the markup notes and the editor with its initial text; before_editor
// (markup) opens the editor's cell.
std::string BodyRow(const Settings& s, const std::string& label, const std::string& initial_text,
                    const std::string& before_editor = "");
// The notes after the form; cbkcode is the address of the markup help page.
std::string MarkupNotes(const std::string& cbkcode);

// Where a submission (new topic, reply) stops instead of writing its row, in the order both
// check.
enum class PostStop {
  kAddress,          // the address is on RejectiveIP
  kNameAndPassword,  // either is empty
  kEmpty,            // new topic: no subject or no body; reply: no body
  kFlood,            // PostSubmitCheck refused
  kNotMember,        // CanPost found no member with that password
  kBarred,           // the member may not post
  kNoTopic,          // reply: the number is no topic's
  kNoForum,          // the forum is gone
  kPrivate,          // the forum is private and this session was not admitted: its sign-in form
  kClosed,           // reply: the topic is closed
};

// What a submission knows at each step; the facts read later stay empty until read, and those a
// page never reads (a new topic's kNoTopic and kClosed) never stop it.
struct SubmitFacts {
  bool address_allowed = true;
  bool named = true;        // user name and password both given
  bool has_content = true;  // new topic: subject and body; reply: body
  std::optional<bool> flood_free{};
  std::optional<bool> member{};
  std::optional<bool> may_post{};
  std::optional<bool> topic{};
  std::optional<bool> forum{};
  std::optional<bool> admitted{};
  std::optional<bool> closed{};
};
std::optional<PostStop> SubmitRefusal(const SubmitFacts& f);
// The error page's message of a stop (kPrivate has none). reply: the reply's texts where the two
// submissions differ.
std::string SubmitRefusalText(PostStop stop, const Settings& s, const std::string& address,
                            bool reply);

// Refusals of both submissions.
extern const char* const kRefusedAddressStart;
extern const char* const kRefusedAddressEnd;
extern const char* const kNameAndPassword;
extern const char* const kNotMember;
extern const char* const kBarred;
extern const char* const kClosedTopicMessage;
std::string FloodMessage(const Settings& s);

}  // namespace cb
