// FakeHost: the host objects of one visitor in memory, for page tests without sockets. Build a
// request (Get/PostForm, cookies, address) that the host's own request builder turns into the
// page's Request, run a page method, read the body, cookies, redirect, session and application.
// Session and application persist across requests; the environment has a fixed clock, a seeded
// random source and a data folder of its own.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/context.h"
#include "host/page_host.h"
#include "runtime/datetime.h"
#include "runtime/random.h"
#include "support/test_env.h"

namespace cb::test {

using FormFields = std::vector<std::pair<std::string, std::string>>;

class FakeHost {
 public:
  // The clock starts at 2024-05-09 10:20:30 (local time).
  FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // Starts a new request. Values in url may be written plainly in UTF-8 ("?GroupName=测试") or
  // percent-encoded GBK bytes; it is sent as a browser of a GBK page sends it, and so is the form.
  FakeHost& Get(std::string_view url);
  FakeHost& PostForm(std::string_view url, const FormFields& fields);
  // A POST whose body is sent as it stands under its own content type (a multipart upload).
  FakeHost& PostBody(std::string_view url, std::string content_type, std::string body);
  // Further settings of the current request. A cookie replaces one of exactly the same name and
  // otherwise joins the Cookie header after the others.
  FakeHost& Cookie(std::string name, std::string value);
  FakeHost& RemoteAddr(std::string address);
  FakeHost& ServerVariable(std::string name, std::string value);

  // Runs one page of a fresh instance of Page: OnStartPage, the method, OnEndPage; returns the
  // body. Errors that escape the page (as they would reach the host) propagate.
  template <class Page>
  std::string Run(void (Page::*method)()) {
    return RunWith<Page>([method](Page& page) { (page.*method)(); });
  }
  // The same with any call on the page object (fragments with arguments, test subclasses). Each
  // run answers the current request with a fresh response.
  template <class Page, class F>
  std::string RunWith(F&& call) {
    response_ = Response();
    Page page;
    page.OnStartPage(&context_);
    call(page);
    page.OnEndPage();
    return response_.body();
  }

  Request& request() { return request_; }
  Response& response() { return response_; }
  Session& session() { return session_; }
  Application& application() { return application_; }
  FixedClock& clock() { return clock_; }
  // The environment pages see (install a mail transport here).
  HostServices& services() { return services_; }
  ScriptingContext& context() { return context_; }

  const std::string& body() const { return response_.body(); }
  // The value of a cookie the page set, or "" when it set none.
  std::string ResponseCookie(std::string_view name) const;
  const std::optional<std::string>& redirect() const { return response_.redirect(); }

  // The session of a member signed in with name and password.
  void SignIn(const std::string& name, const std::string& password);

  // Sets application variables (the board's configuration) for the following pages.
  void Configure(std::initializer_list<std::pair<std::string, std::string>> values);

 private:
  void NewRequest(std::string_view method, std::string_view url);
  // The page's Request anew from the incoming request, its cookies and the variables set.
  void Rebuild();

  IncomingRequest incoming_;
  FormFields cookies_;    // of the current request, in the order sent
  FormFields variables_;  // server variables set over the built ones

  ScratchDir data_dir_{"corkboard-test"};
  FixedClock clock_;
  SeededRandom random_;
  HostServices services_;
  Request request_;
  Response response_;
  Server server_;
  Session session_;
  Application application_;
  ScriptingContext context_;
};

}  // namespace cb::test
