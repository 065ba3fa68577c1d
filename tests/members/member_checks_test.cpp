// The checks against the member register and the member pages' decisions as data
// (tests/data/members.txt).
#include "members/member_checks.h"

#include <map>

#include "members/member_pages.h"
#include "store/connection.h"
#include "support/page_test.h"

namespace cb {
namespace {

using Texts = std::vector<std::string>;
using test::Yes;

struct MemberChecksTest : test::BoardTest {
  MemberChecksTest() {
    board.AddCatalogForum("General", "Web");
    board.AddCatalogForum("General", "Bob's");
    board.AddMember("root", "rootpw", {.status = "Administrator"});
    board.AddMember("alice", "alicepw", {.status = "Moderater", .email = "alice@example.org"});
    board.AddMember("bob", "bobpw", {.status = "moderater"});
    board.AddMember("carol", "carolpw");
    board.AddMember("dave", "davepw", {.canpost = false});
    board.AddModerator("Web", "alice");
    board.AddModerator("Web", "bob");
    board.AddModerator("Bob's", "bob");
  }
};

// A good save with the changes "field=value" of a case.
ProfileSave ChangedSave(const Texts& changes) {
  ProfileSave s;
  s.member_verified = true;
  s.member = s.form_user = "alice";
  s.stored_password = s.password = s.password1 = "old1";
  s.stored_email = s.email = "a@example.com";
  s.oicq = "12345";
  const std::map<std::string, std::string*> texts = {
      {"form_user", &s.form_user},       {"password", &s.password},
      {"password1", &s.password1},       {"email", &s.email},
      {"stored_email", &s.stored_email}, {"icq", &s.icq},
      {"old_password", &s.old_password}};
  const std::map<std::string, bool*> flags = {{"member_verified", &s.member_verified},
                                              {"email_taken", &s.email_taken},
                                              {"guard_refused", &s.guard_refused}};
  for (const std::string& change : changes) {
    if (change.empty()) continue;
    const size_t eq = change.find('=');
    const std::string field = change.substr(0, eq), value = change.substr(eq + 1);
    if (flags.contains(field)) {
      *flags.at(field) = value == "yes";
    } else {
      *texts.at(field) = value;
    }
  }
  return s;
}

TEST_F(MemberChecksTest, CasesOfTheDataFile) {
  test::CheckCaseTable(
      "members.txt",
      {{"CheckModerator",
        [&](const Texts& a) {
          std::string name = a.at(0), password = a.at(1);
          const int code = CheckModerator(name, password, a.at(2), board.con());
          return Texts{std::to_string(code), name};
        }},
       {"CanPost",
        [&](const Texts& a) {
          std::string name = a.at(0), password = a.at(1);
          bool may_post = a.at(2) == "yes";
          const bool answer = CanPost(name, password, board.con(), may_post);
          return Texts{Yes(answer)[0], Yes(may_post)[0]};
        }},
       {"ProfileSave",
        [](const Texts& a) {
          ProfileSave save = ChangedSave(a);
          const char* refusal = ProfileSaveRefusal(save);
          return Texts{refusal ? refusal : ""};
        }},
       {"DaysPruneShown",
        [](const Texts& a) { return Texts{std::to_string(DaysPruneShown(a.at(0), 7))}; }},
       {"NameStorageShown", [](const Texts& a) { return Yes(NameStorageShown(a.at(0))); }},
       {"FriendMailBody",
        [](const Texts& a) { return Texts{FriendMailBody(a.at(0), "http://board.example/")}; }},
       {"FriendReturnAddress",
        [](const Texts& a) { return Texts{FriendReturnAddress(a.at(0), a.at(1))}; }}});
  // The new password is stored trimmed.
  ProfileSave save = ChangedSave({"password= old1 ", "password1= old1 "});
  EXPECT_EQ(ProfileSaveRefusal(save), nullptr);
  EXPECT_EQ(save.password, "old1");
}

// A member's address stays inside its link.
TEST_F(MemberChecksTest, ModeratorLinks) {
  board.AddCatalogForum("General", "Empty");
  const std::pair<const char*, const char*> cases[] = {
      {"Web", "<a href=mailto:alice@example.org>alice</a>, bob"},
      {"Bob's", "bob"},
      {"Empty", "诚征版主"},
      {"Missing", "诚征版主"},
  };
  for (const auto& [forum, links] : cases) EXPECT_EQ(ModeratorLinks(forum, board.con()), links);
  board.Exec("update register set email='a@b.c onmouseover=alert(1)>' where username='alice'");
  // The query has no ORDER BY: after the update a database may list the moderators either way.
  std::string links = ModeratorLinks("Web", board.con());
  EXPECT_TRUE(Has(links, "<a href=mailto:a@b.c%20onmouseover=alert(1)%3E>alice</a>")) << links;
  EXPECT_EQ(links.size(),
            std::string("<a href=mailto:a@b.c%20onmouseover=alert(1)%3E>alice</a>, bob").size());
}

TEST_F(MemberChecksTest, AdministratorIsRecognisedWithoutTheModeratorTable) {
  board.ExecRaw("DROP TABLE moderated");
  std::string name = "root", password = "rootpw";
  EXPECT_EQ(CheckModerator(name, password, "Web", board.con()), 1);
  name = "carol";
  password = "carolpw";
  EXPECT_THROW(CheckModerator(name, password, "Web", board.con()), ScriptError);
}

TEST_F(MemberChecksTest, BlankNamesAreRefusedWithoutQuerying) {
  Connection never_opened;  // any query on it would raise
  std::string name = "  ", password = "pw";
  bool may_post = true;
  EXPECT_FALSE(CanPost(name, password, never_opened, may_post));
  EXPECT_TRUE(may_post);
  EXPECT_EQ(CheckModerator(name, password, "Web", never_opened), -1);
}

}  // namespace
}  // namespace cb
