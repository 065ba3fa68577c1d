// PM: the instance connection that the private-message pages share, and Run, their single entry
// point, which signs the visitor in or dispatches on "action".
#include "messages/pm.h"
#include "runtime/convert.h"
#include "store/connection.h"

namespace cb {

PM::PM() = default;
PM::~PM() = default;

std::string PM::OpenConnection() {
  try {
    if (!con_) {
      con_ = std::make_unique<Connection>();
      ++connections_created_;
    } else if (con_->State() != adStateClosed) {
      return "";
    }
    con_->Open(S().ConnectionString, "", "", -1);
    return "";
  } catch (const ScriptError& e) {
    return e.description();
  } catch (const std::exception& e) {
    return e.what();
  }
}

void PM::CloseConnection() {
  try {
    if (con_ && con_->State() == adStateOpen) con_->Close();
  } catch (...) {
    // Errors are ignored here: the page has written its answer.
  }
  con_.reset();
}

void PM::Run() {
  std::string action = ToLower(Request_()("action").Str());
  // The pager's far links read "?action=GotoPage&page=N" followed by the list's own
  // "&action=outbox": the list they page is the one the pager added.
  const ValueCollection& query = Request_().query();
  if (action == "gotopage" && query.Count("action") > 1) {
    action = ToLower(query.Item("action", query.Count("action")).Str());
  }
  if (Session_().Get("UserName").Str().empty() || Session_().Get("Password").Str().empty()) {
    if (Request_().ServerVariables("request_method").Str() == "POST") {
      OpenConnection();
      SignInCheck();
      CloseConnection();
    } else {
      Login();
    }
    return;
  }
  if (action == "newpm") {
    newpm();
    return;
  }
  // A failed open is not reported here: it surfaces as the errors of the page that follows.
  OpenConnection();
  if (action == "addtoignorelist") {
    AddToIgnoreList();
  } else if (action == "inbox") {
    inbox();
  } else if (action == "deleteoutbox") {
    DeleteOutbox();
  } else if (action == "outbox") {
    outbox();
  } else if (action == "ignorelist") {
    IgnoreList();
  } else if (action == "deleteignorelist") {
    DeleteIgnoreList();
  } else if (action == "postpm") {
    PostPM();
  } else if (action == "replypm") {
    ReplyPM();
  } else if (action == "viewpm") {
    ViewPM("inbox");
  } else if (action == "deletepm") {
    DeletePM();
  } else if (action == "viewoutbox") {
    ViewPM("outbox");
  } else {
    inbox();
  }
  CloseConnection();
}

}  // namespace cb
