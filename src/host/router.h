// The address table: which page code answers an address of the board and, where one address
// serves several actions, which method its request value "action" picks. No sockets here.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "host/context.h"

namespace cb {

// Runs one page on a context: creates the page object, OnStartPage, the method, OnEndPage.
using PageFn = std::function<void(ScriptingContext&)>;

class Router {
 public:
  // An address relative to the site root ("newsdetail.asp", "admin/forum.asp"); letter case and a
  // leading "/" are ignored. Replaces an earlier route of the same address.
  void Add(std::string_view path, PageFn fn);
  // The method for one value of "action" at that address (case ignored); requests with another
  // action, or none, go to the route set by Add.
  void AddAction(std::string_view path, std::string_view action, PageFn fn);

  // The page for a request path ("/NewsDetail.asp"); "/" is the forum index. Null when no page
  // serves the path (it may still be a static file).
  const PageFn* Find(std::string_view path, const Request& request) const;

  // The address key a path is filed under: lower case, no leading "/", "" for the site root.
  static std::string Key(std::string_view path);

 private:
  struct Route {
    PageFn fallback;
    std::map<std::string, PageFn> actions;  // lower-case action -> method
  };
  std::map<std::string, Route> routes_;
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

// The route of a page method without arguments.
template <class Page>
PageFn CallPage(void (Page::*method)()) {
  return [method](ScriptingContext& ctx) {
    WithPage<Page>(ctx, [method](Page& page) { (page.*method)(); });
  };
}

}  // namespace cb
