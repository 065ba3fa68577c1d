// The forum jump menu and its cache, the message page with a menu, and the forum check.
#include <gtest/gtest.h>

#include <string>

#include "frame/corkboard.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/fake_host.h"
#include "support/test_board.h"

namespace cb {
namespace {

constexpr const char* kMenuStart =
    "<table width=95%><form name=jump action=jump.asp method=get><tr><td align=right "
    "valign=middle><p><b>跳转到: </b><select name=jumpTo size=1 class=smallSel>";
constexpr const char* kMenuEnd =
    "</select><input type=submit name=go value=GO class=buttonface></td></tr></form></table>";
constexpr const char* kForumOptions =
    "<option value=\"default.asp\">--- Alpha 分类 ---"
    "<option value=\"list.asp?GroupName=C%2B%2B+%B1%E0%B3%CC\">&nbsp;&nbsp;&nbsp;&nbsp;C++ 编程"
    "<option value=\"list.asp?GroupName=Web\">&nbsp;&nbsp;&nbsp;&nbsp;Web"
    "<option value=\"default.asp\">--- Beta 分类 ---"
    "<option value=\"list.asp?GroupName=%C3%C0%CA%B3\">&nbsp;&nbsp;&nbsp;&nbsp;美食";
constexpr const char* kArchiveOptions =
    "<option value=default.asp>--- 归档列表 ---"
    "<option value=\"archivelist.asp?ArchiveID=1\">&nbsp;&nbsp;&nbsp;&nbsp;2001 精华"
    "<option value=\"archivelist.asp?ArchiveID=2\">&nbsp;&nbsp;&nbsp;&nbsp;2002 精华";

class JumpMenuTest : public ::testing::Test {
 protected:
  JumpMenuTest() : board_(host_) {
    board_.AddCatalogForum("Alpha 分类", "C++ 编程");
    board_.AddCatalogForum("Alpha 分类", "Web");
    board_.AddCatalogForum("Beta 分类", "美食");
    board_.AddArchive("2001 精华");
    board_.AddArchive("2002 精华");
  }

  std::string Jump(const Variant& forum, bool archive, Connection& con) {
    std::string menu;
    host_.RunWith<Corkboard>([&](Corkboard& p) { menu = p.JumpTo(con, forum, archive); });
    return menu;
  }

  static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  }

