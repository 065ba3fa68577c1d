// The post rows of a thread page: the author block and the post cell (icon, time, action icons,
// body through the markup converter, edit note, signature), for live threads and archived ones.
#pragma once

#include <string>

#include "frame/settings.h"

namespace cb {

class Recordset;
class Server;

// What the rows of one thread page need to know besides the row itself.
struct ThreadContext {
  enum class Kind { kLive, kArchive };
  Kind kind = Kind::kLive;
  std::string topic_id;    // the topic's postid as text
  std::string forum;       // the forum the topic belongs (or belonged) to
  std::string subject;     // the topic's subject, as stored
  std::string archive_id;  // archived threads: the archive's number
};

class PostRenderer {
 public:
  PostRenderer(const Settings& s, const Server& server, const ThreadContext& thread)
      : s_(s), server_(server), t_(thread) {}

  // One table row for the current row of rs, the row_number-th on the page (from 1); the row's
  // background alternates with it. rs holds the thread query's columns (post.* or archivelist.*
  // with the member's register columns and posticon).
  std::string Row(const Recordset& rs, int row_number) const;

 private:
  struct Post;  // the columns of one row, read once

  std::string AuthorCell(const Post& p) const;
  std::string PostCell(const Post& p) const;
  std::string Body(const Post& p) const;
  std::string ProfileIcon(const Post& p) const;
  std::string EmailIcon(const Post& p) const;
  std::string HomePageIcon(const Post& p) const;
  std::string MessengerIcons(const Post& p) const;
  std::string AddressIcon(const Post& p) const;
  std::string ActionIcons(const Post& p) const;  // favourites to mail pack
  bool archive() const { return t_.kind == ThreadContext::Kind::kArchive; }

  const Settings& s_;
  const Server& server_;
  const ThreadContext& t_;
};

// The address a member's home-page field links to, or "" when it shows no home-page icon.
std::string HomePageAddress(const std::string& homepage);

// The pieces around the posts that the thread view and the archived-thread view share.
// The script the messenger icons call: opens an address in a small window.
extern const char* const kWinOpenScript;
// TableBorderStart, the posts table and its header row with the page's first subject.
std::string PostsTableStart(const Settings& s, const Server& server, const std::string& subject);
// "这个话题共有N页：" and the page numbers, each but the current one linked to address + n;
// nothing for a single page.
std::string ThreadPageLinks(const std::string& address, int page, int page_count);
// The links to the forum's next newer and next older topic.
std::string NeighbourTopicLinks(const Server& server, const std::string& forum,
                                const std::string& id);

}  // namespace cb
