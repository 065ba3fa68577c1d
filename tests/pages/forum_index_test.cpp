// The forum index: golden pages of both layouts on a first and a later visit, the visit-time
// cookies, the private-message row, the archive menu cache and the error page.
#include "support/page_test.h"

namespace cb {
namespace {

void SeedBoard(TestBoard& board) {
  board.AddMember(
      "alice", "pw-alice",
      {.status = "administrator", .email = "alice@example.com", .signdate = "2024-01-01 08:00:00"});
  board.AddMember("bob", "pw-bob", {.email = "bob@example.com", .signdate = "2024-03-01 08:00:00"});
  for (const char* row :
       {"'灌水乐园','随便聊聊','休闲',1,3,5,'2024-05-09 09:00:00','bob',"
        "'<a href=mailto:alice@example.com>alice</a>'",
        "'Rock & Roll','音乐','休闲',2,1,0,'2024-04-01 12:00:00','alice','诚征版主'"}) {
    board.Exec(
        "insert into forum (forumname,descript,catalog,sequence,topiccount,replycount,lastposttime,"
        "lastpostusername,forummaster) values (" +
        std::string(row) + ")");
  }
  board.Exec(
      "insert into forum (forumname,descript,catalog,sequence,[restrict]) values "
      "('站务','论坛管理','管理',3,'private')");
  board.Exec("insert into archive (archivename,descript) values ('2023年精华','去年的好贴')");
  for (const char* subject_isnew : {"'你好','内容',1", "'你好','内容',1", "'旧的','内容',0"}) {
    board.Exec("insert into pm (recipient,sender,subject,message,isnew) values ('bob','alice'," +
               std::string(subject_isnew) + ")");
  }
}

// A later visit is a visitor with the board's cookies from an earlier session.
TEST(HomePages, Golden) {
  const auto page = [](const char* style, bool later) {
    FakeHost host;
    TestBoard board(host);
    SeedBoard(board);
    host.Configure({{"BBSTYLE", style}, {"DisplayPostCount", later ? "true" : "false"}});
    host.Get("/default.asp");
    if (later) {
      host.Cookie("lastLoginDT", "2024-05-01 00:00:00")
          .Cookie("UserName", "bob")
          .Cookie("Password", "pw-bob");
    }
    return host.Run(&Corkboard::Home);
  };
  EXPECT_GOLDEN("index/cbk_first_visit", page("CBK", false));
  EXPECT_GOLDEN("index/cbk_later_visit", page("CBK", true));
  EXPECT_GOLDEN("index/club_first_visit", page("CLUB", false));
  EXPECT_GOLDEN("index/club_later_visit", page("CLUB", true));
}

// The pages each test below shows are in index/<test name>.html.
struct HomeVisits : test::BoardTest {
  std::string pages;

