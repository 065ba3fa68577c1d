// The Corkboard class: every page members and visitors see. One method per page or action; the
// definitions live in the folder of their subsystem (browse/, posting/, members/, archives/).
#pragma once

#include <cstdint>
#include <string>

#include "frame/page_base.h"

namespace cb {

class Connection;
struct Decision;

// A forum as CheckForum found it; as a bool, whether it exists.
struct ForumCheck {
  bool exists = false;
  std::string name{};      // as asked for: the session key of an admission
  std::string restrict{};  // the column "restrict" lower-cased; "" when null
  std::string master{};    // the column "forummaster", "诚征版主" when null or empty
  explicit operator bool() const { return exists; }
  bool IsPrivate() const { return restrict == "private"; }
};

class Corkboard : public PageBase {
 public:
  // Defined with presence (browse/presence.cpp) and declared first, so that the class's virtual
  // table is emitted among the page groups that complete the class, not in the frame below them.
  ~Corkboard() override;

  // Subscriptions and options
  Variant GetSubscibeList(const Variant& UserName);
  void CorkboardOption();
  // Archives
  void ArchiveContent();
  void ArchiveList();
  void DeleteArchive();
  void Pack();
  void TransferArchive();
  void ArchiveEditPost();
  void ArchiveSubmitEdit();
  // Moderation
  void CloseThread();
  void CopyPost();
  void DeletePost();
  void Transfer();
  // Members
  void Favor();
  void Showfavor();
  void subscibe();
  void Login();
  void IDCheck();
  void lostpw();
  void SendThread();
  void Profile();
  void ViewUser();
  void Signup();
  void Agree();
  void RegSubmit();
  // Browsing
  void Home();
  void list();
  void Detail();
  void HotTopic();
  void MoreReply();
  void NewlyTopic();
  void Top();
  void Getannounce();
  void Online();
  void GetIP();
  Variant GetSessionLoginDT();
  void MemberList();
  void Search();
  // Posting
  void NewTopic();
  void posttopic();
  bool PostSubmitCheck();
  void reply();
  void replywquote();
  void PostReply();
  void EditPost();
  void SubmitEdit();
  // Small pages of this board
  void IcqMessage();

  // Fragments
  std::string JumpTo(Connection& con, const Variant& Forum, bool isArchive = false);
  void ErrorForm(const Variant& errormessage) override;
  void MessageWithJumpTo(Connection& con, const std::string& forumname, const std::string& Message,
                         bool isArchive = false);
  void PageStyle(int32_t intRecordCount, int16_t intPage, int16_t intPageCount,
                 int16_t intPageSize, const std::string& Addon = "");
  void PrivateForum(const std::string& forumname);
  ForumCheck CheckForum(Connection& con, const std::string& forumname);
  // The forum is not private, or this session was admitted to it.
  bool Admitted(const ForumCheck& forum) const;
  void Wait(const std::string& tip, const std::string& url, const std::string& target,
            uint8_t waittime = 2);

 protected:
  // Presence of a framed page: UpdateOnline with the visitor's address.
  void RecordVisit(const std::string& location) override;
  // Presence: records the visitor and returns the name under which it is listed.
  void UpdateOnline(const std::string& address, const std::string& location, std::string& name);
  std::string ArchiveJumpMenu(Connection& con);
  // The reply form of reply and replywquote (with_quote: the quoting variant).
  void WriteReplyForm(bool with_quote);
  // A moderation page's decision: nothing when it proceeds, else the error page or, for a
  // private forum this session was not admitted to, its head (title) and sign-in form; then the
  // page's tail.
  void Enforce(const Decision& decision, const std::string& title, const std::string& forum);
  // The session is signed in as an administrator.
  bool VisitorIsAdministrator();
};

}  // namespace cb
