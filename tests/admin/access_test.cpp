// Every control-panel action against every kind of visitor: a guest, a member, the moderator of
// the forum acted on, a moderator of another forum, and the administrator. A refused step writes
// its refusal and changes nothing; an admitted one does its work.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "admin/panel_fixture.h"

namespace cb {
namespace {

using test::FormFields;
using test::PanelBoard;
using test::Person;

enum class Who { kAdministrator, kAnyModerator, kForumModerator };

// One action: the page and its request ({forum}, {topic} and {announce} stand for the object
// acted on: the moderator's own for kOwnModerator, else the other forum's), who may run it, the
// refusal a guest or member gets and a probe that changes when it acts.
struct PanelCase {
  const char* name;
  void (Admin::*page)();
  bool post;
  std::string url;
  FormFields fields;
  Who who;
  const char* refusal;
  std::string probe = "";  // empty: a step that only shows a page
};

void PrintTo(const PanelCase& c, std::ostream* os) { *os << c.name; }

enum class Role { kGuest, kMember, kOwnModerator, kOtherModerator, kAdministrator };

const Person* PersonOf(Role r) {
  switch (r) {
    case Role::kGuest:
      return nullptr;
    case Role::kMember:
      return &test::kJoe;
    case Role::kOwnModerator:
    case Role::kOtherModerator:
      return &test::kMod;
    case Role::kAdministrator:
      return &test::kBoss;
  }
  return nullptr;
}

bool Allowed(Who who, Role r) {
  if (r == Role::kAdministrator) return true;
  if (who == Who::kAnyModerator) return r == Role::kOwnModerator || r == Role::kOtherModerator;
  if (who == Who::kForumModerator) return r == Role::kOwnModerator;
  return false;
}

std::string Fill(std::string text, const PanelBoard& b, Role r) {
  const bool own = r == Role::kOwnModerator;
  const std::pair<std::string, std::string> values[] = {
      {"{forum}", own ? test::kOwnForum : test::kOtherForum},
      {"{topic}", std::to_string(own ? b.own_topic : b.other_topic)},
      {"{announce}", std::to_string(own ? b.own_announce : b.other_announce)},
  };
  for (const auto& [key, value] : values) {
    for (size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  }
  return text;
}

const char* kDates[][2] = {{"StartYear", "2024"}, {"StartMonth", "05"}, {"StartDay", "01"},
                           {"EndYear", "2024"},   {"EndMonth", "06"},   {"EndDay", "30"}};
FormFields WithDates(FormFields f) {
  for (const auto& [k, v] : kDates) f.emplace_back(k, v);
  return f;
}

const PanelCase kCases[] = {
    {"forum login", &Admin::Forum, true, "/admin/forum.asp", {{"action", "login"}},
     Who::kAdministrator, "对不起，没有找到该用户的记录！"},
    {"forum order", &Admin::Forum, false, "/admin/forum.asp?action=order&sortby=alpha", {},
     Who::kAdministrator, "对不起，没有找到该用户的记录！"},
    {"forum setforums", &Admin::Forum, true, "/admin/forum.asp",
     {{"action", "setforums"}, {"forumname", "{forum}"}, {"sequence", "9"}}, Who::kAdministrator,
     "对不起，没有找到该用户", "select sequence from forum where forumname='{forum}'"},
    {"forum addforums", &Admin::Forum, false, "/admin/forum.asp?action=addforums", {},
     Who::kAdministrator, "对不起找不到该用户"},
    {"forum addnewforum", &Admin::Forum, true, "/admin/forum.asp",
     {{"action", "addnewforum"}, {"forumname", "新版"}, {"catalog", "电脑"}}, Who::kAdministrator,
     "对不起，没有发现该用户", "select count(*) from forum"},
    {"forum getforum", &Admin::Forum, false, "/admin/forum.asp?action=getforum&forumname={forum}",
     {}, Who::kAdministrator, "对不起，找不到该用户"},
    {"forum rename", &Admin::Forum, true, "/admin/forum.asp",
     {{"action", "submitedit"}, {"oldforumname", "{forum}"}, {"forumname", "{forum}2"},
      {"catalog", "电脑"}},
     Who::kAdministrator, "对不起，没有发现该用户",
     "select count(*) from post where forumname='{forum}'"},
    {"forum delete", &Admin::Forum, true, "/admin/forum.asp",
     {{"action", "submitedit"}, {"oldforumname", "{forum}"}, {"forumname", "{forum}"},
      {"deleteforum", "on"}},
     Who::kAdministrator, "对不起，没有发现该用户", "select count(*) from forum"},
    {"edit editfunction", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "EditFunction"}, {"EditFunction", "Edit"}}, Who::kAnyModerator,
     "对不起，你没有执行该操作的权限"},
    {"edit admineditthisforum", &Admin::Edit, false,
     "/admin/edit.asp?action=AdminEditThisForum&ForumName={forum}&DaysPrune=60", {},
     Who::kForumModerator, "对不起，你没有执行该操作的权限"},
    {"edit prunebydate", &Admin::Edit, false,
     "/admin/edit.asp?action=PrunebyDate&ForumName={forum}&DaysPrune=60", {},
     Who::kForumModerator, "对不起，你没有执行该操作的权限"},
    {"edit prunebyuser", &Admin::Edit, false,
     "/admin/edit.asp?action=PruneByUser&ForumName={forum}&MatchUser=joe", {},
     Who::kForumModerator, "对不起，你没有执行该操作的权限"},
    {"edit geteditthreads", &Admin::Edit, false, "/admin/edit.asp?action=GetEditthreads&Topic={topic}",
     {}, Who::kForumModerator, "对不起，你没有"},
    {"edit message form", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "GetExactEditMessage"}, {"topic", "{topic}"}, {"EditMessageNumber", "{topic}"}},
     Who::kForumModerator, "对不起，你没有"},
    {"edit subject form", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "GetExactEditMessage"}, {"topic", "{topic}"}, {"EditSubject", "yes"}},
     Who::kForumModerator, "对不起，你没有"},
    {"edit delete form", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "GetExactEditMessage"}, {"topic", "{topic}"}, {"DeleteThread", "yes"}},
     Who::kForumModerator, "对不起，你没有"},
    {"edit submitprune", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "SubmitPrune"}, {"Delete", "{topic}"}}, Who::kForumModerator,
     "对不起，你不能进行该操作！", "select count(*) from post"},
    {"edit submiteditsubject", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "submitEditSubject"}, {"topic", "{topic}"}, {"NewSubject", "新主题"}},
     Who::kForumModerator, "对不起，您不能进行该操作！",
     "select subject from post where postid={topic}"},
    {"edit dodeletethread", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "doDeleteThread"}, {"topic", "{topic}"}}, Who::kForumModerator,
     "对不起，您不能进行该操作！", "select count(*) from post"},
    {"edit domessageedit", &Admin::Edit, true, "/admin/edit.asp",
     {{"action", "DoMessageEdit"}, {"MessageNumber", "{topic}"}, {"MessageText", "改过"}},
     Who::kForumModerator, "对不起，您不能进行该操作！",
     "select message from post where postid={topic}"},
    {"announce enter", &Admin::Announce, true, "/admin/announce.asp",
     {{"action", "enter"}, {"AnnounceFunction", "EditAnnouncement"}}, Who::kAnyModerator,
     "对不起，没有发现该用户！"},
    {"announce submitannounce", &Admin::Announce, true, "/admin/announce.asp",
     WithDates({{"action", "submitannounce"}, {"Subject", "新公告"}, {"EditedMessage", "内容"},
                {"ForumName", "{forum}"}}),
     Who::kForumModerator, "对不起，没有发现该用户！", "select count(*) from announce"},
    {"announce reviewannounce", &Admin::Announce, true, "/admin/announce.asp",
     {{"action", "reviewannounce"}, {"editannounce", "{announce}"}}, Who::kForumModerator,
     "对不起，没有发现该用户！"},
    {"announce edit", &Admin::Announce, true, "/admin/announce.asp",
     WithDates({{"action", "submitanncedit"}, {"announceid", "{announce}"}, {"Subject", "改"},
                {"EditedMessage", "改"}}),
     Who::kForumModerator, "对不起，没有发现该用户！",
     "select subject from announce where id={announce}"},
    {"announce delete", &Admin::Announce, true, "/admin/announce.asp",
     {{"action", "submitanncedit"}, {"announceid", "{announce}"}, {"delete", "on"}},
     Who::kForumModerator, "对不起，没有发现该用户！", "select count(*) from announce"},
    {"member getmatches", &Admin::Permissions, true, "/admin/member.asp",
     {{"action", "getmatches"}, {"ViewEntire", "Yes"}}, Who::kAdministrator,
     "对不起，你不能进行该操作！"},
    {"member getmatches paged", &Admin::Permissions, false,
     "/admin/member.asp?action=getmatches&page=1&ViewEntire=Yes", {}, Who::kAdministrator,
     "对不起，你不能进行该操作！"},
    {"member updatepermiss", &Admin::Permissions, true, "/admin/member.asp",
     {{"action", "updatepermiss"}, {"hiddenusername", "joe"}, {"AdminWrite1", "false"},
      {"AdminPermission1", "false"}},
     Who::kAdministrator, "对不起，你不能进行该操作！",
     "select canpost from register where username='joe'"},
    {"member delete", &Admin::Permissions, true, "/admin/member.asp",
     {{"action", "updatepermiss"}, {"delete", "joe"}}, Who::kAdministrator,
     "对不起，你不能进行该操作！", "select count(*) from register"},
    {"member getbio4admin", &Admin::Permissions, false,
     "/admin/member.asp?action=getbio4admin&UserName=joe", {}, Who::kAdministrator,
     "对不起，你不能进行该操作！"},
    {"member rename", &Admin::Permissions, true, "/admin/member.asp",
     {{"action", "submitedit"}, {"oldUserName", "joe"}, {"NewUserName", "joe2"}},
     Who::kAdministrator, "对不起，你不能进行该操作！", "select count(*) from register where "
     "username='joe'"},
};

