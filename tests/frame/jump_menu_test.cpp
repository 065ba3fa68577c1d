// The forum jump menu and its cache, the message page with a menu, and the forum check
// (tests/data/forums.txt).
#include "store/connection.h"
#include "store/recordset.h"
#include "support/page_test.h"

namespace cb {
namespace {

struct JumpMenuTest : test::BoardTest {
  JumpMenuTest() {
    board.AddCatalogForum("Alpha 分类", "C++ 编程");
    board.AddCatalogForum("Alpha 分类", "Web");
    board.AddCatalogForum("Beta 分类", "美食");
    board.AddArchive("2001 精华");
    board.AddArchive("2002 精华");
  }

  std::string Jump(const Variant& forum, bool archive, Connection& con) {
    std::string menu;
    host.RunWith<Corkboard>([&](Corkboard& p) { menu = p.JumpTo(con, forum, archive); });
    return menu;
  }
};

// The name needs URL encoding; the marked option takes the lower-case key of the marking. The
// cache keeps the menu unmarked.
TEST_F(JumpMenuTest, BuildsTheMenuOnceAndMarksTheForum) {
  EXPECT_GOLDEN("frame/jump_menu_marked", Jump("C++ 编程", false, board.con()));
  EXPECT_GOLDEN("frame/jump_menu", host.application().Get("ForumAndArchiveList").Str());
}

TEST_F(JumpMenuTest, SecondCallReadsTheCacheWithoutTheDatabase) {
  Jump("Web", false, board.con());
  board.AddCatalogForum("Gamma", "Later");
  Connection never_opened;  // any query on it would raise
  const std::string menu = Jump("美食", false, never_opened);
  EXPECT_FALSE(Has(menu, "Later"));
  EXPECT_TRUE(Has(menu, "\"list.asp?groupname=%C3%C0%CA%B3\" selected >&nbsp;")) << menu;
  // Emptying the cache (as forum management does) rebuilds it.
  host.application().Set("ForumAndArchiveList", Variant(""));
  EXPECT_TRUE(Has(Jump("Web", false, board.con()), "Later"));
}

// The golden file's cases are "forum <name>" or "archive <name>": a forum named in another case is
// marked; an unknown forum, or a forum's name taken for an archive's, marks nothing.
TEST_F(JumpMenuTest, MarksTheCurrentEntryWithoutRegardToCase) {
  test::ExpectGoldenCases("frame/jump_menu_marks", [&](const std::string& c) {
    return Jump(c.substr(c.find(' ') + 1), c.starts_with("archive "), board.con());
  });
}

// Without archives the menu has no archive header; names are shown as text.
TEST_F(JumpMenuTest, NoArchivesAndAHostileName) {
  board.Exec("delete from archive");
  board.AddCatalogForum("Alpha 分类", "<img src=x onerror=alert(1)>");
  EXPECT_GOLDEN("frame/jump_menu_hostile", Jump("Web", false, board.con()));
}

TEST_F(JumpMenuTest, MessagePageSelectsTheForumOrTheArchive) {
  const std::string forum_page = host.RunWith<Corkboard>([&](Corkboard& p) {
    host.response().Write("discarded");
    p.MessageWithJumpTo(board.con(), "Web", "该贴子不存在");
  });
  EXPECT_GOLDEN("frame/message_jump_forum", forum_page);
  EXPECT_GOLDEN("frame/message_jump_archive", host.RunWith<Corkboard>([&](Corkboard& p) {
    p.MessageWithJumpTo(board.con(), "2", "该贴子不存在", true);
  }));
  // The message page builds its menu fresh and leaves the cache alone.
  EXPECT_EQ(host.application().Get("ForumAndArchiveList").Str(), "");
}

TEST_F(JumpMenuTest, CheckForumGivesRestrictionAndMaster) {
  board.AddCatalogForum("Alpha 分类", "Secret", {.restrict = "Private"});
  board.AddCatalogForum("Alpha 分类", "Bob's",
                        {.restrict = "allreg&all", .forummaster = "<a href=mailto:b@x>bob</a>"});
  board.AddCatalogForum("Alpha 分类", "Blank master");
  board.Exec("update forum set forummaster='' where forumname='Blank master'");
  test::CheckCaseTable(
      "forums.txt",
      {{"CheckForum", [&](const std::vector<std::string>& a) {
          std::vector<std::string> out;
          host.RunWith<Corkboard>([&](Corkboard& p) {
            const ForumCheck forum = p.CheckForum(board.con(), a[0]);
            EXPECT_EQ(forum.name, a[0]);
            out = {test::Yes(static_cast<bool>(forum))[0], forum.restrict, forum.master};
          });
          return out;
        }}});
}

}  // namespace
}  // namespace cb
