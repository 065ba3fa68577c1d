// Changes to archived threads: which archive holds a thread, moving it to another archive,
// deleting it, renaming it, and returning it to a live forum. A topic and its replies always
// move together; the multi-statement changes run in one transaction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/context.h"
#include "runtime/variant.h"

namespace cb {

class Connection;
struct ArchivedFacts;

// One archived post as the archive pages read it, texts as stored.
struct ArchivedPost {
  int32_t id = 0;
  int32_t archive = 0;  // the archive holding it
  int32_t thread = 0;   // its topic's number: its own, or its parent's
  std::string archive_name;
  std::string forum;  // the forum its thread came from
  std::string author;
  std::string subject;
  std::string message;
  Variant posttime;
};

// Reads post id from the archive ArchiveHolding picks (preferred first) and notes in f whether
// it was found and is a topic.
ArchivedPost LoadArchivedPost(Connection& con, int32_t id, int32_t preferred, ArchivedFacts& f);

// The archive that holds post postid: preferred when it holds the post, else the lowest-numbered
// one that does (a topic may be archived into several archives); 0 when no archive holds it.
int32_t ArchiveHolding(Connection& con, int32_t postid, int32_t preferred = 0);

// Moves a topic and its replies from one archive to another.
void MoveArchivedThread(Connection& con, int32_t topic, int32_t from, int32_t to);

// Deletes an archived post of one archive; a topic takes its replies with it.
void DeleteArchivedPost(Connection& con, int32_t postid, int32_t archive);

// Gives an archived topic and its replies of one archive the subject.
void RenameArchivedThread(Connection& con, int32_t topic, int32_t archive,
                          const std::string& subject);

// One of the thread's posts is still in a live forum.
bool ArchivedThreadIsLive(Connection& con, int32_t topic, int32_t archive);

// Puts an archived topic and its replies back into forum under their own numbers, times,
// authors, texts and edit notes, and removes them from the archive: all or nothing. The store's
// triggers count them into the forum, the topic and the members again.
void RestoreArchivedThread(Connection& con, int32_t topic, int32_t archive,
                           const std::string& forum);

// Deletes an archive with every post in it (two statements: callers run it in a transaction).
void DeleteArchiveAndPosts(Connection& con, int32_t archive);

// The forums the posts of an archive came from.
std::vector<std::string> ArchiveSourceForums(Connection& con, int32_t archive);

// Forgets the cached archive menus (the front page's and the jump menu) so that the next page
// builds them from the archive table.
void EmptyArchiveMenus(Application& app);

}  // namespace cb
