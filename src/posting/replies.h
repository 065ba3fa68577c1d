// The reply forms' checks as data, apart from the pages so that tests drive them. The
// submission's checks are those of every posting form (posting/post_form.h).
#pragma once

#include <optional>

namespace cb {

// Where reply and replywquote stop instead of writing the form, in the order they check.
enum class ReplyFormStop {
  kBadParameters,  // "topic" (and "quotenum") not accepted
  kNoForum,        // the forum of the address is gone
  kPrivate,        // that forum is private and this session was not admitted: its sign-in form
  kNoTopic,        // no topic of that number
  kTopicPrivate,   // the topic's own forum does not admit this session: that forum's form
  kClosed,         // the topic is closed
};

// What the form knows at each step; the facts read later stay empty until read.
struct ReplyFormFacts {
  bool parameters_ok = false;
  std::optional<bool> forum{};
  std::optional<bool> admitted{};
  std::optional<bool> topic{};
  std::optional<bool> topic_forum_admitted{};  // read only when the topic lies in another forum
  std::optional<bool> closed{};
};
std::optional<ReplyFormStop> ReplyFormRefusal(const ReplyFormFacts& f);
// The message of a stop ("" for the two that show a form); with_quote: replywquote's texts.
const char* ReplyFormStopText(ReplyFormStop stop, bool with_quote);

}  // namespace cb