class PanelAccess : public ::testing::TestWithParam<PanelCase> {};

TEST_P(PanelAccess, OnlyTheRightPeopleGetThrough) {
  const PanelCase& c = GetParam();
  for (Role role : {Role::kGuest, Role::kMember, Role::kOwnModerator, Role::kOtherModerator,
                    Role::kAdministrator}) {
    SCOPED_TRACE(static_cast<int>(role));
    PanelBoard b;
    const Person* who = PersonOf(role);
    if (who != nullptr) b.SignedIn(*who);
    const std::string probe = Fill(c.probe, b, role);
    const Variant before = probe.empty() ? Variant() : b.Scalar(probe);
    FormFields fields;
    for (const auto& [k, v] : c.fields) fields.emplace_back(k, Fill(v, b, role));
    const std::string page = c.post ? b.Post(c.page, Fill(c.url, b, role), fields, who)
                                    : b.Get(c.page, Fill(c.url, b, role));
    EXPECT_FALSE(test::Has(page, "错误号")) << page;
    const bool allowed = Allowed(c.who, role);
    EXPECT_EQ(test::IsRefusal(page), !allowed) << page;
    // A member gets the identity refusal; a guest may be stopped earlier by empty fields, a
    // moderator elsewhere by the step's own refusal.
    if (role == Role::kMember) {
      EXPECT_TRUE(test::Has(page, c.refusal)) << page;
    }
    if (!probe.empty()) {
      EXPECT_EQ(b.Scalar(probe).Str() != before.Str(), allowed) << probe;
    }
    EXPECT_EQ(b.CounterMismatch(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, PanelAccess, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name;
                           for (char ch : std::string(info.param.name)) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

// The mass message: only an administrator sends it, to every member or every moderator.
TEST(PanelMessage, OnlyAnAdministratorSendsToAll) {
  for (const Person* who : {&test::kJoe, &test::kMod, &test::kBoss}) {
    PanelBoard b;
    b.host.PostForm("/admin/pm.asp", {{"UserName", who->name},
                                      {"Password", who->password},
                                      {"option", "allmember"},
                                      {"Subject", "通知"},
                                      {"message", "大家好"}});
    std::string answer;
    b.host.RunWith<Admin>([&](Admin& a) { answer = a.PM(); });
    const bool admin = who == &test::kBoss;
    EXPECT_EQ(answer, admin ? "" : "对不起，该操作只有管理员才能进行！");
    EXPECT_EQ(b.Count("select count(*) from pm"), admin ? 3 : 0);
  }
  PanelBoard b;
  b.board.AddModerator(test::kOtherForum, test::kMod.name);
  b.host.PostForm("/admin/pm.asp", {{"UserName", "boss"}, {"Password", "pw1"},
                                    {"option", "moderater"}, {"Subject", "s"}, {"message", "m"}});
  std::string answer;
  b.host.RunWith<Admin>([&](Admin& a) { answer = a.PM(); });
  EXPECT_EQ(answer, "");
  EXPECT_EQ(b.Count("select count(*) from pm where recipient='mod' and sender='boss'"), 1);
  EXPECT_EQ(b.Count("select count(*) from pm"), 1);
  b.host.PostForm("/admin/pm.asp", {{"UserName", "boss"}, {"Password", "pw1"}, {"Subject", "s"}});
  b.host.RunWith<Admin>([&](Admin& a) { answer = a.PM(); });
  EXPECT_EQ(answer, "用户名、密码、消息均不能为空！");
}

}  // namespace
}  // namespace cb
