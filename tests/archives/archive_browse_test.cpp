// Archive browsing: the topic list and the archived thread as golden pages, ten posts a page
// whatever HotCount is, the refusals, and no writes while reading.
#include "archives/archive_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::ArchiveBoard;

size_t Count(const std::string& page, const std::string& text) {
  size_t n = 0;
  for (size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++n;
  return n;
}

TEST(ArchiveList, GoldenPages) {
  ArchiveBoard b;
  b.host.Configure({{"PageSize", "2"}});
  // Two more topics, archived later: the newest archived comes first, two a page.
  b.board.AddArchivedPost(b.gems, 901, 0, test::kForumB, "carol", "<i>斜</i>", "x");
  b.board.AddArchivedPost(b.gems, 902, 0, test::kForumB, "carol", "第三", "y");
  b.board.Exec("update archivelist set archivedate='2024-05-09 08:00:00' where postid=901");
  b.board.Exec("update archivelist set archivedate='2024-05-09 09:00:00' where postid=902");
  EXPECT_GOLDEN("archives/list_cbk_first_page",
                b.Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=" + b.Id(b.gems)));
  b.host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN(
      "archives/list_club_last_page",
      b.Get(&Corkboard::ArchiveList, "/archivelist.asp?archiveid=" + b.Id(b.gems) + "&page=9"));
}

TEST(ArchiveList, EmptyArchiveAndRefusals) {
  ArchiveBoard b;
  std::string pages;
  for (const std::string& query : {"ArchiveID=" + b.Id(b.older), std::string("ArchiveID=x"),
                                   std::string("ArchiveID=0"), std::string("ArchiveID=1&page=x")}) {
    pages += test::GoldenCase(query, b.Get(&Corkboard::ArchiveList, "/archivelist.asp?" + query));
  }
  EXPECT_GOLDEN("archives/list_refusals", pages);
  // An unknown archive ends in the run-time error page (its text is the database's).
  const std::string unknown = b.Get(&Corkboard::ArchiveList, "/archivelist.asp?ArchiveID=999");
  EXPECT_TRUE(Has(unknown, "错误号：") && test::EndsPage(unknown)) << unknown;
}

TEST(ArchiveContent, GoldenPages) {
  ArchiveBoard b;
  b.board.Exec(
      "update register set icq='12345',oicq='67890',location='<上海>',"
      "signdate='2023-02-03 04:05:06' where username='bob'");
  const std::string url = "/archivecontent.asp?id=" + b.Id(b.topic);
  EXPECT_GOLDEN("archives/thread_cbk", b.Get(&Corkboard::ArchiveContent, url));
  b.host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN("archives/thread_club", b.Get(&Corkboard::ArchiveContent, url));
}

TEST(ArchiveContent, TenPostsAPageWhateverHotCount) {
  ArchiveBoard b;
  b.host.Configure({{"HotCount", "3"}});
  b.board.AddArchivedPost(b.older, 500, 0, test::kForumB, "carol", "长话题", "首帖");
  for (int i = 1; i <= 24; ++i) {
    b.board.AddArchivedPost(b.older, 500 + i, 500, test::kForumB, "bob", "长话题",
                            "回复" + std::to_string(i));
  }
  // Ten posts a page; a page past the last shows the last.
  test::ExpectGoldenCases("archives/long_thread_pages", [&](const std::string& page) {
    return b.Get(&Corkboard::ArchiveContent, "/archivecontent.asp?id=500&page=" + page);
  });
}

TEST(ArchiveContent, RefusalsAndNoWrites) {
  ArchiveBoard b;
  std::string pages;
  for (const std::string& query : {std::string("id=x"), "id=" + b.Id(b.topic) + "&page=x",
                                   "id=" + b.Id(b.other),  // live, never archived
                                   "id=" + b.Id(b.reply)}) {
    pages +=
        test::GoldenCase(query, b.Get(&Corkboard::ArchiveContent, "/archivecontent.asp?" + query));
  }
  EXPECT_GOLDEN("archives/thread_refusals", pages);
  const std::string before = b.ArchivedRows();
  b.Get(&Corkboard::ArchiveContent, "/archivecontent.asp?id=" + b.Id(b.topic));
  EXPECT_EQ(b.ArchivedRows(), before);
}

TEST(ArchiveContent, ATopicInTwoArchivesShowsOneCopy) {
  ArchiveBoard b;
  b.CopyIntoOlder("'另一份'");
  const std::string first =
      b.Get(&Corkboard::ArchiveContent, "/archivecontent.asp?id=" + b.Id(b.topic));
  EXPECT_EQ(Count(first, "发表于 "), 3u);
  EXPECT_TRUE(Has(first, "archivelist.asp?archiveid=" + b.Id(b.gems) + ">精华 &lt;2023&gt;</a>"));
  const std::string second =
      b.Get(&Corkboard::ArchiveContent,
            "/archivecontent.asp?id=" + b.Id(b.topic) + "&ArchiveID=" + b.Id(b.older));
  EXPECT_EQ(Count(second, "发表于 "), 3u);
  EXPECT_TRUE(Has(second, "<b>主题:</b> 另一份"));
}

}  // namespace
}  // namespace cb
