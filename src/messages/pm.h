// The PM class: private messages. Run dispatches on "action"; the pages share the instance's
// connection that Run opens.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "frame/page_base.h"

namespace cb {

class Connection;
struct BoxKind;  // what tells the inbox and the outbox apart (messages/pm_pages.h)

class PM : public PageBase {
 public:
  PM();
  ~PM() override;

  void Run();
  std::string OpenConnection();  // "" on success, else the error text
  void CloseConnection();

  void Login();
  void inbox();
  void outbox();
  void ViewPM(const std::string& BoxType = "inbox");
  void IgnoreList();
  void AddToIgnoreList();
  void DeleteIgnoreList();
  void PostPM();
  void ReplyPM();
  void DeletePM();
  void DeleteOutbox();
  void newpm();
  bool PostSubmitCheck();
  std::string GetNavbar();

  void ErrorForm(const Variant& errormessage) override;
  void Wait(const std::string& tip, const std::string& url, const std::string& target,
            uint8_t waittime = 2);
  void PageStyle(int32_t intRecordCount, int16_t intPage, int16_t intPageCount,
                 int16_t intPageSize, const std::string& Addon = "");

  // For tests: how many times a connection object was created, and the current one.
  int connections_created() const { return connections_created_; }
  Connection* connection() const { return con_.get(); }

 protected:
  void SignInCheck();  // the private-message sign-in of a POST without a session
  std::string PmClubHeader();

 private:

  // The instance connection that Run opened; raises when there is none.
  Connection& Con();
  // The member of the mailbox session and the password it signed in with.
  std::string Member() const;
  std::string MemberPassword() const;
  // The session's name and password still sign in; can_post receives the posting right.
  bool MemberSignsIn(bool& can_post);
  // An action under the error convention: a refusal or an error writes the error page, which
  // gets its closing tags; the wait page is complete as it stands.
  void RunAction(const std::function<void()>& body);
  void WriteBox(const BoxKind& box);
  void WriteMessageForm(const char* title, const std::string& recipient, const std::string& subject,
                        const std::string& message);
  void DeleteMessages(const BoxKind& box);

  std::unique_ptr<Connection> con_;
  int connections_created_ = 0;
};

}  // namespace cb
