// A board with three members and the mailbox session of one, driven through PM.Run as pm.asp is.
#pragma once

#include "messages/pm.h"
#include "support/page_test.h"

namespace cb::test {

struct Mailbox : HostedBoard {
  Mailbox() {
    board.AddMember("alice", "alicepw");
    board.AddMember("bob", "bobpw", {.email = "bob@example.com", .postcount = 42});
    board.AddMember("carol", "carolpw");
    board.Exec(
        "update register set nickname='小鲍',signature='[i]bob[/i] 的签名',"
        "signdate='2023-02-01 08:00:00',emailview=1,url='bob.example.com' where username='bob'");
    SignIn("alice", "alicepw");
  }

  // The mailbox session of a member (the board's own sign-in sets the same two values).
  void SignIn(const std::string& name, const std::string& password) {
    host.session().Set("UserName", Variant(name));
    host.session().Set("Password", Variant(password));
  }

  std::string RunPm() {
    return host.RunWith<PM>([](PM& pm) { pm.Run(); });
  }
  std::string Get(const std::string& url) {
    host.Get(url);
    return RunPm();
  }
  std::string Post(const FormFields& fields) {
    host.PostForm("/pm.asp", fields);
    return RunPm();
  }

  // Sends a message as the signed-in member through the form, past the flood guard; returns the
  // new message number (0 when the page refused).
  int64_t Send(const std::string& to, const std::string& subject, const std::string& message,
               const std::string& icon = "1") {
    host.clock().Advance(60);
    const Variant before = board.Scalar("select max(postid) from pm");
    Post({{"action", "postpm"},
          {"recipient", to},
          {"Subject", subject},
          {"MsgIcon", icon},
          {"Message", message},
          {"Signature", "on"}});
    const Variant after = board.Scalar("select max(postid) from pm");
    if (after.IsNull() || (!before.IsNull() && after.CLng() == before.CLng())) return 0;
    return after.CLng();
  }

  int64_t Count(const std::string& sql) { return board.Scalar(sql).CLng(); }
};

}  // namespace cb::test
