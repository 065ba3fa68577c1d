// Who may change which archived thread, and the order in which the archive pages refuse: pure
// functions over what a page has gathered, so that tests drive them as tables. Also the reading
// of the mail-a-post page's address list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "posting/moderation_rules.h"
#include "runtime/variant.h"

namespace cb {

// What a page learned about the archived post it was asked to act on.
struct ArchivedFacts {
  bool number_ok = true;            // the post number passed ToLong
  bool found = false;               // the post is in an archive
  bool is_topic = false;            // it is a topic (no parent)
  bool posted = false;              // the request came as a POST
  int16_t role = role::kNotMember;  // CheckModerator for the forum the thread came from
  bool own = false;                 // the acting member wrote the post
};

// The archive pages' "page": empty is page 1, else a whole number (its 16-bit value) or nothing.
std::optional<int16_t> ArchivePageNumber(const Variant& value);

// TransferArchive. target_ok: the chosen archive exists; already_there: the thread is in it.
Decision DecideTransferArchive(const ArchivedFacts& f, bool target_ok, bool already_there);

// DeleteArchive.
Decision DecideDeleteArchive(const ArchivedFacts& f);

// ArchiveEditPost (the form only: rights are checked when it is sent).
Decision DecideArchiveEditForm(const ArchivedFacts& f);

// ArchiveSubmitEdit. subject_blank counts only for a topic.
Decision DecideArchiveSubmitEdit(const ArchivedFacts& f, const EditSubmission& e);

// RestoreArchive: the thread goes back into a live forum. f.role combines the rights over the
// forum it came from and over the target forum; target_ok: the target exists and admits the
// session; still_live: one of the thread's posts is still in a forum.
Decision DecideRestoreArchive(const ArchivedFacts& f, bool target_ok, bool still_live);

// The acting member's rights over a thread that leaves one forum for another: the weaker of the
// two roles (not a member wins, then an ordinary member).
int16_t WeakerRole(int16_t from_forum, int16_t to_forum);

// Pack: the addresses of the "email" field, split at ","; each trimmed; empty items dropped.
std::vector<std::string> SplitAddresses(std::string_view field);
// At most this many recipients per mail.
constexpr size_t kMaxPackRecipients = 10;

// Pack on a POST, before the flood guard; addresses: SplitAddresses of the field. Each address
// needs one "@" between a name and a host, and nothing that could end a header or an address.
struct PackFacts {
  bool number_ok = true;
  bool found = false;
  bool admitted = true;  // the post's forum is public or admits the session
};
Decision DecidePack(const PackFacts& f, const std::vector<std::string>& addresses);

}  // namespace cb
