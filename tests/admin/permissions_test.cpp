// member.asp: the search result as the administrator sees it, paging, the two rights, and deleting
// and renaming a member checked table by table.
#include "admin/member_footprint.h"
#include "admin/panel_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kBoss;

struct PermissionsPage : ::testing::Test {
  test::PanelBoard b;

  std::string Submit(FormFields fields) {
    return b.Post(&Admin::Permissions, "/admin/member.asp", std::move(fields), &kBoss);
  }
  // Rows that name the member in each column a rename rewrites, as "table.column=n" lines.
  std::string Footprint(const std::string& member) {
    std::string out;
    for (const NameColumn& c : MemberNameColumns()) {
      out += std::string(c.table) + "." + c.column + "=" +
             std::to_string(b.Count(std::string("select count(*) from ") + c.table + " where " +
                                    c.column + "='" + member + "'")) +
             "\n";
    }
    return out;
  }
  static std::string NoFootprint() {
    std::string none;
    for (const NameColumn& c : MemberNameColumns()) {
      none += std::string(c.table) + "." + c.column + "=0\n";
    }
    return none;
  }
  // Everything of joe that the footprint tests look for, beyond the fixture's posts.
  void GiveJoeEverything() {
    b.board.AddPrivateMessage("joe", "mod", "给joe");
    b.board.AddPrivateMessage("mod", "joe", "给mod");
    b.board.Exec("insert into outbox (postid,sender,recipient,subject) values (1,'joe','mod','s')");
    b.board.Exec("insert into favor (username,postid) values ('joe'," +
                 std::to_string(b.other_topic) + ")");
    b.board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
    b.board.Exec("insert into ignorelist (username,ignoreusername) values ('joe','mod')");
    b.board.Exec("insert into ignorelist (username,ignoreusername) values ('mod','joe')");
    b.board.AddModerator("闲聊", "joe");
    b.board.Exec("update forum set forummaster='joe' where forumname='闲聊'");
    b.board.AddAnnouncement("闲聊", "joe", "joe的公告", "", b.host.clock().Now(),
                            b.host.clock().Now());
    const int64_t archive = b.board.AddArchive("旧");
    b.board.AddArchivedPost(archive, 800, 0, "技术", "joe", "旧话题");
    b.board.AddArchivedPost(archive, 801, 800, "技术", "mod", "旧回复");
    b.board.AddArchivedPost(archive, 802, 0, "技术", "mod", "mod的旧话题");
    b.board.AddTopic("闲聊", "mod", "mod的话题");
  }
};

TEST_F(PermissionsPage, SearchResultShowsEachMembersRights) {
  // A second newer than joe: the list is ordered by sign-up date alone.
  b.board.AddMember("jo'<i>", "x",
                    {.canpost = false, .postcount = 0, .signdate = "2024-05-09 10:20:31"});
  const std::string page = Submit({{"action", "getmatches"}, {"NN", "jo"}});
  EXPECT_GOLDEN("admin/member_permissions", page);
}

TEST_F(PermissionsPage, PagesHoldFiftyMembers) {
  // Signed up a minute apart: the list is ordered by sign-up date alone.
  for (int i = 0; i < 57; ++i) {
    b.board.AddMember("m" + std::to_string(i), "p",
                      {.signdate = "2024-05-09 11:" + std::string(i < 10 ? "0" : "") +
                                   std::to_string(i) + ":00"});
  }
  EXPECT_GOLDEN("admin/member_first_page", Submit({{"action", "getmatches"}, {"NN", "m"}}));
  b.SignedIn(kBoss);
  EXPECT_GOLDEN("admin/member_last_page",
                b.Get(&Admin::Permissions, "/admin/member.asp?action=getmatches&page=9&NN=m"));
}

