// Pieces of the editing and moderation pages: the identification rows, the top with a heading,
// the identification form of the delete, close and open pages, and two small readings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/settings.h"
#include "host/context.h"

namespace cb {

class Connection;
class Corkboard;
struct PostFacts;

// The request came as a POST.
bool IsPostRequest(const Request& request);
// A post's parentid names no topic: the post is a topic (older rows may carry 0).
bool IsTopicParent(const Variant& parentid);

// The user-name and password rows, pre-filled from the cookies, on the two column colours.
struct IdentityLabels {
  std::string_view name;
  std::string_view password;
  std::string_view label_cell = "";  // attributes of the label cells, e.g. " colspan=2"
  bool lost_password_link = false;   // "忘了你的密码？" after the password field
};
std::string IdentityRows(const Settings& s, const Request& request, const IdentityLabels& labels);

// "CBK": the logo beside the heading centred in the title colour; "CLUB": ClubPageTop.
std::string HeadingTop(const Settings& s, std::string_view heading);
// The top of an edit form, "CBK": the logo beside two labelled lines (where the post is, its
// subject); "CLUB": ClubPageTop. Both values are written as given (already HTML).
std::string EditFormTop(const Settings& s, std::string_view place_label, std::string_view place,
                        std::string_view subject_label, std::string_view subject);

// The identification form that DeletePost and CloseThread show before they act: the top, the
// form "Authorize" posting to posting.asp with the hidden fields (already markup), the note, the
// strip row, the identity rows when the session is not signed in, and the button.
struct AuthorizeForm {
  std::string_view heading;
  std::string hidden_fields;
  std::string strip_text;
  bool signed_in = false;
};
std::string AuthorizeFormText(const Settings& s, const Request& request, const AuthorizeForm& f);

// The topic a moderation page acts on.
struct TopicRow {
  int32_t id = 0;
  std::string forum;
  std::string subject;  // HTML-encoded
};
// Reads post id into f (found, a topic, admitted to its own forum by page's session).
TopicRow LoadTopic(Corkboard& page, Connection& con, const Server& server, int32_t id,
                   PostFacts& f);

}  // namespace cb