  void SetUp() override { SeedBoard(board); }
  void TearDown() override {
    EXPECT_GOLDEN(
        std::string("index/") + ::testing::UnitTest::GetInstance()->current_test_info()->name(),
        pages);
  }
  // The page, the cookies it set and the session's first-page mark.
  void Show(const std::string& name) {
    const std::string page = host.Run(&Corkboard::Home);
    pages += GoldenCase(name, page + "\n" + test::SetCookies(host) +
                                  "FirstIn=" + host.session().Get("FirstIn").Str());
  }
};

TEST_F(HomeVisits, VisitCookiesMoveOncePerSession) {
  // First front page of the session: the previous session's start becomes the last visit.
  host.Get("/default.asp").Cookie("lastLoginDT", "2024-05-01 00:00:00");
  Show("first page of a session");

  // A later page of the same session reads the cookie written above and writes none.
  host.clock().Advance(60);
  host.Get("/default.asp")
      .Cookie("lastLoginDT", "2024-05-09 10:20:30")
      .Cookie("SESSIONLOGINDT", "2024-05-01 00:00:00");
  Show("later page of the session");
}

TEST_F(HomeVisits, CookieThatIsNotADateCountsAsNoVisit) {
  host.Get("/default.asp").Cookie("lastLoginDT", "<script>x</script>");
  Show("last visit not a date");
  host.session().Set("FirstIn", Variant("yes"));
  host.Get("/default.asp").Cookie("sessionLoginDT", "2024-13-45 99:00:00");
  Show("session start not a date");
}

TEST_F(HomeVisits, PrivateMessageRowPrefersTheMailboxSignIn) {
  host.Get("/default.asp").Cookie("UserName", "bob").Cookie("Password", "pw-bob");
  Show("bob by his cookies");
  host.session().Set("username", Variant("alice"));
  host.session().Set("password", Variant("pw-alice"));
  host.Get("/default.asp").Cookie("UserName", "bob").Cookie("Password", "pw-bob");
  Show("alice signed in to her mailbox, bob's cookies");
  host.session().Set("password", Variant("wrong"));
  host.Get("/default.asp");
  Show("a wrong mailbox password");
}

using Home = test::BoardTest;

TEST_F(Home, ArchiveMenuIsBuiltOnceAndRebuiltWhenEmptied) {
  const auto home = [&] { return host.Get("/default.asp").Run(&Corkboard::Home); };
  std::string pages = GoldenCase("no archive", home());
  EXPECT_EQ(host.application().Get("ArchiveList").Str(), "NO");
  board.AddArchive("精华");
  pages += GoldenCase("an archive, the menu kept", home());
  host.application().Set("ArchiveList", Variant(""));
  pages += GoldenCase("the menu emptied", home());
  board.AddArchive("第二个");
  pages += GoldenCase("a second archive, the menu kept", home());
  EXPECT_GOLDEN("index/archive_menu", pages);
}

// What every visitor sees is kept between pages, but never past an operator's change.
TEST_F(Home, KeptRowsGiveWayToAnOperatorsChange) {
  SeedBoard(board);
  const auto pages = [&] {
    return host.Get("/default.asp").Run(&Corkboard::Home) +
           host.Get("/list.asp?GroupName=Rock+%26+Roll").Run(&Corkboard::list);
  };
  const std::string before = pages();
  board.Exec(
      "update forum set descript='摇滚',[restrict]='private',topiccount=9 where "
      "forumname='Rock & Roll'");
  EXPECT_GOLDEN("index/kept_rows",
                GoldenCase("before", before) + GoldenCase("after the change", pages()));
}

// The forum table is kept for every visitor; the new-post markers stay each visitor's own, and a
// new post retires the kept table.
TEST_F(Home, KeptForumTableMarksEachVisitorsNewPosts) {
  SeedBoard(board);
  const auto markers = [&](const char* last_visit) {
    host.session().Set("FirstIn", Variant(""));
    host.Get("/default.asp").Cookie("lastLoginDT", last_visit);
    const std::string page = host.Run(&Corkboard::Home);
    std::string marks;
    for (size_t at = 0; (at = page.find("<img border=0 src=images/o", at)) != std::string::npos;
         ++at) {
      marks += page.compare(at + 26, 2, "n.") == 0 ? '+' : '-';
    }
    return marks;
  };
  EXPECT_EQ(markers("2024-03-01 00:00:00"), "++-");
  EXPECT_EQ(markers("2024-05-01 00:00:00"), "+--");
  EXPECT_EQ(markers("2024-06-01 00:00:00"), "---");
  board.Exec("update forum set lastposttime='2024-07-01 00:00:00' where forumname='Rock & Roll'");
  EXPECT_EQ(markers("2024-06-01 00:00:00"), "-+-");
}

TEST_F(Home, DatabaseErrorReplacesThePageAndFooter) {
  host.Configure({{"DSN", "NoSuchBoard"}, {"Copyright", "<p>FOOTER</p>"}});
  EXPECT_GOLDEN("index/database_error", host.Get("/default.asp").Run(&Corkboard::Home));
}

}  // namespace
}  // namespace cb
