// What every control-panel page shares: who passed the panel's check and the forums he manages,
// the completion texts, the forum-menu caches the forum pages empty, and the refusal table helper.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "host/context.h"

namespace cb {

class Connection;

// A name and password as a panel form posted them or as the session keeps them.
struct PanelCredentials {
  std::string name;
  std::string password;
};

// Who passed the control-panel check. An administrator manages every forum (in display order), a
// moderator the forums of his moderated rows. Forum names are kept as a list: a name may hold ",".
struct PanelIdentity {
  bool admitted = false;
  bool administrator = false;
  std::string name;  // as the member's row spells it
  std::vector<std::string> forums;

  bool Manages(std::string_view forum) const;
  // The forum list as the pages pass it on: names joined by ",", no trailing comma.
  std::string ForumList() const;
};

// A topic as the rename and delete forms of thread editing show it.
struct TopicHead {
  std::string postid;
  std::string subject;
  std::string forum;
};

// One check of a step: refused when `refused` holds.
struct Refusal {
  bool refused;
  const char* message;
};
// The message of the first refusal that holds, in the order given; nullptr when none does.
const char* FirstRefusal(std::initializer_list<Refusal> checks);

// The completion text every changing step of the forum page writes.
inline constexpr const char* kForumsUpdated =
    "<center><br><br><p><h3>版面更新结束，再次进入<a href=forum.asp?action=order>论坛设置</a>"
    "</h3></p></center>";

// Forgets the cached forum menus so the next page builds them from the forum table.
void EmptyForumMenus(Application& app);
// Rewrites the forum's moderator links from its moderated rows.
void RefreshForumMaster(Connection& con, const std::string& forum);

}  // namespace cb
