// The board's address table: each address and action reaches its page, form actions run only by
// POST, refusals land on the error page of the address's class; and jump.asp's choice of target.
#include "board/routes.h"

#include <gtest/gtest.h>

#include "admin/admin.h"
#include "frame/corkboard.h"
#include "messages/pm.h"
#include "support/fake_host.h"

namespace cb {
namespace {

// The class whose error page a route reports the host's refusals on, "" when it has none.
std::string ErrorPageClass(const RouteMatch& match) {
  if (!match.error_page) return "";
  test::FakeHost host;
  (*match.error_page)(host.context(), "拒绝");
  const std::string page = host.body();
  auto error_form = [&host]<class Page>(Page*) {
    return host.RunWith<Page>([](Page& p) { p.ErrorForm(Variant("拒绝")); });
  };
  if (page == error_form(static_cast<Corkboard*>(nullptr))) return "Corkboard";
  if (page == error_form(static_cast<PM*>(nullptr))) return "PM";
  if (page == error_form(static_cast<Admin*>(nullptr))) return "Admin";
  return "another";
}

TEST(BoardRoutesTest, EachAddressAndActionReachesItsPage) {
  Router r;
  AddBoardRoutes(r);
  struct Case {
    const char* path;
    const char* action;
    const char* page;  // the route's name, "" for none
    bool post_only;
    const char* errors;  // the class of the error page
  };
  const char* kCb = "Corkboard";
  const Case cases[] = {
      {"/", "", "Corkboard::Home", false, kCb},
      {"/default.asp", "", "Corkboard::Home", false, kCb},
      {"/list.asp", "", "Corkboard::list", false, kCb},
      {"/NewsDetail.asp", "", "Corkboard::Detail", false, kCb},
      {"/hot.asp", "", "Corkboard::HotTopic", false, ""},
      {"/morereply.asp", "", "Corkboard::MoreReply", false, ""},
      {"/active.asp", "", "Corkboard::NewlyTopic", false, ""},
      {"/top.asp", "", "Corkboard::Top", false, ""},
      {"/online.asp", "debug", "Corkboard::Online", false, ""},
      {"/member.asp", "", "Corkboard::MemberList", false, "Corkboard"},
      {"/search.asp", "", "Corkboard::Search", false, ""},
      {"/profile.asp", "", "Corkboard::Profile", false, kCb},
      {"/profile.asp", "check", "Corkboard::Profile", true, kCb},
      {"/profile.asp", "chkuser", "Corkboard::Profile", true, kCb},
      {"/viewuser.asp", "", "Corkboard::ViewUser", false, "Corkboard"},
      {"/option.asp", "", "Corkboard::CorkboardOption", false, kCb},
      {"/favor.asp", "", "Corkboard::Favor", false, kCb},
      {"/showFavor.asp", "deletefavor", "Corkboard::Showfavor", true, kCb},
      {"/showfavor.asp", "chkuser", "Corkboard::Showfavor", true, kCb},
      {"/subscibe.asp", "", "Corkboard::subscibe", false, kCb},
      {"/archivelist.asp", "", "Corkboard::ArchiveList", false, ""},
      {"/archivecontent.asp", "", "Corkboard::ArchiveContent", false, ""},
      {"/download.asp", "", "Corkboard::Pack", false, kCb},
      {"/cbkmisc.asp", "", "UnknownAction", false, kCb},
      {"/cbkmisc.asp", "nosuch", "UnknownAction", false, kCb},
      {"/cbkmisc.asp", "idcheck", "Corkboard::IDCheck", true, kCb},
      {"/cbkmisc.asp", "Login", "Corkboard::Login", true, kCb},
      {"/cbkmisc.asp", "lostpw", "Corkboard::lostpw", false, kCb},
      {"/cbkmisc.asp", "sendthread", "Corkboard::SendThread", false, kCb},
      {"/cbkmisc.asp", "getannounce", "Corkboard::Getannounce", false, kCb},
      {"/cbkmisc.asp", "getip", "Corkboard::GetIP", false, kCb},
      {"/cbkmisc.asp", "icqmessage", "Corkboard::IcqMessage", false, kCb},
      {"/Posting.asp", "", "UnknownAction", false, kCb},
      {"/posting.asp", "newtopic", "Corkboard::NewTopic", false, kCb},
      {"/posting.asp", "posttopic", "Corkboard::posttopic", true, kCb},
      {"/posting.asp", "reply", "Corkboard::reply", false, kCb},
      {"/posting.asp", "replywquote", "Corkboard::replywquote", false, kCb},
      {"/posting.asp", "postreply", "Corkboard::PostReply", true, kCb},
      {"/posting.asp", "editpost", "Corkboard::EditPost", false, kCb},
      {"/posting.asp", "submitedit", "Corkboard::SubmitEdit", true, kCb},
      {"/posting.asp", "deletepost", "Corkboard::DeletePost", false, kCb},
      {"/posting.asp", "closethread", "Corkboard::CloseThread", false, kCb},
      {"/posting.asp", "openthread", "Corkboard::CloseThread", false, kCb},
      {"/posting.asp", "processclose", "Corkboard::CloseThread", true, kCb},
      {"/posting.asp", "copypost", "Corkboard::CopyPost", false, kCb},
      {"/posting.asp", "deletearchive", "Corkboard::DeleteArchive", false, kCb},
      {"/posting.asp", "editarchive", "Corkboard::ArchiveEditPost", false, kCb},
      {"/posting.asp", "archivesubmitedit", "Corkboard::ArchiveSubmitEdit", true, kCb},
      {"/archive.asp", "", "UnknownAction", false, kCb},
      {"/archive.asp", "transfer", "Corkboard::Transfer", false, kCb},
      {"/archive.asp", "transferarchive", "Corkboard::TransferArchive", false, kCb},
      {"/archive.asp", "submittransfer", "SubmitTransfer", true, kCb},
      {"/archive.asp", "restorearchive", "Corkboard::RestoreArchive", false, kCb},
      {"/archive.asp", "submitrestore", "Corkboard::RestoreArchive", true, kCb},
      {"/Signup.asp", "regsubmit", "SignupPage", false, kCb},  // the page itself takes only a POST
      {"/jump.asp", "", "Jump", false, ""},
      {"/pm.asp", "viewpm", "PM::Run", false, "PM"},
      {"/pm.asp", "addtoignorelist", "PM::Run", false, "PM"},
      {"/pm.asp", "idcheck", "PM::Run", true, "PM"},
      {"/pm.asp", "postpm", "PM::Run", true, "PM"},
      {"/pm.asp", "deletepm", "PM::Run", true, "PM"},
      {"/pm.asp", "deleteoutbox", "PM::Run", true, "PM"},
      {"/pm.asp", "deleteignorelist", "PM::Run", true, "PM"},
      {"/cbkcode.asp", "", "CodeHelp", false, ""},
      {"/Default.htm", "", "DefaultHtm", false, ""},
      {"/admin", "", "AdminWithSlash", false, ""},
      {"/admin/", "", "Admin::Index", false, ""},
      {"/admin/default.asp", "", "Admin::Index", false, ""},
      {"/admin/index.asp", "", "Admin::Index", false, ""},
      {"/admin/forum.asp", "getforum", "Admin::Forum", false, "Admin"},
      {"/admin/forum.asp", "login", "Admin::Forum", true, "Admin"},
      {"/admin/forum.asp", "setforums", "Admin::Forum", true, "Admin"},
      {"/admin/forum.asp", "addnewforum", "Admin::Forum", true, "Admin"},
      {"/admin/forum.asp", "submitedit", "Admin::Forum", true, "Admin"},
      {"/admin/edit.asp", "editfunction", "Admin::Edit", true, "Admin"},
      {"/admin/edit.asp", "submitprune", "Admin::Edit", true, "Admin"},
      {"/admin/edit.asp", "submiteditsubject", "Admin::Edit", true, "Admin"},
      {"/admin/edit.asp", "dodeletethread", "Admin::Edit", true, "Admin"},
      {"/admin/edit.asp", "domessageedit", "Admin::Edit", true, "Admin"},
      {"/admin/announce.asp", "enter", "Admin::Announce", true, "Admin"},
      {"/admin/announce.asp", "submitannounce", "Admin::Announce", true, "Admin"},
      {"/admin/announce.asp", "reviewannounce", "Admin::Announce", true, "Admin"},
      {"/admin/announce.asp", "submitanncedit", "Admin::Announce", true, "Admin"},
      {"/admin/member.asp", "getmatches", "Admin::Permissions", false, "Admin"},
      {"/admin/member.asp", "updatepermiss", "Admin::Permissions", true, "Admin"},
      {"/admin/member.asp", "submitedit", "Admin::Permissions", true, "Admin"},
      {"/admin/archive.asp", "enterarchive", "Admin::Archives", true, "Admin"},
      {"/admin/archive.asp", "archivecenter", "Admin::Archives", true, "Admin"},
      {"/admin/misc.asp", "", "Admin::DataMaintenance", false, "Admin"},
      {"/admin/analyzer.asp", "", "Admin::MonthPostAnalyzer", false, "Admin"},
      {"/admin/mail.asp", "", "Admin::EMail", false, "Admin"},
      {"/admin/mail.asp", "progress", "Admin::EMail", false, "Admin"},
      {"/admin/mail.asp", "mailusers", "Admin::EMail", true, "Admin"},
      {"/admin/account.asp", "importaccount", "Admin::ImportAccount", true, "Admin"},
      {"/admin/upload.asp", "", "Admin::FileUp", false, "Admin"},
      {"/admin/jscode.asp", "", "Admin::JsCode", false, "Admin"},
      {"/admin/jscode.asp", "ForumJs", "Admin::JsCode", true, "Admin"},
      {"/admin/jscode.asp", "archivejs", "Admin::JsCode", true, "Admin"},
      {"/admin/images/dot.gif", "", "AdminBarPicture", false, ""},
      {"/js/1.js", "", "ServeNewsScript", false, ""},
      {"/Upload/keeper/a.png", "", "ServeUploadedFile", false, ""},
      {"/js/", "", "", false, ""},
      {"/admin/pm.asp", "", "AdminPmPage", false, "Admin"},
      {"/edit.asp", "", "", false, ""},
      {"/nosuch.asp", "", "", false, ""},
      {"/admin/list.asp", "", "", false, ""},
      {"/DEFAULT.CSS", "", "", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.action);
    Request request;
    request.query().Add("action", c.action);
    const RouteMatch match = r.Match(c.path, request);
    EXPECT_EQ(std::string(match.name), c.page);
    EXPECT_EQ(match.page != nullptr, *c.page != '\0');
    EXPECT_EQ(match.post_only, c.post_only);
    EXPECT_EQ(ErrorPageClass(match), c.errors);
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
