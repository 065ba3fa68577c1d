// Archive browsing: the topic list and the archived thread as golden pages, ten posts a page
// whatever HotCount is, the refusals, and no writes while reading.
#include "archives/archive_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using ArchiveList = test::ArchiveTest;
using ArchiveContent = test::ArchiveTest;

TEST_F(ArchiveList, GoldenPages) {
  host.Configure({{"PageSize", "2"}});
  // Two more topics, archived later: the newest archived comes first, two a page.
  board.AddArchivedPost(gems, 901, 0, test::kForumB, "carol", "<i>斜</i>", "x");
  board.AddArchivedPost(gems, 902, 0, test::kForumB, "carol", "第三", "y");
  board.Exec("update archivelist set archivedate='2024-05-09 08:00:00' where postid=901");
  board.Exec("update archivelist set archivedate='2024-05-09 09:00:00' where postid=902");
  EXPECT_GOLDEN("archives/list_cbk_first_page",
                Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=" + Id(gems)));
  host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN("archives/list_club_last_page",
                Get(&Corkboard::ArchiveList, "/archivelist.asp?archiveid=" + Id(gems) + "&page=9"));
}

TEST_F(ArchiveList, EmptyArchiveAndRefusals) {
  std::string pages;
  for (const std::string& query : {"ArchiveID=" + Id(older), std::string("ArchiveID=x"),
                                   std::string("ArchiveID=0"), std::string("ArchiveID=1&page=x")}) {
    pages += GoldenCase(query, Get(&Corkboard::ArchiveList, "/archivelist.asp?" + query));
  }
  EXPECT_GOLDEN("archives/list_refusals", pages);
  // An unknown archive ends in the run-time error page (its text is the database's).
  const std::string unknown = Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=999");
  EXPECT_TRUE(Has(unknown, "错误号：") && test::EndsPage(unknown)) << unknown;
}

TEST_F(ArchiveContent, GoldenPages) {
  board.Exec(
      "update register set icq='12345',oicq='67890',location='<上海>',"
      "signdate='2023-02-03 04:05:06' where username='bob'");
  const std::string url = "/archivecontent.asp?id=" + Id(topic);
  EXPECT_GOLDEN("archives/thread_cbk", Get(&Corkboard::ArchiveContent, url));
  host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN("archives/thread_club", Get(&Corkboard::ArchiveContent, url));
}

TEST_F(ArchiveContent, TenPostsAPageWhateverHotCount) {
  host.Configure({{"HotCount", "3"}});
  board.AddArchivedPost(older, 500, 0, test::kForumB, "carol", "长话题", "首帖");
  for (int i = 1; i <= 24; ++i) {
    board.AddArchivedPost(older, 500 + i, 500, test::kForumB, "bob", "长话题",
                          "回复" + std::to_string(i));
  }
  // Ten posts a page; a page past the last shows the last.
  test::ExpectGoldenCases("archives/long_thread_pages", [&](const std::string& page) {
    return Get(&Corkboard::ArchiveContent, "/archivecontent.asp?id=500&page=" + page);
  });
}

TEST_F(ArchiveContent, RefusalsAndNoWrites) {
  std::string pages;
  for (const std::string& query : {std::string("id=x"), "id=" + Id(topic) + "&page=x",
                                   "id=" + Id(other),  // live, never archived
                                   "id=" + Id(reply)}) {
    pages += GoldenCase(query, Get(&Corkboard::ArchiveContent, "/archivecontent.asp?" + query));
  }
  EXPECT_GOLDEN("archives/thread_refusals", pages);
  const std::string before = ArchivedRows();
  Get(&Corkboard::ArchiveContent, "/archivecontent.asp?id=" + Id(topic));
  EXPECT_EQ(ArchivedRows(), before);
}

TEST_F(ArchiveContent, ATopicInTwoArchivesShowsOneCopy) {
  // The first archive's copy, unless the address names the archive.
  CopyIntoOlder("'另一份'");
  const std::string url = "/archivecontent.asp?id=" + Id(topic);
  EXPECT_GOLDEN(
      "archives/two_copies",
      GoldenCase("first", Get(&Corkboard::ArchiveContent, url)) +
          GoldenCase("named", Get(&Corkboard::ArchiveContent, url + "&ArchiveID=" + Id(older))));
}

}  // namespace
}  // namespace cb
