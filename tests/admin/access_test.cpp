// Every control-panel action against every kind of visitor (tests/data/panel_access.txt): a
// refused step writes its refusal and changes nothing; an admitted one does its work.
#include <map>

#include "admin/panel_fixture.h"
#include "frame/throttle.h"
#include "runtime/convert.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;
using test::PanelBoard;

enum class Role { kGuest, kMember, kOwnModerator, kOtherModerator, kAdministrator };

const Actor* ActorOf(Role r) {
  const Actor* people[] = {nullptr, &test::kJoe, &test::kMod, &test::kMod, &test::kBoss};
  return people[static_cast<int>(r)];
}

// who: "admin", "anymod" or "ownmod" (the moderator of the forum acted on).
bool Allowed(const std::string& who, Role r) {
  if (r == Role::kAdministrator) return true;
  if (who == "anymod") return r == Role::kOwnModerator || r == Role::kOtherModerator;
  return who == "ownmod" && r == Role::kOwnModerator;
}

std::string Fill(std::string text, const PanelBoard& b, Role r) {
  const bool own = r == Role::kOwnModerator;
  const std::pair<std::string, std::string> values[] = {
      {"{forum}", own ? test::kOwnForum : test::kOtherForum},
      {"{topic}", std::to_string(own ? b.own_topic : b.other_topic)},
      {"{announce}", std::to_string(own ? b.own_announce : b.other_announce)},
  };
  for (const auto& [key, value] : values) text = ReplaceNoCase(text, key, value);
  return text;
}

// One step of tests/data/panel_access.txt: in = name, page, address, form ("-" for a GET);
// out = who may run it, the refusal a member gets and the probe query, if any.
class PanelAccess : public ::testing::TestWithParam<test::TextCase> {};

TEST_P(PanelAccess, OnlyTheRightPeopleGetThrough) {
  const test::TextCase& c = GetParam();
  const std::map<std::string, void (Admin::*)()> pages = {{"Forum", &Admin::Forum},
                                                          {"Edit", &Admin::Edit},
                                                          {"Announce", &Admin::Announce},
                                                          {"Permissions", &Admin::Permissions}};
  ASSERT_EQ(c.in.size(), 4u) << c.where;
  const auto page_method = pages.at(c.in[1]);
  const std::string& form = c.in[3];
  const std::string& refusal = c.out.at(1);
  for (Role role : {Role::kGuest, Role::kMember, Role::kOwnModerator, Role::kOtherModerator,
                    Role::kAdministrator}) {
    SCOPED_TRACE(c.where + " role " + std::to_string(static_cast<int>(role)));
    PanelBoard b;
    const Actor* who = ActorOf(role);
    if (who != nullptr) b.SignedIn(*who);
    const std::string probe = c.out.size() > 2 ? Fill(c.out[2], b, role) : "";
    const Variant before = probe.empty() ? Variant() : b.Scalar(probe);
    const std::string url = Fill(c.in[2], b, role);
    const std::string page =
        form != "-" ? b.Post(page_method, url, test::FieldsOf(Fill(form, b, role), "&"), who)
                    : b.Get(page_method, url);
    EXPECT_FALSE(Has(page, "错误号")) << page;
    const bool allowed = Allowed(c.out[0], role);
    EXPECT_EQ(test::IsRefusal(page), !allowed) << page;
    // A member gets the identity refusal; a guest may be stopped earlier by empty fields, a
    // moderator elsewhere by the step's own refusal.
    if (role == Role::kMember) {
      EXPECT_TRUE(Has(page, refusal)) << page;
    }
    if (!probe.empty()) {
      EXPECT_EQ(b.Scalar(probe).Str() != before.Str(), allowed) << probe;
    }
    EXPECT_EQ(b.CounterMismatch(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, PanelAccess,
                         ::testing::ValuesIn(test::ReadCaseTable("panel_access.txt")["step"]),
                         [](const auto& info) { return info.param.in.at(0); });

// The mass message: only an administrator sends it, to every member or every moderator (one
// message each, whatever the number of forums he moderates).
TEST(PanelMessage, OnlyAnAdministratorSendsToAll) {
  const char* kAdminOnly = "对不起，该操作只有管理员才能进行！";
  const struct {
    const Actor* who;
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