  test::FakeHost host_;
  test::TestBoard board_;
};

TEST_F(JumpMenuTest, BuildsTheMenuOnceAndMarksTheForum) {
  const std::string plain = std::string(kMenuStart) + kForumOptions + kArchiveOptions + kMenuEnd;
  // The name needs URL encoding; the marked option takes the lower-case key of the marking.
  EXPECT_EQ(Jump("C++ 编程", false, board_.con()),
            Replaced(plain, "\"list.asp?GroupName=C%2B%2B+%B1%E0%B3%CC\"",
                     "\"list.asp?groupname=C%2B%2B+%B1%E0%B3%CC\" selected "));
  EXPECT_EQ(host_.application().Get("ForumAndArchiveList").Str(), plain);
}

TEST_F(JumpMenuTest, SecondCallReadsTheCacheWithoutTheDatabase) {
  Jump("Web", false, board_.con());
  board_.AddCatalogForum("Gamma", "Later");
  Connection never_opened;  // any query on it would raise
  const std::string menu = Jump("美食", false, never_opened);
  EXPECT_EQ(menu.find("Later"), std::string::npos);
  EXPECT_NE(menu.find("\"list.asp?groupname=%C3%C0%CA%B3\" selected >&nbsp;"), std::string::npos)
      << menu;
  // Emptying the cache (as forum management does) rebuilds it.
  host_.application().Set("ForumAndArchiveList", Variant(""));
  EXPECT_NE(Jump("Web", false, board_.con()).find("Later"), std::string::npos);
}

TEST_F(JumpMenuTest, MarksTheCurrentEntryWithoutRegardToCase) {
  const struct {
    const char* what;
    Variant forum;
    bool archive;
    const char* marked;
  } cases[] = {
      {"archive", Variant("2"), true, "\"archivelist.asp?archiveid=2\" selected >"},
      {"forum name in another case", Variant("web"), false,
       "\"list.asp?groupname=web\" selected >"},
      {"unknown forum marks nothing", Variant("Nowhere"), false, nullptr},
      {"archive flag looks only at archives", Variant("Web"), true, nullptr},
  };
  for (const auto& c : cases) {
    const std::string menu = Jump(c.forum, c.archive, board_.con());
    if (c.marked == nullptr) {
      EXPECT_EQ(menu.find("selected"), std::string::npos) << c.what;
    } else {
      EXPECT_NE(menu.find(c.marked), std::string::npos) << c.what << "\n" << menu;
      EXPECT_EQ(menu.find("selected"), menu.rfind("selected")) << c.what;
    }
  }
}

TEST_F(JumpMenuTest, NoArchivesNoArchiveHeader) {
  board_.Exec("delete from archive");
  const std::string menu = Jump("Web", false, board_.con());
  EXPECT_EQ(menu.find("归档列表"), std::string::npos);
  EXPECT_TRUE(menu.ends_with(std::string("&nbsp;&nbsp;&nbsp;&nbsp;美食") + kMenuEnd));
}

TEST_F(JumpMenuTest, ForumNamesCannotInjectMarkup) {
  board_.AddCatalogForum("Alpha 分类", "<img src=x onerror=alert(1)>");
  const std::string menu = Jump("Web", false, board_.con());
  EXPECT_EQ(menu.find("<img"), std::string::npos);
  EXPECT_NE(menu.find("&nbsp;&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
}

TEST_F(JumpMenuTest, MessagePageSelectsTheForumOrTheArchive) {
  const std::string head =
      "<html><head><link rel=stylesheet type=text/css href=DEFAULT.CSS><meta HTTP-EQUIV=Expires "
      "CONTENT=0><meta HTTP-EQUIV=Content-Type content=\"text/html; "
      "charset=gb2312\"><title>Corkboard</title></head><body  bgcolor=\"#FFFFFF\" > ";
  const std::string page_start =
      head +
      "<table border=0 width=95% align=center><tr><td><p><a href=default.asp><img "
      "style=border-color:#000000 border=1 src=\"images/title.gif\" WIDTH=276 "
      "HEIGHT=75></a></p></td></tr><tr bgcolor=\"#f7f7f7\"><td><p><b>该贴子不存在</b><br>"
      "<table width=100% border=0><tr><td  valign=middle><form name=jump action=jump.asp "
      "method=get><p><b>跳转到: </b><select name=jumpTo size=1 class=smallSel>";
  const std::string page_end =
      "</select><input type=submit name=go value=GO class=buttonface></form></td></tr></table>"
      "</td></tr></table>";
  const std::string forum_page = host_.RunWith<Corkboard>([&](Corkboard& p) {
    host_.response().Write("discarded");
    p.MessageWithJumpTo(board_.con(), "Web", "该贴子不存在");
  });
  EXPECT_EQ(forum_page, page_start +
                            Replaced(kForumOptions, "<option value=\"list.asp?GroupName=Web\"",
                                     "<option selected value=\"list.asp?GroupName=Web\"") +
                            kArchiveOptions + page_end);

  const std::string archive_page = host_.RunWith<Corkboard>(
      [&](Corkboard& p) { p.MessageWithJumpTo(board_.con(), "2", "该贴子不存在", true); });
  const std::string archive_options =
      "<option value=default.asp>--- 归档列表 ---"
      "<option  value=\"archivelist.asp?ArchiveID=1\">&nbsp;&nbsp;&nbsp;&nbsp;2001 精华"
      "<option selected value=\"archivelist.asp?ArchiveID=2\">&nbsp;&nbsp;&nbsp;&nbsp;2002 精华";
  EXPECT_EQ(archive_page, page_start + kForumOptions + archive_options + page_end);
  // The message page builds its menu fresh and leaves the cache alone.
  EXPECT_EQ(host_.application().Get("ForumAndArchiveList").Str(), "");
}

TEST_F(JumpMenuTest, CheckForumGivesRestrictionAndMaster) {
  board_.AddCatalogForum("Alpha 分类", "Secret", {.restrict = "Private"});
  board_.AddCatalogForum("Alpha 分类", "Bob's",
                         {.restrict = "allreg&all", .forummaster = "<a href=mailto:b@x>bob</a>"});
  board_.AddCatalogForum("Alpha 分类", "Blank master");
  board_.Exec("update forum set forummaster='' where forumname='Blank master'");
  const struct {
    const char* forum;
    bool exists;
    const char* restriction;
    const char* master;
  } cases[] = {
      {"Web", true, "", "诚征版主"},
      {"Secret", true, "private", "诚征版主"},
      {"Bob's", true, "allreg&all", "<a href=mailto:b@x>bob</a>"},
      {"Blank master", true, "", "诚征版主"},
      {"Missing", false, "", ""},
      {"", false, "", ""},
  };
  for (const auto& c : cases) {
    host_.RunWith<Corkboard>([&](Corkboard& p) {
      const ForumCheck forum = p.CheckForum(board_.con(), c.forum);
      EXPECT_EQ(static_cast<bool>(forum), c.exists) << c.forum;
      EXPECT_EQ(forum.name, c.forum);
      EXPECT_EQ(forum.restrict, c.restriction) << c.forum;
      EXPECT_EQ(forum.master, c.master) << c.forum;
    });
  }
}

}  // namespace
}  // namespace cb
