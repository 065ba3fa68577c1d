// The PM class: private messages. Run dispatches on "action"; the pages share the instance's
// connection that Run opens.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "frame/page_base.h"

namespace cb {

class Connection;

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
  std::unique_ptr<Connection> con_;
  int connections_created_ = 0;
};

}  // namespace cb
