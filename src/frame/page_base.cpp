// PageBase: the start and end hooks shared by the three classes, the page's own connection, and
// RunPage, which turns any error of a page body into the error page and always runs the tail.
#include "frame/page_base.h"

#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// Thrown by Refuse and SkipToTail to leave a page body for its tail. Not a std::exception, so
// that only RunPage's own handler sees it.
struct BodyStopped {};

// The generic "unspecified error" number for a failure that carries no number of its own.
constexpr long kUnspecifiedError = -2147467259;

}  // namespace

void PageBase::OnStartPage(ScriptingContext* passedScriptingContext) {
  ctx_ = passedScriptingContext;
  settings_ = PageSettings(ctx_->application(), ctx_->services());
}

void PageBase::SetConnectionString(const std::string& s) {
  auto mine = std::make_shared<Settings>(*settings_);
  mine->ConnectionString = s;
  settings_ = std::move(mine);
}

void PageBase::OnEndPage() { ctx_ = nullptr; }

std::unique_ptr<Connection> PageBase::OpenConnection_() {
  auto con = std::make_unique<Connection>();
  con->Open(settings_->ConnectionString, "", "", -1);
  return con;
}

std::string PageBase::ErrorText(const ScriptError& e) {
  // A database error's text may quote the statement and with it a visitor's input: kept as text.
  return "错误号：" + std::to_string(e.number()) + "<br>错误描述：" + HtmlSafe(e.description()) +
         "<br>错误来源：" + HtmlSafe(e.source());
}

void PageBase::RunPage(const std::function<void()>& body, const std::function<void()>& tail) {
  try {
    body();
  } catch (const BodyStopped&) {
    // A failed check has written its page already.
  } catch (const ScriptError& e) {
    ErrorForm(Variant(ErrorText(e)));
  } catch (const std::exception& e) {
    ErrorForm(Variant(ErrorText(ScriptError(kUnspecifiedError, e.what()))));
  }
  tail();
}

void PageBase::RunFramedPage(const FramedPage& frame, const std::function<void()>& content) {
  const bool footer_in_body = frame.on_error == ErrorPage::kReplacesFooter;
  const auto body = [&] {
    if (!frame.location.empty()) RecordVisit(frame.location);
    Response_() << WritePageHead(S(), frame.title + " - " + S().BBName) << "<center>";
    if (!frame.own_top) Response_() << PageTop(S(), frame.heading);
    content();
    Response_() << "</center>";
    if (footer_in_body) Response_() << S().Copyright;
  };
  const auto tail = [&] {
    if (!footer_in_body) Response_() << S().Copyright;
    Response_() << "</body></html>";
  };
  if (frame.handles_errors) {
    RunPage(body, tail);
  } else {
    body();
    tail();
  }
}

void PageBase::Refuse(const Variant& message) {
  ErrorForm(message);
  throw BodyStopped{};
}

void PageBase::SkipToTail() { throw BodyStopped{}; }

void CloseQuietly(Recordset* rs, Connection* con) {
  try {
    if (rs != nullptr && rs->State() == adStateOpen) rs->Close();
  } catch (...) {
    // Closing is best effort: the page has already written its answer.
  }
  try {
    if (con != nullptr && con->State() == adStateOpen) con->Close();
  } catch (...) {
  }
}

}  // namespace cb
