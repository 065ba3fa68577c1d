// What the three public classes share: the host objects kept by OnStartPage, the settings loaded
// from the application, the clock, and RunPage, the page error convention.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "frame/page_frame.h"
#include "frame/settings.h"
#include "host/context.h"
#include "runtime/script_error.h"
#include "runtime/variant.h"

namespace cb {

class Connection;
class Recordset;

class PageBase {
 public:
  virtual ~PageBase() = default;

  // Keeps the context and its objects, then LoadSettings and LoadStyle. Raises on a setting that
  // cannot be converted, before any output.
  void OnStartPage(ScriptingContext* passedScriptingContext);
  // Releases the host objects; closes nothing.
  void OnEndPage();

  // Write-only property: replaces the composed connection string for this page.
  void SetConnectionString(const std::string& s);

  virtual void ErrorForm(const Variant& errormessage) = 0;

  const Settings& settings() const { return *settings_; }

 protected:
  Request& Request_() const { return ctx_->request(); }
  Response& Response_() const { return ctx_->response(); }
  Server& Server_() const { return ctx_->server(); }
  Session& Session_() const { return ctx_->session(); }
  Application& Application_() const { return ctx_->application(); }
  ScriptingContext& Context() const { return *ctx_; }
  // The environment: clocks, randomness, the data folder, the mail transport.
  const Environment& Env() const { return ctx_->services(); }
  DateTime Now() const { return ctx_->Now(); }
  const Settings& S() const { return *settings_; }

  // Opens a connection with the connection-string setting (the page's own connection).
  std::unique_ptr<Connection> OpenConnection_();

  // The page error convention: runs body; a ScriptError (or any other exception) abandons the rest
  // of the body and reaches ErrorForm with "错误号：…<br>错误描述：…<br>错误来源：…"; tail runs
  // in every case (footer or only "</body></html>").
  void RunPage(const std::function<void()>& body, const std::function<void()>& tail);
  // The error-page text of a caught error.
  static std::string ErrorText(const ScriptError& e);

  // A whole framed page inside RunPage: head, "<center>", the layout's top, content, "</center>"
  // and the footer, with the error page placed as frame.on_error says. For example:
  //   RunFramedPage({.location = "最热门话题", .title = "最热门25条贴子",
  //                  .heading = "最热门25条贴子"},
  //                 [&] { auto con = OpenConnection_(); ... Response_() << rows; });
  // Pages whose head or top differ in more than the heading write them with page_frame.h's
  // pieces inside RunPage instead.
  void RunFramedPage(const FramedPage& frame, const std::function<void()>& content);
  // Inside a RunPage body: a failed check writes the error page with message, then the page goes
  // on with its tail. SkipToTail leaves the body without an error page (what was written stays).
  [[noreturn]] void Refuse(const Variant& message);
  [[noreturn]] static void SkipToTail();
  // Records the visit in the presence table before the head of a framed page (Corkboard only).
  virtual void RecordVisit(const std::string& location) { (void)location; }

  // Shared with the pages that ran before while the application's values stay the same; the
  // defaults, shared by every page, until the page starts.
  std::shared_ptr<const Settings> settings_ = DefaultSettings();

 private:
  ScriptingContext* ctx_ = nullptr;
};

// Closes a record set and a connection when their state says they are open (the closing steps
// of every page, also on the error path).
void CloseQuietly(Recordset* rs, Connection* con);

}  // namespace cb
