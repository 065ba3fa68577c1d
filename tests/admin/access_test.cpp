// Every control-panel action against every kind of visitor: a guest, a member, the moderator of
// the forum acted on, a moderator of another forum, and the administrator. A refused step writes
// its refusal and changes nothing; an admitted one does its work.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "admin/form_text.h"
#include "admin/panel_fixture.h"
#include "frame/throttle.h"

namespace cb {
namespace {

using test::PanelBoard;
using test::Person;

enum class Who { kAdministrator, kAnyModerator, kForumModerator };

// One action: the page, its address and, for a POST, its form as "name=value&..." ({forum},
// {topic} and {announce} stand for the object acted on: the moderator's own for kOwnModerator,
// else the other forum's), who may run it, the refusal a member gets and a probe that changes
// when the step acts (none for a step that only shows a page).
struct PanelCase {
  const char* name;
  void (Admin::*page)();
  const char* url;
  const char* form;  // nullptr: a GET
  Who who;
  const char* refusal;
  const char* probe = "";
};

void PrintTo(const PanelCase& c, std::ostream* os) { *os << c.name; }

enum class Role { kGuest, kMember, kOwnModerator, kOtherModerator, kAdministrator };

const Person* PersonOf(Role r) {
  const Person* people[] = {nullptr, &test::kJoe, &test::kMod, &test::kMod, &test::kBoss};
  return people[static_cast<int>(r)];
}

bool Allowed(Who who, Role r) {
  if (r == Role::kAdministrator) return true;
  if (who == Who::kAnyModerator) return r == Role::kOwnModerator || r == Role::kOtherModerator;
  return who == Who::kForumModerator && r == Role::kOwnModerator;
}

std::string Fill(std::string text, const PanelBoard& b, Role r) {
  const bool own = r == Role::kOwnModerator;
  const std::pair<std::string, std::string> values[] = {
      {"{forum}", own ? test::kOwnForum : test::kOtherForum},
      {"{topic}", std::to_string(own ? b.own_topic : b.other_topic)},
      {"{announce}", std::to_string(own ? b.own_announce : b.other_announce)},
  };
  for (const auto& [key, value] : values) {
    for (size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
  }
  return text;
}

constexpr Who kAdmin = Who::kAdministrator, kAnyMod = Who::kAnyModerator,
              kOwnMod = Who::kForumModerator;
#define DATES "&StartYear=2024&StartMonth=05&StartDay=01&EndYear=2024&EndMonth=06&EndDay=30"
// clang-format off
const PanelCase kCases[] = {
  {"forum_login", &Admin::Forum, "/admin/forum.asp", "action=login", kAdmin,
   "对不起，没有找到该用户的记录！"},
  {"forum_order", &Admin::Forum, "/admin/forum.asp?action=order&sortby=alpha", nullptr, kAdmin,
   "对不起，没有找到该用户的记录！"},
  {"forum_setforums", &Admin::Forum, "/admin/forum.asp",
   "action=setforums&forumname={forum}&sequence=9", kAdmin, "对不起，没有找到该用户",
   "select sequence from forum where forumname='{forum}'"},
  {"forum_addforums", &Admin::Forum, "/admin/forum.asp?action=addforums", nullptr, kAdmin,
   "对不起找不到该用户"},
  {"forum_addnewforum", &Admin::Forum, "/admin/forum.asp",
   "action=addnewforum&forumname=新版&catalog=电脑", kAdmin, "对不起，没有发现该用户",
   "select count(*) from forum"},
  {"forum_getforum", &Admin::Forum, "/admin/forum.asp?action=getforum&forumname={forum}", nullptr,
   kAdmin, "对不起，找不到该用户"},
  {"forum_rename", &Admin::Forum, "/admin/forum.asp",
   "action=submitedit&oldforumname={forum}&forumname={forum}2&catalog=电脑", kAdmin,
   "对不起，没有发现该用户", "select count(*) from post where forumname='{forum}'"},
  {"forum_delete", &Admin::Forum, "/admin/forum.asp",
   "action=submitedit&oldforumname={forum}&forumname={forum}&deleteforum=on", kAdmin,
   "对不起，没有发现该用户", "select count(*) from forum"},
  {"edit_editfunction", &Admin::Edit, "/admin/edit.asp", "action=EditFunction&EditFunction=Edit",
   kAnyMod, "对不起，你没有执行该操作的权限"},
  {"edit_admineditthisforum", &Admin::Edit,
   "/admin/edit.asp?action=AdminEditThisForum&ForumName={forum}&DaysPrune=60", nullptr, kOwnMod,
   "对不起，你没有执行该操作的权限"},
  {"edit_prunebydate", &Admin::Edit,
   "/admin/edit.asp?action=PrunebyDate&ForumName={forum}&DaysPrune=60", nullptr, kOwnMod,
   "对不起，你没有执行该操作的权限"},
  {"edit_prunebyuser", &Admin::Edit,
   "/admin/edit.asp?action=PruneByUser&ForumName={forum}&MatchUser=joe", nullptr, kOwnMod,
   "对不起，你没有执行该操作的权限"},
  {"edit_geteditthreads", &Admin::Edit, "/admin/edit.asp?action=GetEditthreads&Topic={topic}",
   nullptr, kOwnMod, "对不起，你没有"},
  {"edit_message_form", &Admin::Edit, "/admin/edit.asp",
   "action=GetExactEditMessage&topic={topic}&EditMessageNumber={topic}", kOwnMod, "对不起，你没有"},
  {"edit_subject_form", &Admin::Edit, "/admin/edit.asp",
   "action=GetExactEditMessage&topic={topic}&EditSubject=yes", kOwnMod, "对不起，你没有"},
  {"edit_delete_form", &Admin::Edit, "/admin/edit.asp",
   "action=GetExactEditMessage&topic={topic}&DeleteThread=yes", kOwnMod, "对不起，你没有"},
  {"edit_submitprune", &Admin::Edit, "/admin/edit.asp", "action=SubmitPrune&Delete={topic}",
   kOwnMod, "对不起，你不能进行该操作！", "select count(*) from post"},
  {"edit_submiteditsubject", &Admin::Edit, "/admin/edit.asp",
   "action=submitEditSubject&topic={topic}&NewSubject=新主题", kOwnMod,
   "对不起，您不能进行该操作！", "select subject from post where postid={topic}"},
  {"edit_dodeletethread", &Admin::Edit, "/admin/edit.asp", "action=doDeleteThread&topic={topic}",
   kOwnMod, "对不起，您不能进行该操作！", "select count(*) from post"},
  {"edit_domessageedit", &Admin::Edit, "/admin/edit.asp",
   "action=DoMessageEdit&MessageNumber={topic}&MessageText=改过", kOwnMod,
   "对不起，您不能进行该操作！", "select message from post where postid={topic}"},
  {"announce_enter", &Admin::Announce, "/admin/announce.asp",
   "action=enter&AnnounceFunction=EditAnnouncement", kAnyMod, "对不起，没有发现该用户！"},
  {"announce_submitannounce", &Admin::Announce, "/admin/announce.asp",
   "action=submitannounce&Subject=新公告&EditedMessage=内容&ForumName={forum}" DATES, kOwnMod,
   "对不起，没有发现该用户！", "select count(*) from announce"},
  {"announce_reviewannounce", &Admin::Announce, "/admin/announce.asp",
   "action=reviewannounce&editannounce={announce}", kOwnMod, "对不起，没有发现该用户！"},
  {"announce_edit", &Admin::Announce, "/admin/announce.asp",
   "action=submitanncedit&announceid={announce}&Subject=改&EditedMessage=改" DATES, kOwnMod,
   "对不起，没有发现该用户！", "select subject from announce where id={announce}"},
  {"announce_delete", &Admin::Announce, "/admin/announce.asp",
   "action=submitanncedit&announceid={announce}&delete=on", kOwnMod, "对不起，没有发现该用户！",
   "select count(*) from announce"},
  {"member_getmatches", &Admin::Permissions, "/admin/member.asp",
   "action=getmatches&ViewEntire=Yes", kAdmin, "对不起，你不能进行该操作！"},
  {"member_getmatches_paged", &Admin::Permissions,
   "/admin/member.asp?action=getmatches&page=1&ViewEntire=Yes", nullptr, kAdmin,
   "对不起，你不能进行该操作！"},
  {"member_updatepermiss", &Admin::Permissions, "/admin/member.asp",
   "action=updatepermiss&hiddenusername=joe&AdminWrite1=false&AdminPermission1=false", kAdmin,
   "对不起，你不能进行该操作！", "select canpost from register where username='joe'"},
  {"member_delete", &Admin::Permissions, "/admin/member.asp", "action=updatepermiss&delete=joe",
   kAdmin, "对不起，你不能进行该操作！", "select count(*) from register"},
  {"member_getbio4admin", &Admin::Permissions,
   "/admin/member.asp?action=getbio4admin&UserName=joe", nullptr, kAdmin,
   "对不起，你不能进行该操作！"},
  {"member_rename", &Admin::Permissions, "/admin/member.asp",
   "action=submitedit&oldUserName=joe&NewUserName=joe2", kAdmin, "对不起，你不能进行该操作！",
   "select count(*) from register where username='joe'"},
};
// clang-format on
#undef DATES

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
    const std::string url = Fill(c.url, b, role);
    const std::string page =
        c.form ? b.Post(c.page, url, test::FormText(Fill(c.form, b, role)), who) : b.Get(c.page, url);
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

INSTANTIATE_TEST_SUITE_P(Steps, PanelAccess, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name;
  for (char ch : std::string(info.param.name)) {
    name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  }
  return name;
});

// The mass message: only an administrator sends it, to every member or every moderator (one
// message each, whatever the number of forums he moderates).
TEST(PanelMessage, OnlyAnAdministratorSendsToAll) {
  const char* kAdminOnly = "对不起，该操作只有管理员才能进行！";
  const struct {
    const Person* who;
    const char *option, *message, *answer, *sent;
  } cases[] = {
      {&test::kJoe, "allmember", "m", kAdminOnly, ""},
      {&test::kMod, "allmember", "m", kAdminOnly, ""},
      {&test::kBoss, "allmember", "m", "", "boss|boss|\nboss|joe|\nboss|mod|\n"},
      {&test::kBoss, "moderater", "m", "", "boss|mod|\n"},
      {&test::kBoss, "moderater", "", "用户名、密码、消息均不能为空！", ""},
  };
  for (const auto& c : cases) {
    PanelBoard b;
    b.board.AddModerator(test::kOtherForum, test::kMod.name);
    b.host.PostForm("/admin/pm.asp", {{"UserName", c.who->name},
                                      {"Password", c.who->password},
                                      {"option", c.option},
                                      {"Subject", "通知"},
                                      {"message", c.message}});
    std::string answer;
    b.host.RunWith<Admin>([&](Admin& a) { answer = a.PM(); });
    EXPECT_EQ(answer, c.answer) << c.who->name << " " << c.option;
    EXPECT_EQ(b.Rows("select sender,recipient from pm order by recipient"), c.sent);
  }
}

}  // namespace
}  // namespace cb

