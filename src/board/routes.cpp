// The board's address table: every page address, the method its "action" picks, and the few
// small pages answered without a page object (jump.asp, aliases).
#include "board/routes.h"

#include "admin/admin.h"
#include "frame/corkboard.h"
#include "host/static_files.h"
#include "messages/pm.h"
#include "runtime/convert.h"

namespace cb {

namespace {

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
  const std::pair<const char*, void (Corkboard::*)()> pages[] = {
      {"default.asp", &Corkboard::Home},
      {"list.asp", &Corkboard::list},
      {"newsdetail.asp", &Corkboard::Detail},
      {"hot.asp", &Corkboard::HotTopic},
      {"morereply.asp", &Corkboard::MoreReply},
      {"active.asp", &Corkboard::NewlyTopic},
      {"top.asp", &Corkboard::Top},
      {"online.asp", &Corkboard::Online},
      {"member.asp", &Corkboard::MemberList},
      {"search.asp", &Corkboard::Search},
      {"profile.asp", &Corkboard::Profile},
      {"viewuser.asp", &Corkboard::ViewUser},
      {"option.asp", &Corkboard::CorkboardOption},
      {"favor.asp", &Corkboard::Favor},
      {"showfavor.asp", &Corkboard::Showfavor},
      {"subscibe.asp", &Corkboard::subscibe},
      {"archivelist.asp", &Corkboard::ArchiveList},
      {"archivecontent.asp", &Corkboard::ArchiveContent},
      {"download.asp", &Corkboard::Pack},
  };
  for (const auto& [path, method] : pages) r.Add(path, CallPage(method));

  const std::pair<const char*, void (Corkboard::*)()> misc[] = {
      {"idcheck", &Corkboard::IDCheck},         {"login", &Corkboard::Login},
      {"lostpw", &Corkboard::lostpw},           {"sendthread", &Corkboard::SendThread},
      {"getannounce", &Corkboard::Getannounce}, {"getip", &Corkboard::GetIP},
      {"icqmessage", &Corkboard::IcqMessage},
  };
  r.Add("cbkmisc.asp", UnknownAction);
  for (const auto& [action, method] : misc) r.AddAction("cbkmisc.asp", action, CallPage(method));

  const std::pair<const char*, void (Corkboard::*)()> posting[] = {
      {"newtopic", &Corkboard::NewTopic},
      {"posttopic", &Corkboard::posttopic},
      {"reply", &Corkboard::reply},
      {"replywquote", &Corkboard::replywquote},
      {"postreply", &Corkboard::PostReply},
      {"editpost", &Corkboard::EditPost},
      {"submitedit", &Corkboard::SubmitEdit},
      {"deletepost", &Corkboard::DeletePost},
      {"closethread", &Corkboard::CloseThread},
      {"openthread", &Corkboard::CloseThread},
      {"processclose", &Corkboard::CloseThread},
      {"copypost", &Corkboard::CopyPost},
      {"deletearchive", &Corkboard::DeleteArchive},
      {"editarchive", &Corkboard::ArchiveEditPost},
      {"archivesubmitedit", &Corkboard::ArchiveSubmitEdit},
  };
  r.Add("posting.asp", UnknownAction);
  for (const auto& [action, method] : posting) r.AddAction("posting.asp", action, CallPage(method));

  r.Add("archive.asp", UnknownAction);
  r.AddAction("archive.asp", "transfer", CallPage(&Corkboard::Transfer));
  r.AddAction("archive.asp", "transferarchive", CallPage(&Corkboard::TransferArchive));
  r.AddAction("archive.asp", "submittransfer", SubmitTransfer);

  r.Add("signup.asp", SignupPage);
  r.Add("jump.asp", Jump);
  r.Add("pm.asp", CallPage(&PM::Run));
}

void AddAdminRoutes(Router& r) {
  const std::pair<const char*, void (Admin::*)()> pages[] = {
      {"admin/forum.asp", &Admin::Forum},
      {"admin/edit.asp", &Admin::Edit},
      {"admin/announce.asp", &Admin::Announce},
      {"admin/member.asp", &Admin::Permissions},
      {"admin/archive.asp", &Admin::Archives},
      {"admin/misc.asp", &Admin::DataMaintenance},
      {"admin/analyzer.asp", &Admin::MonthPostAnalyzer},
      {"admin/mail.asp", &Admin::EMail},
      {"admin/account.asp", &Admin::ImportAccount},
      {"admin/upload.asp", &Admin::FileUp},
      {"admin/jscode.asp", &Admin::JsCode},
      {"admin/", &Admin::Index},
      {"admin/default.asp", &Admin::Index},
      {"admin/index.asp", &Admin::Index},
  };
  for (const auto& [path, method] : pages) r.Add(path, CallPage(method));
  // The one address that takes a file: every other takes a form's body at most.
  r.SetBodySize("admin/upload.asp", BodySize::kUpload);
  r.Add("admin/pm.asp", AdminPmPage);
  // Without the slash the panel's relative links would point at the site root.
  r.Add("admin", [](ScriptingContext& ctx) { ctx.response().Redirect("admin/"); });
}

void AddAliases(Router& r) {
  // replywquote links cbkcode.asp where every other page links cbkcode.htm.
  r.Add("cbkcode.asp", [](ScriptingContext& ctx) {
    if (!ServeSiteFile(ctx, "cbkcode.htm")) ctx.response().Redirect("cbkcode.htm");
  });
  // Login sends the browser to Default.htm: the site's own file when there is one, else the index.
  r.Add("default.htm", [](ScriptingContext& ctx) {
    if (!ServeSiteFile(ctx, "Default.htm")) ctx.response().Redirect("default.asp");
  });
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
    {"profile.asp", "chkuser"},
    {"profile.asp", "check"},
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
};

// The host's refusals are reported on the error page of the class that owns the address.
void AddErrorPages(Router& r) {
  for (const char* path :
       {"default.asp", "list.asp", "newsdetail.asp", "profile.asp", "showfavor.asp", "favor.asp",
        "subscibe.asp", "option.asp", "cbkmisc.asp", "posting.asp", "archive.asp", "signup.asp",
        "download.asp"}) {
    r.SetErrorPage(path, ErrorPageOf<Corkboard>());
  }
  r.SetErrorPage("pm.asp", ErrorPageOf<PM>());
  for (const char* path :
       {"admin/forum.asp", "admin/edit.asp", "admin/announce.asp", "admin/member.asp",
        "admin/archive.asp", "admin/misc.asp", "admin/mail.asp", "admin/account.asp",
        "admin/upload.asp", "admin/pm.asp"}) {
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
