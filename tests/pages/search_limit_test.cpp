// search.asp on a search that finds more than 1,000 posts: the newest 1,000 in the order of the
// whole result (live and archived merged), a pager of 1,000 records, a line saying there are
// more; private forums still left out; and the plan that reads only the asked page's rows.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "browse/search_query.h"
#include "frame/corkboard.h"
#include "store/backend.h"
#include "store/connection.h"
#include "store/sql_translate.h"
#include "support/fake_host.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::Has;

constexpr const char* kMore = "找到的记录超过 1000 个，这里只列出 1000 个；请使用更准确的关键词。";

// The listed subjects in order, "(A)" after archived ones.
std::vector<std::string> Subjects(const std::string& page) {
  std::vector<std::string> out;
  for (size_t at = 0; (at = page.find("<a href=", at)) != std::string::npos; ++at) {
    const bool live = page.compare(at, 26, "<a href=newsdetail.asp?id=") == 0;
    const bool archived = page.compare(at, 30, "<a href=archivecontent.asp?id=") == 0;
    if (!live && !archived) continue;
    const size_t start = page.find('>', at) + 1;
    out.push_back(page.substr(start, page.find("</a>", start) - start) + (archived ? "(A)" : ""));
  }
  return out;
}

std::string Search(test::FakeHost& host, const std::string& terms, const std::string& forum) {
  host.PostForm("/search.asp", {{"SearchTerms", terms},
                                {"BooleanAND", "YES"},
                                {"ForumChoice", forum},
                                {"SearchIn", "ALL"},
                                {"SearchDate", "ALL"},
                                {"SearchUser", ""},
                                {"ExactName", "no"},
                                {"action", "simplesearch"}});
  return host.Run(&Corkboard::Search);
}

// 1,003 topics "apple <i>" a minute apart, an archived "apple archived" between the two newest,
// and a newer one in a private forum.
TEST(SearchLimit, ListsTheNewestThousand) {
  test::FakeHost host;
  test::TestBoard board(host);
  board.AddCatalogForum("休闲", "灌水乐园");
  board.AddCatalogForum("休闲", "密室", {.restrict = "private"});
  board.AddMember("bob", "pw");
  const DateTime start = DateTime::FromParts(2024, 1, 1, 0, 0, 0);
  for (int i = 0; i < 1003; ++i) {
    board.AddTopic("灌水乐园", "bob", "apple " + std::to_string(i), "m", start.AddSeconds(60 * i));
  }
  board.AddTopic("密室", "bob", "apple secret", "m", start.AddSeconds(60 * 2000));
  board.AddArchivedPost(board.AddArchive("精华"), 5000, 0, "灌水乐园", "bob", "apple archived", "m",
                        start.AddSeconds(60 * 1001 + 30));
  host.Configure({{"PageSize", "20"}, {"PageStyle", "2"}});

  std::string page = Search(host, "apple", "ALL");
  std::vector<std::string> rows = Subjects(page);
  ASSERT_EQ(rows.size(), 20u) << page;
  EXPECT_EQ(
      std::vector<std::string>(rows.begin(), rows.begin() + 4),
      (std::vector<std::string>{"apple 1002", "apple archived(A)", "apple 1001", "apple 1000"}));
  EXPECT_TRUE(Has(page, kMore));
  EXPECT_TRUE(Has(page, "页次：<b>1</b>/<b>50</b>页")) << page;
  EXPECT_TRUE(Has(page, "共<B>1000</b>个记录")) << page;

  // Later pages come from the kept search; the last one ends at the 1,000th newest.
  struct Case {
    const char* query;
    const char* first;
    const char* last;
  };
  const Case cases[] = {
      {"action=gotopage&page=2", "apple 983", "apple 964"},
      {"action=gotopage&page=50", "apple 23", "apple 4"},
      {"action=gotopage&page=99", "apple 23", "apple 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    page = host.Get(std::string("/search.asp?") + c.query).Run(&Corkboard::Search);
    rows = Subjects(page);
    ASSERT_EQ(rows.size(), 20u) << page;
    EXPECT_EQ(rows.front(), c.first);
    EXPECT_EQ(rows.back(), c.last);
    EXPECT_TRUE(Has(page, kMore));
  }

  // One forum's search is unordered: a thousand of its rows, no more.
  page = Search(host, "apple", "灌水乐园");
  EXPECT_EQ(Subjects(page).size(), 20u);
  EXPECT_TRUE(Has(page, "共<B>1000</b>个记录")) << page;
  // A search that finds a few lists them all, without the line.
  page = Search(host, "apple 100", "ALL");
  EXPECT_EQ(Subjects(page),
            (std::vector<std::string>{"apple 1002", "apple 1001", "apple 1000", "apple 100"}));
  EXPECT_FALSE(Has(page, kMore));
  for (const std::string& p : {Search(host, "apple", "ALL"), Search(host, "", "ALL")}) {
    EXPECT_FALSE(Has(p, "secret"));
    EXPECT_FALSE(Has(p, "错误号")) << p;
  }
}

// On SQLite the newest-first statement walks the posting-time indexes of both tables and sorts
// only rows of equal time; the counted one starts from the text index and sorts nothing.
TEST(SearchLimit, PlansReadOnlyWhatThePageNeeds) {
  test::TestBoard board;
  BackendConnection& con = board.con().backend();
  if (con.dialect().name() != "sqlite") GTEST_SKIP() << "SQLite plans";
  SearchFields f;
  f.terms = "天气不错";
  const auto plan = [&](SearchPlan p) {
    const Translation t = TranslateSql(SearchSql(f, p), con.dialect());
    const std::string sql =
        p == SearchPlan::kCounted ? t.CappedCountSql(con.dialect(), 1001) : t.sql;
    auto st = con.Prepare("EXPLAIN QUERY PLAN " + sql, t.original);
    std::string out;
    while (st->Step()) out += std::get<std::string>(st->Column(3)) + "\n";
    st->Reset();
    return out;
  };
  const std::string newest = plan(SearchPlan::kNewestFirst);
  EXPECT_TRUE(Has(newest, "SCAN post USING INDEX post_by_time\n")) << newest;
  EXPECT_TRUE(Has(newest, "SCAN post USING INDEX archivelist_time\n")) << newest;
  EXPECT_FALSE(Has(newest, "TEMP B-TREE FOR ORDER BY")) << newest;
  const std::string counted = plan(SearchPlan::kCounted);
  EXPECT_TRUE(Has(counted, "UNION ALL")) << counted;
  EXPECT_FALSE(Has(counted, "SCAN post\n")) << counted;
  EXPECT_FALSE(Has(counted, "ORDER BY")) << counted;
}

}  // namespace
}  // namespace cb
