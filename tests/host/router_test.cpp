// The address table: addresses and actions without regard to case, the fallback route, the
// board's own table, and jump.asp's choice of target.
#include "host/router.h"

#include <gtest/gtest.h>

namespace cb {
namespace {

// A route that records its name, so a test can see which one the router picked.
PageFn Named(std::string name) {
  return [name](ScriptingContext& ctx) { ctx.response().Write(name); };
}

// The name of the route the router picks for a request, or "<none>".
std::string Picked(const Router& router, std::string_view path, Request& request) {
  const PageFn* fn = router.Find(path, request);
  if (!fn) return "<none>";
  Response response;
  Server server;
  Session session;
  Application app;
  HostServices services;
  ScriptingContext ctx(request, response, server, session, app, services);
  (*fn)(ctx);
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
  r.Add("/newsdetail.asp", Named("detail"));
  r.Add("default.asp", Named("home"));
  r.Add("posting.asp", Named("unknown"));
  r.AddAction("posting.asp", "PostTopic", Named("posttopic"));
  r.AddAction("posting.asp", "reply", Named("reply"));
  r.Add("admin/forum.asp", Named("forum"));
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
  r.AddAction("cbkmisc.asp", "lostpw", Named("lostpw"));
  r.AddAction("cbkmisc.asp", "login", Named("login"));
  Request both;
  both.query().Add("action", "lostpw");
  both.form().Add("action", "login");
  EXPECT_EQ(Picked(r, "/cbkmisc.asp", both), "lostpw");
  Request none;
  EXPECT_EQ(Picked(r, "/cbkmisc.asp", none), "<none>");  // no action and no fallback route
}

TEST(RouterTest, BoardTableServesEveryAddressOfTheBoard) {
  Router r;
  AddBoardRoutes(r);
  const char* addresses[] = {
      "/",
      "/default.asp",
      "/list.asp",
      "/NewsDetail.asp",
      "/hot.asp",
      "/morereply.asp",
      "/active.asp",
      "/top.asp",
      "/online.asp",
      "/member.asp",
      "/search.asp",
      "/profile.asp",
      "/viewuser.asp",
      "/option.asp",
      "/Signup.asp",
      "/favor.asp",
      "/showFavor.asp",
      "/subscibe.asp",
      "/jump.asp",
      "/archivelist.asp",
      "/archivecontent.asp",
      "/download.asp",
      "/pm.asp",
      "/cbkmisc.asp",
      "/Posting.asp",
      "/archive.asp",
      "/cbkcode.asp",
      "/Default.htm",
      "/admin/",
      "/admin/forum.asp",
      "/admin/edit.asp",
      "/admin/announce.asp",
      "/admin/member.asp",
      "/admin/archive.asp",
      "/admin/misc.asp",
      "/admin/analyzer.asp",
      "/admin/mail.asp",
      "/admin/account.asp",
      "/admin/upload.asp",
      "/admin/jscode.asp",
      "/admin/pm.asp",
  };
  Request request;
  for (const char* a : addresses) EXPECT_NE(r.Find(a, request), nullptr) << a;
  for (const char* a : {"/edit.asp", "/nosuch.asp", "/admin/list.asp", "/DEFAULT.CSS"}) {
    EXPECT_EQ(r.Find(a, request), nullptr) << a;
  }
}

TEST(RouterTest, BoardFormActionsRunOnlyByPost) {
  Router r;
  AddBoardRoutes(r);
  struct Case {
    const char* path;
    const char* action;
    bool post_only;
  };
  // Links of the board's own pages reach the GET ones; their forms post to the others.
  const Case cases[] = {
      {"/cbkmisc.asp", "Login", true},
      {"/cbkmisc.asp", "idcheck", true},
      {"/cbkmisc.asp", "lostpw", false},
      {"/cbkmisc.asp", "getannounce", false},
      {"/posting.asp", "posttopic", true},
      {"/posting.asp", "postreply", true},
      {"/posting.asp", "submitedit", true},
      {"/posting.asp", "processclose", true},
      {"/posting.asp", "deletepost", false},
      {"/posting.asp", "closethread", false},
      {"/posting.asp", "deletearchive", false},
      {"/archive.asp", "submittransfer", true},
      {"/archive.asp", "transfer", false},
      {"/profile.asp", "check", true},
      {"/profile.asp", "", false},
      {"/showfavor.asp", "deletefavor", true},
      {"/pm.asp", "deletepm", true},
      {"/pm.asp", "viewpm", false},
      {"/pm.asp", "addtoignorelist", false},
      {"/admin/forum.asp", "setforums", true},
      {"/admin/forum.asp", "getforum", false},
      {"/admin/member.asp", "getmatches", false},
      {"/signup.asp", "regsubmit", false},  // the page itself takes only a POST
  };
  for (const Case& c : cases) {
    Request request;
    request.query().Add("action", c.action);
    RouteMatch match = r.Match(c.path, request);
    EXPECT_NE(match.page, nullptr) << c.path << " " << c.action;
    EXPECT_EQ(match.post_only, c.post_only) << c.path << " " << c.action;
    EXPECT_NE(match.error_page, nullptr) << c.path;
  }
}

TEST(RouterTest, JumpGoesOnlyToAddressesOfThisBoard) {
  struct Case {
    const char* requested;
    const char* target;
  };
  const Case cases[] = {
      {"default.asp", "default.asp"},
      {"list.asp?GroupName=%D6%D0%CE%C4", "list.asp?GroupName=%D6%D0%CE%C4"},
      {"List.asp?GroupName=中文", "List.asp?GroupName=中文"},
      {"archivelist.asp?ArchiveID=3", "archivelist.asp?ArchiveID=3"},
      {"  list.asp?GroupName=x ", "list.asp?GroupName=x"},
      {"", "default.asp"},
      {"http://elsewhere.example/", "default.asp"},
      {"//elsewhere.example/list.asp?x", "default.asp"},
      {"/list.asp?GroupName=x", "default.asp"},
      {"list.aspx?x", "default.asp"},
      {"list.asp/../../x", "default.asp"},
      {"javascript:alert(1)", "default.asp"},
      {"list.asp?x\r\nSet-Cookie: a=b", "default.asp"},
      {"newsdetail.asp?id=1", "default.asp"},
  };
  for (const Case& c : cases) EXPECT_EQ(JumpTarget(c.requested), c.target) << c.requested;
}

}  // namespace
}  // namespace cb
