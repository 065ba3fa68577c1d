// search.asp: what each action lists, never from a private forum, and the plans that read only
// the asked page's rows.
#include <regex>
#include <variant>

#include "browse/search_query.h"
#include "store/backend.h"
#include "store/connection.h"
#include "store/sql_translate.h"
#include "support/page_test.h"

namespace cb {
namespace {

// The subjects a search lists, in order, "(A)" after archived ones.
std::vector<std::string> SearchResults(const std::string& page) {
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

DateTime Day(int day, int hour = 9) { return DateTime::FromParts(2024, 5, day, hour, 0, 0); }

// Public forums (one whose restrict is NULL), a private one, an archive and three members. The
// host's clock stands at 2024-05-09 10:20:30.
struct Seeded {
  int64_t weather, reply, sale, secret, archive;
};

Seeded Seed(TestBoard& board) {
  board.AddCatalogForum("休闲", "灌水乐园");
  board.AddCatalogForum("休闲", "技术", {.restrict = "all&all"});
  board.AddCatalogForum("休闲", "密室", {.restrict = "private"});
  for (const char* name : {"alice", "bob", "o'brien"}) board.AddMember(name, "pw");
  Seeded s{};
  s.weather = board.AddTopic("灌水乐园", "alice", "今天天气 不错", "我觉得天气很好", Day(2));
  s.reply = board.AddReply(s.weather, "bob", "Re: 天气", "天气 xyz 真的", Day(9, 8));
  s.sale = board.AddTopic("技术", "o'brien", "50% off it's [new]", "price a_b ABC", Day(6));
  board.AddTopic("技术", "bob", "500 off", "plain abc", Day(8));
  s.secret = board.AddTopic("密室", "alice", "秘密天气", "天气 不错 abc", Day(9, 9));
  s.archive = board.AddArchive("精华");
  board.AddArchivedPost(s.archive, 900, 0, "灌水乐园", "alice", "旧的天气", "天气 不错", Day(1));
  return s;
}

const FormFields kForm = {{"SearchTerms", ""}, {"BooleanAND", "YES"},     {"ForumChoice", "ALL"},
                          {"SearchIn", "ALL"}, {"SearchDate", "ALL"},     {"SearchUser", ""},
                          {"ExactName", "no"}, {"action", "simplesearch"}};

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += (out.empty() ? "" : "\n") + line;
  return out;
}

// A page of results: the subjects one a line (or, when unordered, how many), the pager's counts
// and the line on more results.
std::string Counted(const std::string& page, bool ordered = true) {
  const std::vector<std::string> subjects = SearchResults(page);
  std::string out = ordered ? "" : std::to_string(subjects.size()) + " results\n";
  for (const std::string& subject : subjects) out += ordered ? subject + "\n" : "";
  const std::regex counts("页次：<b>\\d+</b>/<b>\\d+</b>页|共<B>\\d+</b>个记录");
  for (std::sregex_iterator m(page.begin(), page.end(), counts), end; m != end; ++m) {
    out += m->str() + "\n";
  }
  return out + (Has(page, "找到的记录超过 1000 个，这里只列出 1000 个；请使用更准确的关键词。")
                    ? "more\n"
                    : "");
}

struct SearchTest : test::BoardTest {
  Seeded seeded = Seed(board);

