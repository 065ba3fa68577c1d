// The archive centre (admin/archive.asp): who may enter and change which archives, and the
// archive menus after a change.
#include "admin/admin.h"
#include "archives/archive_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;

// The archive board with the centre's own requests.
struct CentreBoard : test::ArchiveBoard {
  std::string Centre(FormFields form, const Actor& actor) {
    form.emplace_back("UserName", actor.name);
    form.emplace_back("Password", actor.password);
    return host.PostForm("/admin/archive.asp", form).Run(&Admin::Archives);
  }
  // The archives' names in order, each ended by "|".
  std::string Names() {
    return board.con()
        .Execute("select archivename from archive order by archiveid")
        ->GetString("|", "|");
  }
};
using ArchiveCentre = test::Fixture<CentreBoard>;

TEST(ArchiveCentreAccess, OnlyAdministratorsAndModeratorsEnter) {
  // The golden file holds, for each, the page on entering and the page after adding an archive.
  std::string pages;
  for (const Actor& actor :
       {test::kGuest, test::kBob, Actor{"admin", "wrong"}, test::kModA, test::kAdmin}) {
    const std::string who = std::string(actor.name) + "/" + actor.password;
    CentreBoard b;
    pages += GoldenCase(who, b.Centre({{"action", "enterarchive"}}, actor));
    pages += GoldenCase(who + " adds",
                        b.Centre({{"action", "archivecenter"}, {"newarchivename", "新"}}, actor));
    pages += b.Names() + "\n";
  }
  EXPECT_GOLDEN("archives/centre_access", pages);
}

TEST_F(ArchiveCentre, ListsArchivesAsTextAndKeepsTheSignIn) {
  EXPECT_GOLDEN("archives/centre_list", Centre({{"action", "enterarchive"}}, test::kAdmin));
  // The start page offers the sign-in the session kept.
  EXPECT_GOLDEN("archives/centre_start", host.Get("/admin/archive.asp").Run(&Admin::Archives));
}

TEST_F(ArchiveCentre, RenamesByPositionAddsAndDeletesWithPosts) {
  const std::string page =
      Centre(test::FieldsOf("action=archivecenter&hiddenArchiveid=" + Id(gems) +
                                "&hiddenArchiveid=" + Id(older) +
                                "&ArchiveName1=第一 '名'&descript1=说明一&ArchiveName2=第二 "
                                "\"名\"&descript2=&NewArchiveName=  新的 <b>  &NewDescript=新说明",
                            "&"),
             test::kModA);
  EXPECT_GOLDEN("archives/centre_updated", page);
  EXPECT_EQ(Names(), "第一 '名'|第二 \"名\"|新的 <b>|");
  EXPECT_EQ(board.Scalar("select descript from archive where archiveid=" + Id(gems)).Str(),
            "说明一");

  Centre({{"action", "archivecenter"}, {"Delete", Id(gems)}, {"Delete", "x"}}, test::kAdmin);
  EXPECT_EQ(Names(), "第二 \"名\"|新的 <b>|");
  EXPECT_EQ(Archived("1=1"), 0);
}

TEST_F(ArchiveCentre, AModeratorDeletesOnlyArchivesOfHisForums) {
  // The older archive takes a topic of forum B, which moda does not moderate.
  board.AddArchivedPost(older, 900, 0, test::kForumB, "carol", "B 的", "x");
  const std::string before = ArchivedRows();
  const std::string refused = Centre(
      {{"action", "archivecenter"}, {"Delete", Id(gems)}, {"Delete", Id(older)}}, test::kModA);
  EXPECT_GOLDEN("archives/centre_delete_refused", refused);
  EXPECT_EQ(ArchivedRows(), before);
  EXPECT_EQ(Names(), "精华 <2023>|旧档案|");
  Centre({{"action", "archivecenter"}, {"Delete", Id(gems)}}, test::kModA);
  EXPECT_EQ(Names(), "旧档案|");
}

TEST_F(ArchiveCentre, MenusShowAChangeAtOnce) {
  // Both menus are built and cached by the pages that show them; names are shown as text. The
  // home page names one newest member on every database.
  board.Exec("update register set signdate='2024-01-01' where username<>'admin'");
  const auto menus = [&] {
    return Get(&Corkboard::Home, "/default.asp") +
           Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=" + Id(gems));
  };
  const std::string before = menus();
  Centre({{"action", "archivecenter"}, {"Delete", Id(older)}, {"NewArchiveName", "新档案"}},
         test::kAdmin);
  EXPECT_GOLDEN("archives/centre_menus",
                GoldenCase("before", before) + GoldenCase("after the change", menus()));
}

}  // namespace
}  // namespace cb
