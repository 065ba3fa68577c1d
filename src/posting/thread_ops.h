// Changes to whole threads and single posts that the editing, moderation and control-panel pages
// share: delete, rename, note an edit, move to another forum, copy into an archive. The store's
// triggers keep every derived counter; the multi-statement changes run in one transaction.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cb {

class Connection;

// Runs change in one transaction: a failure rolls every statement of it back and propagates.
void RunInTransaction(Connection& con, const std::function<void()>& change);

// Deletes a post; a topic takes all its replies with it (one statement).
void DeletePostAndReplies(Connection& con, int32_t postid);

// Gives a topic and all its replies the subject.
void RenameThread(Connection& con, int32_t topic, const std::string& subject);

// One entry of a post's edit history; editor is written as given (callers pass it markup-safe).
std::string EditNote(const std::string& editor, const std::string& time_text);

// Copies a topic and its replies, in their order, into target_forum as new posts and returns the
// new topic's number. keep_source: the copies start at 0 hits and the source topic stays, closed;
// otherwise the copies keep their hits and the source thread is deleted. All or nothing.
int32_t MoveThread(Connection& con, int32_t topic, const std::string& target_forum,
                   bool keep_source);

// Copies a topic and its replies, keeping their numbers, into the archive; delete_source removes
// the thread from its forum. All or nothing.
void ArchiveThread(Connection& con, int32_t topic, int32_t archive, bool delete_source);

}  // namespace cb
