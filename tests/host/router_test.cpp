// The address table: addresses and actions without regard to case and the fallback route.
#include "host/router.h"

#include <gtest/gtest.h>

namespace cb {
namespace {

// A page that writes the name of its route, so that a test sees the page and the name agree.
PageFn Named(std::string name) {
  return [name](ScriptingContext& ctx) { ctx.response().Write(name); };
}

// The name of the route the router picks for a request, or "<none>".
std::string Picked(const Router& router, std::string_view path, Request& request) {
  const RouteMatch match = router.Match(path, request);
  if (!match.page) return "<none>";
  Response response;
  Server server;
  Session session;
  Application app;
  HostServices services;
  ScriptingContext ctx(request, response, server, session, app, services);
  (*match.page)(ctx);
  EXPECT_EQ(response.body(), match.name);
  return response.body();
}

std::string Pick(const Router& router, std::string_view path, std::string_view action = {},
                 bool action_in_form = false) {
  Request request;
  if (!action.empty()) {
    (action_in_form ? request.form() : request.query()).Add("Action", std::string(action));
  }
  return Picked(router, path, request);
}

TEST(RouterTest, AddressesAndActionsIgnoreCase) {
  Router r;
  r.Add("/newsdetail.asp", Named("detail"), "detail");
  r.Add("default.asp", Named("home"), "home");
  r.Add("posting.asp", Named("unknown"), "unknown");
  r.AddAction("posting.asp", "PostTopic", Named("posttopic"), "posttopic");
  r.AddAction("posting.asp", "reply", Named("reply"), "reply");
  r.Add("admin/forum.asp", Named("forum"), "forum");
  struct Case {
    const char* path;
    const char* action;
    bool in_form;
    const char* expected;
  };
  const Case cases[] = {
      {"/NewsDetail.asp", "", false, "detail"},
      {"/newsdetail.ASP", "whatever", false, "detail"},
      {"/", "", false, "home"},
      {"/Posting.asp", "posttopic", false, "posttopic"},
      {"/posting.asp", "POSTTOPIC", true, "posttopic"},
      {"/posting.asp", "Reply", false, "reply"},
      {"/posting.asp", "", false, "unknown"},
      {"/posting.asp", "deleteall", false, "unknown"},
      {"/Admin/Forum.asp", "", false, "forum"},
      {"/forum.asp", "", false, "<none>"},
      {"/newsdetail.asp/extra", "", false, "<none>"},
      {"/images/logo.gif", "", false, "<none>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pick(r, c.path, c.action, c.in_form), c.expected) << c.path << " " << c.action;
  }
}

TEST(RouterTest, ActionFromQueryWinsOverForm) {
  Router r;
  r.AddAction("cbkmisc.asp", "lostpw", Named("lostpw"), "lostpw");
  r.AddAction("cbkmisc.asp", "login", Named("login"), "login");
  Request both;
  both.query().Add("action", "lostpw");
  both.form().Add("action", "login");
  EXPECT_EQ(Picked(r, "/cbkmisc.asp", both), "lostpw");
  Request none;
  EXPECT_EQ(Picked(r, "/cbkmisc.asp", none), "<none>");  // no action and no fallback route
}

}  // namespace
}  // namespace cb
