// The archive centre (admin/archive.asp): who may enter, adding, renaming by position and deleting
// archives with their posts, a moderator kept to archives of his own forums, and the archive
// menus rebuilt at once after a change.
#include "admin/admin.h"
#include "archives/archive_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;
using test::ArchiveBoard;

std::string Centre(ArchiveBoard& b, FormFields form, const Actor& actor) {
  form.emplace_back("UserName", actor.name);
  form.emplace_back("Password", actor.password);
  return b.host.PostForm("/admin/archive.asp", form).Run(&Admin::Archives);
}

std::string Names(ArchiveBoard& b) {
  std::string out;
  for (const std::string& name :
       b.board.Column("select archivename from archive order by archiveid")) {
    out += name + "|";
  }
  return out;
}

TEST(ArchiveCentre, OnlyAdministratorsAndModeratorsEnter) {
  // The golden file holds, for each, the page on entering and the page after adding an archive.
  std::string pages;
  for (const Actor& actor :
       {test::kGuest, test::kBob, Actor{"admin", "wrong"}, test::kModA, test::kAdmin}) {
    const std::string who = std::string(actor.name) + "/" + actor.password;
    ArchiveBoard b;
    pages += GoldenCase(who, Centre(b, {{"action", "enterarchive"}}, actor));
    pages += GoldenCase(who + " adds",
                        Centre(b, {{"action", "archivecenter"}, {"newarchivename", "新"}}, actor));
    pages += Names(b) + "\n";
  }
  EXPECT_GOLDEN("archives/centre_access", pages);
}

TEST(ArchiveCentre, ListsArchivesAsTextAndKeepsTheSignIn) {
  ArchiveBoard b;
  EXPECT_GOLDEN("archives/centre_list", Centre(b, {{"action", "enterarchive"}}, test::kAdmin));
  // The start page offers the sign-in the session kept.
  EXPECT_GOLDEN("archives/centre_start", b.host.Get("/admin/archive.asp").Run(&Admin::Archives));
}

TEST(ArchiveCentre, RenamesByPositionAddsAndDeletesWithPosts) {
  ArchiveBoard b;
  const std::string page =
      Centre(b,
             test::FieldsOf("action=archivecenter&hiddenArchiveid=" + b.Id(b.gems) +
                                "&hiddenArchiveid=" + b.Id(b.older) +
                                "&ArchiveName1=第一 '名'&descript1=说明一&ArchiveName2=第二 "
                                "\"名\"&descript2=&NewArchiveName=  新的 <b>  &NewDescript=新说明",
                            "&"),
             test::kModA);
  EXPECT_GOLDEN("archives/centre_updated", page);
  EXPECT_EQ(Names(b), "第一 '名'|第二 \"名\"|新的 <b>|");
  EXPECT_EQ(b.board.Scalar("select descript from archive where archiveid=" + b.Id(b.gems)).Str(),
            "说明一");

  Centre(b, {{"action", "archivecenter"}, {"Delete", b.Id(b.gems)}, {"Delete", "x"}}, test::kAdmin);
  EXPECT_EQ(Names(b), "第二 \"名\"|新的 <b>|");
  EXPECT_EQ(b.Archived("1=1"), 0);
}

TEST(ArchiveCentre, AModeratorDeletesOnlyArchivesOfHisForums) {
  ArchiveBoard b;
  // The older archive takes a topic of forum B, which moda does not moderate.
  b.board.AddArchivedPost(b.older, 900, 0, test::kForumB, "carol", "B 的", "x");
  const std::string before = b.ArchivedRows();
  const std::string refused =
      Centre(b, {{"action", "archivecenter"}, {"Delete", b.Id(b.gems)}, {"Delete", b.Id(b.older)}},
             test::kModA);
  EXPECT_GOLDEN("archives/centre_delete_refused", refused);
  EXPECT_EQ(b.ArchivedRows(), before);
  EXPECT_EQ(Names(b), "精华 <2023>|旧档案|");
  Centre(b, {{"action", "archivecenter"}, {"Delete", b.Id(b.gems)}}, test::kModA);
  EXPECT_EQ(Names(b), "旧档案|");
}

TEST(ArchiveCentre, MenusShowAChangeAtOnce) {
  ArchiveBoard b;
  // Both menus are built and cached by the pages that show them; names are shown as text.
  const std::string home = b.Get(&Corkboard::Home, "/default.asp");
  EXPECT_TRUE(Has(home, "&nbsp;&nbsp;&nbsp;&nbsp;精华 &lt;2023&gt;&nbsp;&nbsp;&nbsp;&nbsp;"));
  EXPECT_FALSE(Has(home, "精华 <2023>"));
  EXPECT_TRUE(Has(home, "旧档案"));
  EXPECT_TRUE(Has(b.Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=" + b.Id(b.gems)),
                  ">&nbsp;&nbsp;&nbsp;&nbsp;旧档案"));
  Centre(b, {{"action", "archivecenter"}, {"Delete", b.Id(b.older)}, {"NewArchiveName", "新档案"}},
         test::kAdmin);
  for (const std::string& page :
       {b.Get(&Corkboard::Home, "/default.asp"),
        b.Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=" + b.Id(b.gems))}) {
    EXPECT_TRUE(Has(page, "新档案"));
    EXPECT_FALSE(Has(page, "旧档案"));
  }
}

}  // namespace
}  // namespace cb
