// member.asp: the search result as the administrator sees it, paging, the two rights, and deleting
// and renaming a member checked table by table.
#include "admin/member_footprint.h"
#include "admin/panel_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kBoss;

struct PermissionsPage : test::Fixture<test::PanelBoard> {
  std::string Submit(FormFields fields) {
    return Post(&Admin::Permissions, "/admin/member.asp", std::move(fields), &kBoss);
  }
  // Rows that name the member in each column a rename rewrites, as "table.column=n" lines.
  std::string Footprint(const std::string& member) {
    std::string out;
    for (const NameColumn& c : MemberNameColumns()) {
      out += std::string(c.table) + "." + c.column + "=" +
             std::to_string(Count(std::string("select count(*) from ") + c.table + " where " +
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
    board.AddPrivateMessage("joe", "mod", "给joe");
    board.AddPrivateMessage("mod", "joe", "给mod");
    board.Exec("insert into outbox (postid,sender,recipient,subject) values (1,'joe','mod','s')");
    board.Exec("insert into favor (username,postid) values ('joe'," + std::to_string(other_topic) +
               ")");
    board.Exec("insert into subscibe (username,forumname) values ('joe','技术')");
    board.Exec("insert into ignorelist (username,ignoreusername) values ('joe','mod')");
    board.Exec("insert into ignorelist (username,ignoreusername) values ('mod','joe')");
    board.AddModerator("闲聊", "joe");
    board.Exec("update forum set forummaster='joe' where forumname='闲聊'");
    board.AddAnnouncement("闲聊", "joe", "joe的公告", "", host.clock().Now(), host.clock().Now());
    const int64_t archive = board.AddArchive("旧");
    board.AddArchivedPost(archive, 800, 0, "技术", "joe", "旧话题");
    board.AddArchivedPost(archive, 801, 800, "技术", "mod", "旧回复");
    board.AddArchivedPost(archive, 802, 0, "技术", "mod", "mod的旧话题");
    board.AddTopic("闲聊", "mod", "mod的话题");
  }
};

TEST_F(PermissionsPage, SearchResultShowsEachMembersRights) {
  // A second newer than joe: the list is ordered by sign-up date alone.
  board.AddMember("jo'<i>", "x",
                  {.canpost = false, .postcount = 0, .signdate = "2024-05-09 10:20:31"});
  const std::string page = Submit({{"action", "getmatches"}, {"NN", "jo"}});
  EXPECT_GOLDEN("admin/member_permissions", page);
}

TEST_F(PermissionsPage, PagesHoldFiftyMembers) {
  // Signed up a minute apart: the list is ordered by sign-up date alone.
  for (int i = 0; i < 57; ++i) {
    board.AddMember("m" + std::to_string(i), "p",
                    {.signdate = "2024-05-09 11:" + std::string(i < 10 ? "0" : "") +
                                 std::to_string(i) + ":00"});
  }
  EXPECT_GOLDEN("admin/member_first_page", Submit({{"action", "getmatches"}, {"NN", "m"}}));
  SignedIn(kBoss);
  EXPECT_GOLDEN("admin/member_last_page",
                Get(&Admin::Permissions, "/admin/member.asp?action=getmatches&page=9&NN=m"));
}

TEST_F(PermissionsPage, RightsFollowTheRadioButtons) {
  board.AddMember("both", "p", {.status = "administrator"});
  board.AddModerator("闲聊", "both");
  Submit(test::FieldsOf(
      "action=updatepermiss&hiddenusername=mod&AdminPermission1=false&AdminWrite1=false&"
      "hiddenusername=boss&AdminPermission2=false&AdminWrite2=true&hiddenusername=both&"
      "AdminPermission3=false&AdminWrite3=true&hiddenusername=joe&AdminPermission4=true",
      "&"));
  // A moderator who loses the administrator's status stays a moderator; a row whose posting
  // choice is missing keeps its right.
  EXPECT_EQ(Rows("select username,isnull(status,'-'),canpost from register order by username"),
            "boss|-|True|\nboth|Moderater|True|\njoe|administrator|True|\nmod|Moderater|False|\n");
}

TEST_F(PermissionsPage, DeletingAMemberRemovesEverythingHeWrote) {
  GiveJoeEverything();
  const std::string mod_before = Footprint("mod");
  const long mod_pm = Count("select count(*) from pm where recipient='mod' and sender<>'joe'");
  EXPECT_TRUE(Has(Submit({{"action", "updatepermiss"}, {"delete", "joe"}}), "成员权限更新结束"));
  EXPECT_EQ(Footprint("joe"), NoFootprint());
  // His topics went with everyone's replies to them; mod's own topic and archive stay.
  EXPECT_EQ(Rows("select (select count(*) from post),(select count(*) from archivelist),(select "
                 "count(*) from favor),(select count(*) from subscibe),(select count(*) from "
                 "announceto)"),
            "1|1|0|0|2|\n");
  EXPECT_EQ(Count("select count(*) from pm where recipient='mod'"), mod_pm);
  EXPECT_EQ(Scalar("select forummaster from forum where forumname='闲聊'").Str(), "诚征版主");
  EXPECT_NE(Footprint("mod"), mod_before);  // mod lost the replies to joe's topics
  EXPECT_EQ(CounterMismatch(), "");
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
  EXPECT_EQ(Scalar("select forummaster from forum where forumname='闲聊'").Str(), "小乔");
  EXPECT_EQ(Scalar("select uploaddir from register where username='小乔'").Str(), "qiao");
  EXPECT_EQ(CounterMismatch(), "");
}

TEST_F(PermissionsPage, ARenameThatCannotBeIsRefusedBeforeAnythingChanges) {
  const std::string before = Footprint("joe");
  const std::pair<const char*, const char*> cases[] = {
      {"NewUserName", "MOD"},     {"NewUserName", "a b"},    {"NewUserName", "<b>"},
      {"uploaddir", "../../etc"}, {"oldUserName", "nobody"},
  };
  std::string pages;
  for (const auto& [field, value] : cases) {
    pages += GoldenCase(
        value, Submit(WithChanges(
                   {{"action", "submitedit"}, {"oldUserName", "joe"}, {"NewUserName", "joe"}},
                   {{field, value}})));
    EXPECT_EQ(Footprint("joe"), before);
  }
  EXPECT_GOLDEN("admin/rename_refusals", pages);
  // Only the letter case changes: the same member, renamed.
  Submit({{"action", "submitedit"}, {"oldUserName", "joe"}, {"NewUserName", "Joe"}});
  EXPECT_EQ(Scalar("select username from register where username='joe'").Str(), "Joe");
}

}  // namespace
}  // namespace cb