TEST_F(PermissionsPage, RightsFollowTheRadioButtons) {
  b.board.AddMember("both", "p", {.status = "administrator"});
  b.board.AddModerator("闲聊", "both");
  Submit(test::FieldsOf(
      "action=updatepermiss&hiddenusername=mod&AdminPermission1=false&AdminWrite1=false&"
      "hiddenusername=boss&AdminPermission2=false&AdminWrite2=true&hiddenusername=both&"
      "AdminPermission3=false&AdminWrite3=true&hiddenusername=joe&AdminPermission4=true",
      "&"));
  // A moderator who loses the administrator's status stays a moderator; a row whose posting
  // choice is missing keeps its right.
  EXPECT_EQ(b.Rows("select username,isnull(status,'-'),canpost from register order by username"),
            "boss|-|True|\nboth|Moderater|True|\njoe|administrator|True|\nmod|Moderater|False|\n");
}

TEST_F(PermissionsPage, DeletingAMemberRemovesEverythingHeWrote) {
  GiveJoeEverything();
  const std::string mod_before = Footprint("mod");
  const long mod_pm = b.Count("select count(*) from pm where recipient='mod' and sender<>'joe'");
  EXPECT_TRUE(Has(Submit({{"action", "updatepermiss"}, {"delete", "joe"}}), "成员权限更新结束"));
  EXPECT_EQ(Footprint("joe"), NoFootprint());
  // His topics went with everyone's replies to them; mod's own topic and archive stay.
  EXPECT_EQ(b.Count("select count(*) from post"), 1);
  EXPECT_EQ(b.Count("select count(*) from archivelist"), 1);
  EXPECT_EQ(b.Count("select count(*) from favor"), 0);
  EXPECT_EQ(b.Count("select count(*) from subscibe"), 0);
  EXPECT_EQ(b.Count("select count(*) from announceto"), 2);
  EXPECT_EQ(b.Count("select count(*) from pm where recipient='mod'"), mod_pm);
  EXPECT_EQ(b.Scalar("select forummaster from forum where forumname='闲聊'").Str(), "诚征版主");
  EXPECT_NE(Footprint("mod"), mod_before);  // mod lost the replies to joe's topics
  EXPECT_EQ(b.CounterMismatch(), "");
}

TEST_F(PermissionsPage, RenamingAMemberRewritesEveryColumn) {
  GiveJoeEverything();
  const std::string before = Footprint("joe");
  const std::string page =
      Submit(test::FieldsOf("action=submitedit&oldUserName=joe&NewUserName=小乔&nickname=乔&icon="
                            "icon/1.gif&uploaddir=qiao",
                            "&"));
  EXPECT_TRUE(Has(page, "用户资料更新结束")) << page;
  EXPECT_EQ(Footprint("小乔"), before);
  EXPECT_EQ(Footprint("joe"), NoFootprint());
  EXPECT_EQ(b.Scalar("select forummaster from forum where forumname='闲聊'").Str(), "小乔");
  EXPECT_EQ(b.Scalar("select uploaddir from register where username='小乔'").Str(), "qiao");
  EXPECT_EQ(b.CounterMismatch(), "");
}

TEST_F(PermissionsPage, ARenameThatCannotBeIsRefusedBeforeAnythingChanges) {
  const std::string before = Footprint("joe");
  const std::pair<const char*, const char*> cases[] = {
      {"NewUserName", "MOD"},     {"NewUserName", "a b"},    {"NewUserName", "<b>"},
      {"uploaddir", "../../etc"}, {"oldUserName", "nobody"},
  };
  std::string pages;
  for (const auto& [field, value] : cases) {
    pages += test::GoldenCase(
        value, Submit(test::WithChanges(
                   {{"action", "submitedit"}, {"oldUserName", "joe"}, {"NewUserName", "joe"}},
                   {{field, value}})));
    EXPECT_EQ(Footprint("joe"), before);
  }
  EXPECT_GOLDEN("admin/rename_refusals", pages);
  // Only the letter case changes: the same member, renamed.
  Submit({{"action", "submitedit"}, {"oldUserName", "joe"}, {"NewUserName", "Joe"}});
  EXPECT_EQ(b.Scalar("select username from register where username='joe'").Str(), "Joe");
}

}  // namespace
}  // namespace cb