  std::string Search(const FormFields& changes) {
    return host.PostForm("/search.asp", WithChanges(kForm, changes)).Run(&Corkboard::Search);
  }
  std::string Get(const std::string& query) {
    return host.Get("/search.asp" + query).Run(&Corkboard::Search);
  }
  // The results of a page that must not be an error, one a line.
  static std::string Listed(const std::string& page) {
    EXPECT_FALSE(Has(page, "错误号")) << page;
    EXPECT_EQ(Has(page, "没有发现任何记录！"), SearchResults(page).empty());
    return Lines(SearchResults(page));
  }
};

// The results, one a line. The golden file's cases are the changed form fields, "name=value"
// separated by "; ": two words in all-words mode are one phrase, space included; two spaces
// make an empty word, which matches every post; keywords are lower-cased and matching ignores
// the case of ASCII letters; a private forum chosen lists nothing.
TEST_F(SearchTest, SimpleSearchLists) {
  test::ExpectGoldenCases("search/simple.txt", [&](const std::string& name) {
    const std::string page = Search(test::FieldsOf(name, "; "));
    EXPECT_TRUE(test::EndsPage(page));
    return Listed(page);
  });
}

// Private forums are never searched, also for a member the forum admits.
TEST_F(SearchTest, PrivateForumsAreNeverListed) {
  board.AddReply(seeded.secret, "bob", "秘密回复", "m", Day(9, 10));
  host.session().Set("密室", Variant("1"));
  for (const std::string& page :
       {Search({{"SearchTerms", "秘密"}}), Search({{"SearchUser", "alice"}, {"ExactName", "yes"}}),
        Get("?action=getdaily"), Get("?action=searchuser&username=alice")}) {
    EXPECT_FALSE(Has(Listed(page), "秘密")) << page;
  }
  // Nor does the form offer it (what it offers: the golden forms).
  EXPECT_FALSE(Has(Get(""), "密室"));
}

// Topics whose last activity is today, newest first; a member's live posts, newest first,
// archived ones not included.
TEST_F(SearchTest, DailyTopicsAndMemberPosts) {
  board.AddTopic("技术", "bob", "昨天的", "m", Day(8, 23));
  test::ExpectGoldenCases("search/daily_and_member.txt",
                          [&](const std::string& query) { return Listed(Get("?" + query)); });
  // The topic links to its thread, a reply to its topic.
  EXPECT_TRUE(
      Has(Get("?action=searchuser&username=bob"), "<a href=newsdetail.asp?id=1>Re: 天气</a>"));
}

// Failures the page reports as run-time errors; the kept search stays as it was.
// The golden file's cases are the changed fields: a date that is not a number (13), too large (6)
// or missing (13), an archive number that is not a number or missing (13).
TEST_F(SearchTest, RunTimeErrors) {
  // Paging with no search kept has no statement to run.
  std::string page = Get("?action=gotopage&page=2");
  EXPECT_TRUE(Has(page, "错误号：-2147217908")) << page;
  EXPECT_TRUE(test::EndsPage(page));

  Search({{"SearchTerms", "天气"}});
  const std::string kept = host.session().Get("searchsql").Str();
  test::ExpectGoldenCases("search/runtime_errors", [&](const std::string& changes) {
    page = Search(test::FieldsOf(changes, "; "));
    EXPECT_TRUE(test::EndsPage(page));
    EXPECT_EQ(host.session().Get("searchsql").Str(), kept);
    return page;
  });
}

// Terms are text to find: quotes, wildcards, brackets and odd bytes (the golden file's cases) give
// the results or none, never an SQL error, and wildcards match only themselves.
TEST_F(SearchTest, HostileTerms) {
  test::ExpectGoldenCases("search/hostile_terms.txt", [&](const std::string& terms) {
    return Listed(Search({{"SearchTerms", terms}}));
  });
  // Each word of an any-word search is quoted on its own.
  EXPECT_EQ(Listed(Search({{"SearchTerms", "' or 1=1 --"}, {"BooleanAND", "NO"}})),
            "50% off it's [new]");
  // A GBK lead byte before a quote, in a posted search and in a member search.
  EXPECT_EQ(Listed(Get("?action=simplesearch&SearchTerms=%81%27x&ForumChoice=ALL&SearchIn=ALL&"
                       "SearchDate=ALL")),
            "");
  Listed(Get("?action=searchuser&username=%81%27"));
  EXPECT_EQ(board.Scalar("select count(*) from post").CLng(), 5);
}

TEST_F(SearchTest, PagesThroughTheKeptSearch) {
  for (int i = 0; i < 23; ++i) {
    board.AddTopic("灌水乐园", "bob", "第" + std::to_string(i) + "个 apple", "m",
                   Day(3).AddSeconds(60 * i));
  }
  host.Configure({{"PageSize", "10"}});
  std::string page = Search({{"SearchTerms", "APPLE"}});
  EXPECT_EQ(SearchResults(page).size(), 10u);
  EXPECT_EQ(SearchResults(page).front(), "第22个 apple");
  EXPECT_TRUE(Has(page, "/search.asp?page=3&action=GotoPage>3</a>")) << page;

  // The session keeps the search's fields, from which each page rebuilds its statement.
  const std::string kept = host.session().Get("searchsql").Str();
  EXPECT_EQ(kept.find("select"), std::string::npos) << kept;
  // Each page, a page past the end (the last) and a page that is not a number (the first).
  test::ExpectGoldenCases("search/kept_pages.txt", [&](const std::string& query) {
    return Lines(SearchResults(Get("?" + query)));
  });
  // A kept value that is not one this board wrote is no search; statements are never run.
  for (const char* tampered : {"select * from register", "kind=simple&forum=x' or '1'='1",
                               "kind=daily&day=2024-05-09'; delete from post"}) {
    host.session().Set("searchsql", Variant(tampered));
    EXPECT_FALSE(Has(Get("?action=gotopage"), "alice")) << tampered;
    EXPECT_EQ(board.Scalar("select count(*) from post").CLng(), 28);
  }
}

TEST(Search, KeptSearchRoundTrips) {
  SearchFields f =
      SimpleSearch({"A&b=c%", "no", "archive_2", "subject", "5", "O'Brien", "no"}, Day(9, 10));
  std::optional<SearchFields> back = KeptSearch(KeepSearch(f));
  ASSERT_TRUE(back);
  EXPECT_EQ(SearchSql(*back), SearchSql(f));
  EXPECT_EQ(back->since, "2024-05-04 10:00:00");
  EXPECT_EQ(SearchSql(*KeptSearch(KeepSearch(MemberSearch("o'brien")))),
            SearchSql(MemberSearch("o'brien")));
  EXPECT_EQ(SearchSql(f),
            " SELECT 1 as isarchive,(CASE WHEN parentid IS NULL THEN postid ELSE parentid END) "
            "AS id, username,  posttime AS lastlytime, subject, archive.archivename as forumname "
            " FROM archivelist as post INNER JOIN  archive ON archive.archiveid = post.archiveid "
            "where ( ( subject like '%a&b=c[%]%')) and  post.archiveid=2 and username like "
            "'%O''Brien%' and   (posttime>='2024-05-04 10:00:00') ORDER BY posttime DESC ");
}

TEST_F(SearchTest, GoldenPages) {
  host.Configure({{"PageSize", "2"}, {"PageStyle", "2"}});
  host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN("search/form_club", Get(""));
  host.Configure({{"BBSTYLE", "CBK"}});
  EXPECT_GOLDEN("search/form_cbk", Get(""));
  EXPECT_GOLDEN("search/results_cbk", Search({{"SearchTerms", "天气"}}));
  host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN("search/none_club", Search({{"SearchTerms", "没有的词"}}));
}

// A search that finds more than 1,000 posts lists the newest 1,000 in the order of the whole
// result (live and archived merged), with a pager of 1,000 records and a line saying there are
// more: 1,003 topics "apple <i>" a minute apart, an archived "apple archived" between the two
// newest, and a newer one in the private forum.
TEST_F(SearchTest, ListsTheNewestThousand) {
  const DateTime start = DateTime::FromParts(2024, 1, 1, 0, 0, 0);
  for (int i = 0; i < 1003; ++i) {
    board.AddTopic("灌水乐园", "bob", "apple " + std::to_string(i), "m", start.AddSeconds(60 * i));
  }
  board.AddTopic("密室", "bob", "apple secret", "m", start.AddSeconds(60 * 2000));
  board.AddArchivedPost(seeded.archive, 5000, 0, "灌水乐园", "bob", "apple archived", "m",
                        start.AddSeconds(60 * 1001 + 30));
  host.Configure({{"PageSize", "20"}, {"PageStyle", "2"}});
  // The golden file's cases are "?<query>" (a later page of the kept search, the last one ending at
  // the 1,000th newest) or "<forum>:<terms>" (a new search; one forum's search is unordered, and a
  // search that finds a few lists them all, without the line).
  test::ExpectGoldenCases("search/limit.txt", [&](const std::string& c) {
    if (c.starts_with("?")) return Counted(Get(c));
    const size_t colon = c.find(':');
    return Counted(
        Search({{"SearchTerms", c.substr(colon + 1)}, {"ForumChoice", c.substr(0, colon)}}),
        colon == 3);
  });
}

// On SQLite the newest-first statement walks the posting-time indexes of both tables and sorts
// only rows of equal time; the counted one starts from the text index and sorts nothing.
TEST(Search, PlansReadOnlyWhatThePageNeeds) {
  TestBoard board;
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
