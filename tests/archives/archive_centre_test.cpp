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
  b.host.PostForm("/admin/archive.asp", form);
  return b.host.Run(&Admin::Archives);
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
  const char* kNoRight = "对不起，您没有使用该功能的权限";
  struct Case {
    Actor actor;
    const char* expected;
  };
  const Case cases[] = {{test::kGuest, kNoRight},
                        {test::kBob, kNoRight},
                        {{"admin", "wrong"}, kNoRight},
                        {test::kModA, "你目前有 2 个归档"},
                        {test::kAdmin, "你目前有 2 个归档"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.actor.name);
    ArchiveBoard b;
    const std::string entered = Centre(b, {{"action", "enterarchive"}}, c.actor);
    EXPECT_TRUE(Has(entered, c.expected)) << entered;
    const std::string page =
        Centre(b, {{"action", "archivecenter"}, {"newarchivename", "新"}}, c.actor);
    EXPECT_EQ(Has(page, "档案更新结束"), c.expected != kNoRight);
    EXPECT_EQ(Names(b), c.expected == kNoRight ? "精华 <2023>|旧档案|" : "精华 <2023>|旧档案|新|");
  }
}

TEST(ArchiveCentre, ListsArchivesAsTextAndKeepsTheSignIn) {
  ArchiveBoard b;
  EXPECT_GOLDEN("archives/centre_list", Centre(b, {{"action", "enterarchive"}}, test::kAdmin));
  // The start page offers the sign-in the session kept.
  b.host.Get("/admin/archive.asp");
  EXPECT_GOLDEN("archives/centre_start", b.host.Run(&Admin::Archives));
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
  EXPECT_TRUE(Has(page, "档案更新结束，重新进入<a href=archive.asp>档案管理</a>")) << page;
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
  EXPECT_TRUE(Has(refused, "只有管理员才能删除含有其他论坛话题的档案")) << refused;
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
