// The board's address table: every page address, the method its "action" picks, and the few
// small pages answered without a page object (jump.asp, aliases).
#include "board/routes.h"

#include "admin/admin.h"
#include "frame/corkboard.h"
#include "host/static_files.h"
#include "messages/pm.h"
#include "runtime/convert.h"
#include "upload/published.h"

namespace cb {

namespace {

// A page method and the name of its route, "Class::method", spelled from the method itself so
// that the name cannot drift from the code it names.
template <class Page>
struct Method {
  void (Page::*fn)();
  const char* name;
};
#define CB_METHOD(Page, method) \
  Method<Page> { &Page::method, #Page "::" #method }

template <class Page>
void AddPage(Router& r, std::string_view path, const Method<Page>& m) {
  r.Add(path, CallPage(m.fn), m.name);
}

template <class Page>
void AddPage(Router& r, std::string_view path, std::string_view action, const Method<Page>& m) {
  r.AddAction(path, action, CallPage(m.fn), m.name);
}

bool IsPost(const Request& request) {
  return EqualsNoCase(request.ServerVariables("REQUEST_METHOD").Str(), "POST");
}

std::string Action(const Request& request) { return ToLower(request("action").Str()); }

// posting.asp, cbkmisc.asp and archive.asp with an action they do not know.
void UnknownAction(ScriptingContext& ctx) {
  WithPage<Corkboard>(ctx, [](Corkboard& page) { page.ErrorForm(Variant("错误的操作请求！")); });
}

// Serves a file of the site folder in place of a page address (aliases of static pages).
bool ServeSiteFile(ScriptingContext& ctx, std::string_view file) {
  SiteFolder site(ctx.services().site_dir);
  StaticLookup found = site.Lookup("/" + std::string(file));
  if (found.outcome != StaticLookup::kFound) return false;
  std::optional<std::string> bytes = SiteFolder::ReadFile(found.path);
  if (!bytes) return false;
  ctx.response().SetContentType(found.content_type);
  ctx.response().Write(*bytes);
  return true;
}

// Without the slash the panel's relative links would point at the site root.
void AdminWithSlash(ScriptingContext& ctx) { ctx.response().Redirect("admin/"); }

void AdminStyleSheet(ScriptingContext& ctx) { ServeSiteFile(ctx, "DEFAULT.CSS"); }

// The statistics page draws its bars with the picture relative to its own folder.
void AdminBarPicture(ScriptingContext& ctx) { ServeSiteFile(ctx, "images/dot.gif"); }

// replywquote links cbkcode.asp where every other page links cbkcode.htm.
void CodeHelp(ScriptingContext& ctx) {
  if (!ServeSiteFile(ctx, "cbkcode.htm")) ctx.response().Redirect("cbkcode.htm");
}

// Login sends the browser to Default.htm: the site's own file when there is one, else the index.
void DefaultHtm(ScriptingContext& ctx) {
  if (!ServeSiteFile(ctx, "Default.htm")) ctx.response().Redirect("default.asp");
}

void Jump(ScriptingContext& ctx) {
  ctx.response().Redirect(JumpTarget(ctx.request()("jumpTo").Str()));
}

// signup.asp: the rules on a GET, then the form or the way back, then the registration.
void SignupPage(ScriptingContext& ctx) {
  const Request& request = ctx.request();
  std::string action = IsPost(request) ? Action(request) : std::string();
  WithPage<Corkboard>(ctx, [&](Corkboard& page) {
    if (action == "regsubmit") {
      page.RegSubmit();
    } else if (action == "agree" && request("Submit").Str() == "同意") {
      page.Signup();
    } else if (action == "agree" && request("Submit").Str() == "不同意") {
      page.Wait("您没有同意论坛的条款，不能注册", "default.asp", "论坛首页");
    } else {
      page.Agree();
    }
  });
}

// archive.asp?action=submittransfer: the live-topic form carries "Option", the archive form not.
void SubmitTransfer(ScriptingContext& ctx) {
  bool live = ctx.request().form().Has("Option");
  WithPage<Corkboard>(ctx, [&](Corkboard& page) {
    if (live) {
      page.Transfer();
    } else {
      page.TransferArchive();
    }
  });
}

void AddCorkboardRoutes(Router& r) {
  const std::pair<const char*, Method<Corkboard>> pages[] = {
      {"default.asp", CB_METHOD(Corkboard, Home)},
      {"list.asp", CB_METHOD(Corkboard, list)},
      {"newsdetail.asp", CB_METHOD(Corkboard, Detail)},
      {"hot.asp", CB_METHOD(Corkboard, HotTopic)},
      {"morereply.asp", CB_METHOD(Corkboard, MoreReply)},
      {"active.asp", CB_METHOD(Corkboard, NewlyTopic)},
      {"top.asp", CB_METHOD(Corkboard, Top)},
      {"online.asp", CB_METHOD(Corkboard, Online)},
      {"member.asp", CB_METHOD(Corkboard, MemberList)},
      {"search.asp", CB_METHOD(Corkboard, Search)},
      {"profile.asp", CB_METHOD(Corkboard, Profile)},
      {"viewuser.asp", CB_METHOD(Corkboard, ViewUser)},
      {"option.asp", CB_METHOD(Corkboard, CorkboardOption)},
      {"favor.asp", CB_METHOD(Corkboard, Favor)},
      {"showfavor.asp", CB_METHOD(Corkboard, Showfavor)},
      {"subscibe.asp", CB_METHOD(Corkboard, subscibe)},
      {"archivelist.asp", CB_METHOD(Corkboard, ArchiveList)},
      {"archivecontent.asp", CB_METHOD(Corkboard, ArchiveContent)},
      {"download.asp", CB_METHOD(Corkboard, Pack)},
  };
  for (const auto& [path, m] : pages) AddPage(r, path, m);

  const std::pair<const char*, Method<Corkboard>> misc[] = {
      {"idcheck", CB_METHOD(Corkboard, IDCheck)},
      {"login", CB_METHOD(Corkboard, Login)},
      {"lostpw", CB_METHOD(Corkboard, lostpw)},
      {"sendthread", CB_METHOD(Corkboard, SendThread)},
      {"getannounce", CB_METHOD(Corkboard, Getannounce)},
      {"getip", CB_METHOD(Corkboard, GetIP)},
      {"icqmessage", CB_METHOD(Corkboard, IcqMessage)},
  };
  r.Add("cbkmisc.asp", UnknownAction, "UnknownAction");
  for (const auto& [action, m] : misc) AddPage(r, "cbkmisc.asp", action, m);

  const std::pair<const char*, Method<Corkboard>> posting[] = {
      {"newtopic", CB_METHOD(Corkboard, NewTopic)},
      {"posttopic", CB_METHOD(Corkboard, posttopic)},
      {"reply", CB_METHOD(Corkboard, reply)},
      {"replywquote", CB_METHOD(Corkboard, replywquote)},
      {"postreply", CB_METHOD(Corkboard, PostReply)},
      {"editpost", CB_METHOD(Corkboard, EditPost)},
      {"submitedit", CB_METHOD(Corkboard, SubmitEdit)},
      {"deletepost", CB_METHOD(Corkboard, DeletePost)},
      {"closethread", CB_METHOD(Corkboard, CloseThread)},
      {"openthread", CB_METHOD(Corkboard, CloseThread)},
      {"processclose", CB_METHOD(Corkboard, CloseThread)},
      {"copypost", CB_METHOD(Corkboard, CopyPost)},
      {"deletearchive", CB_METHOD(Corkboard, DeleteArchive)},
      {"editarchive", CB_METHOD(Corkboard, ArchiveEditPost)},
      {"archivesubmitedit", CB_METHOD(Corkboard, ArchiveSubmitEdit)},
  };
  r.Add("posting.asp", UnknownAction, "UnknownAction");
  for (const auto& [action, m] : posting) AddPage(r, "posting.asp", action, m);

  r.Add("archive.asp", UnknownAction, "UnknownAction");
  AddPage(r, "archive.asp", "transfer", CB_METHOD(Corkboard, Transfer));
  AddPage(r, "archive.asp", "transferarchive", CB_METHOD(Corkboard, TransferArchive));
  r.AddAction("archive.asp", "submittransfer", SubmitTransfer, "SubmitTransfer");
  AddPage(r, "archive.asp", "restorearchive", CB_METHOD(Corkboard, RestoreArchive));
  AddPage(r, "archive.asp", "submitrestore", CB_METHOD(Corkboard, RestoreArchive));

  r.Add("signup.asp", SignupPage, "SignupPage");
  r.Add("jump.asp", Jump, "Jump");
  AddPage(r, "pm.asp", CB_METHOD(PM, Run));
}

void AddAdminRoutes(Router& r) {
  const std::pair<const char*, Method<Admin>> pages[] = {
      {"admin/forum.asp", CB_METHOD(Admin, Forum)},
      {"admin/edit.asp", CB_METHOD(Admin, Edit)},
      {"admin/announce.asp", CB_METHOD(Admin, Announce)},
      {"admin/member.asp", CB_METHOD(Admin, Permissions)},
      {"admin/archive.asp", CB_METHOD(Admin, Archives)},
      {"admin/misc.asp", CB_METHOD(Admin, DataMaintenance)},
      {"admin/analyzer.asp", CB_METHOD(Admin, MonthPostAnalyzer)},
      {"admin/mail.asp", CB_METHOD(Admin, EMail)},
      {"admin/account.asp", CB_METHOD(Admin, ImportAccount)},
      {"admin/upload.asp", CB_METHOD(Admin, FileUp)},
      {"admin/jscode.asp", CB_METHOD(Admin, JsCode)},
      {"admin/", CB_METHOD(Admin, Index)},
      {"admin/default.asp", CB_METHOD(Admin, Index)},
      {"admin/index.asp", CB_METHOD(Admin, Index)},
  };
  for (const auto& [path, m] : pages) AddPage(r, path, m);
  // The one address that takes a file: every other takes a form's body at most.
  r.SetBodySize("admin/upload.asp", BodySize::kUpload);
  r.Add("admin/pm.asp", AdminPmPage, "AdminPmPage");
  // The panel's pages link the stylesheet relative to their own folder.
  r.Add("admin/default.css", AdminStyleSheet, "AdminStyleSheet");
  r.Add("admin/images/dot.gif", AdminBarPicture, "AdminBarPicture");
  r.Add("admin", AdminWithSlash, "AdminWithSlash");
}

void AddAliases(Router& r) {
  r.Add("cbkcode.asp", CodeHelp, "CodeHelp");
  r.Add("default.htm", DefaultHtm, "DefaultHtm");
  // The two kinds of files served from the data folder.
  r.AddFolder("js", ServeNewsScript, "ServeNewsScript");
  r.AddFolder("upload", ServeUploadedFile, "ServeUploadedFile");
}

// Actions that sign in or change data and are reached only by a form that posts. Actions the
// board's own pages link by GET stay open to GET (their pages show a form first or act on the
// signed-in session as their texts give them).
constexpr std::pair<const char*, const char*> kPostOnly[] = {
    {"cbkmisc.asp", "login"},
    {"cbkmisc.asp", "idcheck"},
    {"posting.asp", "posttopic"},
    {"posting.asp", "postreply"},
    {"posting.asp", "submitedit"},
    {"posting.asp", "processclose"},
    {"posting.asp", "archivesubmitedit"},
    {"archive.asp", "submittransfer"},
    {"archive.asp", "submitrestore"},
    {"profile.asp", "chkuser"},
    {"profile.asp", "check"},
    {"option.asp", "prefssubmit"},
    {"showfavor.asp", "chkuser"},
    {"showfavor.asp", "deletefavor"},
    {"pm.asp", "idcheck"},
    {"pm.asp", "postpm"},
    {"pm.asp", "deletepm"},
    {"pm.asp", "deleteoutbox"},
    {"pm.asp", "deleteignorelist"},
    {"admin/forum.asp", "login"},
    {"admin/forum.asp", "setforums"},
    {"admin/forum.asp", "addnewforum"},
    {"admin/forum.asp", "submitedit"},
    {"admin/edit.asp", "editfunction"},
    {"admin/edit.asp", "submitprune"},
    {"admin/edit.asp", "submiteditsubject"},
    {"admin/edit.asp", "dodeletethread"},
    {"admin/edit.asp", "domessageedit"},
    {"admin/announce.asp", "enter"},
    {"admin/announce.asp", "submitannounce"},
    {"admin/announce.asp", "reviewannounce"},
    {"admin/announce.asp", "submitanncedit"},
    {"admin/member.asp", "updatepermiss"},
    {"admin/member.asp", "submitedit"},
    {"admin/archive.asp", "enterarchive"},
    {"admin/archive.asp", "archivecenter"},
    {"admin/mail.asp", "mailusers"},
    {"admin/account.asp", "importaccount"},
    {"admin/jscode.asp", "forumjs"},
    {"admin/jscode.asp", "archivejs"},
};

// The host's refusals are reported on the error page of the class that owns the address.
void AddErrorPages(Router& r) {
  for (const char* path :
       {"default.asp", "list.asp", "newsdetail.asp", "profile.asp", "showfavor.asp", "favor.asp",
        "subscibe.asp", "option.asp", "cbkmisc.asp", "posting.asp", "archive.asp", "signup.asp",
        "download.asp", "member.asp", "viewuser.asp"}) {
    r.SetErrorPage(path, ErrorPageOf<Corkboard>());
  }
  r.SetErrorPage("pm.asp", ErrorPageOf<PM>());
  for (const char* path :
       {"admin/forum.asp", "admin/edit.asp", "admin/announce.asp", "admin/member.asp",
        "admin/archive.asp", "admin/misc.asp", "admin/mail.asp", "admin/account.asp",
        "admin/upload.asp", "admin/pm.asp", "admin/analyzer.asp", "admin/jscode.asp"}) {
    r.SetErrorPage(path, ErrorPageOf<Admin>());
  }
}

}  // namespace

std::string JumpTarget(std::string_view requested) {
  std::string target = Trim(requested);
  std::string lower = ToLower(target);
  for (unsigned char c : target) {
    if (c < 0x20 || c == 0x7f) return "default.asp";
  }
  for (std::string_view page : {"list.asp", "archivelist.asp"}) {
    if (lower == page) return target;
    if (lower.size() > page.size() && lower.starts_with(page) && lower[page.size()] == '?') {
      return target;
    }
  }
  return "default.asp";
}

void AddBoardRoutes(Router& router) {
  AddCorkboardRoutes(router);
  AddAdminRoutes(router);
  AddAliases(router);
  for (const auto& [path, action] : kPostOnly) router.RequirePost(path, action);
  AddErrorPages(router);
}

}  // namespace cb
