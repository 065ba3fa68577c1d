// The board's address table: every address of the board has a page, and jump.asp's choice of
// target.
#include "board/routes.h"

#include <gtest/gtest.h>

namespace cb {
namespace {

TEST(BoardRoutesTest, BoardTableServesEveryAddressOfTheBoard) {
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

TEST(BoardRoutesTest, BoardFormActionsRunOnlyByPost) {
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

TEST(BoardRoutesTest, OnlyTheUploadPageTakesAFileSizedBody) {
  Router r;
  AddBoardRoutes(r);
  EXPECT_EQ(r.BodySizeOf("/Admin/Upload.asp"), BodySize::kUpload);
  for (const char* a : {"/", "/posting.asp", "/admin/mail.asp", "/admin/account.asp", "/x.gif"}) {
    EXPECT_EQ(r.BodySizeOf(a), BodySize::kForm) << a;
  }
}

TEST(BoardRoutesTest, JumpGoesOnlyToAddressesOfThisBoard) {
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
