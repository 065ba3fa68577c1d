// Who may change which post, and the order in which the editing and moderation pages refuse:
// pure functions over the facts a page has gathered, so that tests can drive them as tables.
#pragma once

#include <cstdint>
#include <string>

namespace cb {

// CheckModerator's answer for the post's own forum.
namespace role {
constexpr int16_t kNotMember = -1;
constexpr int16_t kMember = 0;
constexpr int16_t kAdministrator = 1;
constexpr int16_t kModerator = 2;
}  // namespace role

enum class PostAction {
  kEdit,               // change a post through the edit form
  kDeleteThroughEdit,  // the edit form's delete box
  kModerate,           // delete a whole topic, close, open, move or archive it
};

// Members act on their own posts only, moderators of the post's forum and administrators on any
// post; moderation is theirs alone. own: the post's author is the acting member (exact names).
bool MayActOnPost(int16_t acting_role, bool own, PostAction action);

// What a page learned about the post it was asked to act on, in the order it learned it.
struct PostFacts {
  bool number_ok = true;  // the post number passed ToLong
  bool forum_ok = true;   // the forum exists (checked where the page checks it)
  bool found = false;     // the post exists
  bool is_topic = false;  // it is a topic (no parent)
  bool admitted = true;   // its forum is public or admits this session
  int16_t role = role::kNotMember;
  bool own = false;
};

enum class Verdict { kProceed, kRefuse, kPrivateForum };
struct Decision {
  Verdict verdict = Verdict::kProceed;
  const char* message = nullptr;  // the error page's text when refused

  bool operator==(const Decision&) const = default;
};

// The edit form (EditPost).
Decision DecideEditForm(const PostFacts& f);

// The edit form's submission (SubmitEdit). subject_blank counts only for a topic.
struct EditSubmission {
  bool deleting = false;
  bool subject_blank = false;
  bool body_blank = false;
};
Decision DecideSubmitEdit(const PostFacts& f, const EditSubmission& e);

// DeletePost: posted is false for its identification form.
Decision DecideDeleteTopic(const PostFacts& f, bool posted);

// CloseThread. action_ok: the action is one of its three; which: the posted "Which".
Decision DecideCloseThread(const PostFacts& f, bool action_ok, bool posted,
                           const std::string& which);

// Transfer. On a post: archive names the archive branch; destination_ok says the chosen forum
// or archive exists (and is not the topic's own forum); already_archived the topic is in it.
struct TransferRequest {
  bool posted = false;
  bool archive = false;
  bool destination_ok = false;
  bool already_archived = false;
};
Decision DecideTransfer(const PostFacts& f, const TransferRequest& t);

// CopyPost.
Decision DecideCopyPost(const PostFacts& f);

}  // namespace cb
