// The thread view's checks as data, apart from the page so that tests drive them.
#pragma once

#include <optional>
#include <string>

namespace cb {

// Where the thread view stops instead of showing the thread, in the order it checks.
enum class ThreadStop {
  kBadId,    // "id" is no positive number
  kBadWalk,  // "findthread" without a forum or a direction
  kNoNewer,  // the walk found no newer topic: the message page with the jump menu
  kNoOlder,  // ... no older one
  kNoTopic,  // the thread query found nothing
  kReply,    // the id is a reply's
  kNoForum,  // the topic's forum is gone
  kPrivate,  // the forum is private and this session was not admitted: its sign-in form
};

// What the page knows at each step; the facts read later stay empty until read.
struct ThreadFacts {
  bool id_ok = false;  // "id" passes ToLong
  bool walk = false;   // action "findthread"
  std::string walk_forum{};
  std::string go{};                 // lower-cased
  std::optional<bool> neighbour{};  // the walk found a topic
  std::optional<bool> found{};      // the thread query has a first row
  std::optional<bool> reply{};      // that row is a reply
  std::optional<bool> forum{};      // the topic's forum exists
  std::optional<bool> admitted{};   // the forum admits this session
};
std::optional<ThreadStop> ThreadRefusal(const ThreadFacts& f);
// The message of a stop ("" for kPrivate, which shows a form).
const char* ThreadStopText(ThreadStop stop);

}  // namespace cb