namespace cb {
namespace {

// A new panel identity renews the session id; password guessing is slowed as at the sign-in.
TEST(PanelSignIn, RenewsTheSessionAndSlowsGuessing) {
  PanelBoard b;
  const auto login = [&](const char* password) {
    return b.Post(&Admin::Forum, "/admin/forum.asp",
                  {{"action", "login"}, {"UserName", "boss"}, {"Password", password}}, nullptr);
  };
  // A moderator is no administrator: the forum page remembers nothing of him.
  b.Post(&Admin::Forum, "/admin/forum.asp",
         {{"action", "login"}, {"UserName", "mod"}, {"Password", "pw2"}}, nullptr);
  EXPECT_FALSE(b.host.session().TakeRenewal());
  EXPECT_EQ(b.host.session().Get("UserNamecp").Str(), "");
  EXPECT_FALSE(test::IsRefusal(login("pw1")));
  EXPECT_TRUE(b.host.session().TakeRenewal());
  login("pw1");
  EXPECT_FALSE(b.host.session().TakeRenewal());  // the same identity again
  for (int i = 0; i < SignInGuard::kFailureLimit; ++i) login("wrong");
  EXPECT_TRUE(test::IsRefusal(login("pw1")));
  b.host.clock().Advance(SignInGuard::kFirstRefusalSeconds + 1);
  EXPECT_FALSE(test::IsRefusal(login("pw1")));
}

}  // namespace
}  // namespace cb
