// The address table: which page code answers an address of the board and, where one address
// serves several actions, which method its request value "action" picks. No sockets here.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "host/context.h"

namespace cb {

// Runs one page on a context: creates the page object, OnStartPage, the method, OnEndPage.
using PageFn = std::function<void(ScriptingContext&)>;
// Writes a page's own error page with a message (UTF-8), for requests the host refuses.
using ErrorPageFn = std::function<void(ScriptingContext&, std::string_view message)>;

// How large a request body an address takes: a form's (the host's MaxBodyBytes) or a file
// upload's (MaxUploadBytes). The host knows the sizes; the route table only names the kind.
enum class BodySize { kForm, kUpload };

// What answers a request: the page and the name it was added under, whether its action runs only
// by POST, and the error page of the address (null when it has none).
struct RouteMatch {
  const PageFn* page = nullptr;
  std::string_view name;
  bool post_only = false;
  const ErrorPageFn* error_page = nullptr;
};

class Router {
 public:
  // An address relative to the site root ("newsdetail.asp", "admin/forum.asp"); letter case and a
  // leading "/" are ignored. Replaces an earlier route of the same address. The name says which
  // page code runs ("Corkboard::list"), for logs and for the tests of the address table.
  void Add(std::string_view path, PageFn fn, std::string name = {});
  // The method for one value of "action" at that address (case ignored); requests with another
  // action, or none, go to the route set by Add.
  void AddAction(std::string_view path, std::string_view action, PageFn fn, std::string name = {});

  // Every address below a folder ("js" answers "js/1.js"), for the addresses without a route of
  // their own; the page reads the address it was asked for from the request.
  void AddFolder(std::string_view folder, PageFn fn, std::string name = {});

  // That action at that address (case ignored) changes data or identity and is reached by a form
  // that posts: a request by any other method is refused.
  void RequirePost(std::string_view path, std::string_view action);
  // The page that reports the host's refusals at that address.
  void SetErrorPage(std::string_view path, ErrorPageFn fn);
  // Requests to that address may carry a body of that kind (kForm unless set).
  void SetBodySize(std::string_view path, BodySize size);

  // The route for a request path ("/NewsDetail.asp"); "/" is the forum index. No page when none
  // serves the path (it may still be a static file).
  RouteMatch Match(std::string_view path, const Request& request) const;
  const PageFn* Find(std::string_view path, const Request& request) const {
    return Match(path, request).page;
  }
  // The body size a request path ("/admin/upload.asp") may send, known before the body is read.
  BodySize BodySizeOf(std::string_view path) const;

  // The address key a path is filed under: lower case, no leading "/", "" for the site root.
  static std::string Key(std::string_view path);

 private:
  struct Page {
    PageFn fn;
    std::string name;
  };
  struct Route {
    Page fallback;
    std::map<std::string, Page> actions;  // lower-case action -> method
    std::set<std::string> post_only;      // lower-case actions
    ErrorPageFn error_page;
    BodySize body_size = BodySize::kForm;
  };
  // The key of a request path: "/" is the forum index.
  static std::string RequestKey(std::string_view path);
  std::map<std::string, Route> routes_;
  std::map<std::string, Page> folders_;  // "js/" -> page
};

// Creates a Page on the context and runs fn(page) between OnStartPage and OnEndPage. OnEndPage
// also runs when fn throws; the error then goes on to the host.
template <class Page, class Fn>
void WithPage(ScriptingContext& ctx, Fn&& fn) {
  Page page;
  page.OnStartPage(&ctx);
  struct End {
    Page& p;
    ~End() { p.OnEndPage(); }
  } end{page};
  fn(page);
}

// The error page of a page class: its ErrorForm with the message.
template <class Page>
ErrorPageFn ErrorPageOf() {
  return [](ScriptingContext& ctx, std::string_view message) {
    WithPage<Page>(ctx, [message](Page& page) { page.ErrorForm(Variant(std::string(message))); });
  };
}

// The route of a page method without arguments.
template <class Page>
PageFn CallPage(void (Page::*method)()) {
  return [method](ScriptingContext& ctx) {
    WithPage<Page>(ctx, [method](Page& page) { (page.*method)(); });
  };
}

}  // namespace cb
