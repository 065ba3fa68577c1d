// search.asp: what each action lists (live and archived posts, today's topics, a member's posts),
// private forums left out, the run-time errors, hostile terms, paging through the kept search,
// and golden pages of the form and of a result page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browse/search_query.h"
#include "frame/corkboard.h"
#include "support/fake_host.h"
#include "support/golden.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::FormFields;
using test::Has;
using test::TestBoard;
using test::WithChanges;

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

// The listed results, in order: subject as shown, "(A)" after archived ones.
std::vector<std::string> Results(const std::string& page) {
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

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += (out.empty() ? "" : "\n") + line;
  return out;
}

std::string Search(FakeHost& host, const FormFields& changes) {
  host.PostForm("/search.asp", WithChanges(kForm, changes));
  return host.Run(&Corkboard::Search);
}

// The results, one a line. The golden file's cases are the changed form fields, "name=value"
// separated by "; ": two words in all-words mode are one phrase, space included; two spaces
// make an empty word, which matches every post; keywords are lower-cased and matching ignores
// the case of ASCII letters; a private forum chosen lists nothing.
TEST(Search, SimpleSearchLists) {
  FakeHost host;
  TestBoard board(host);
  Seed(board);
  test::ExpectGoldenCases("search/simple.txt", [&](const std::string& name) {
    const std::string page = Search(host, test::FieldsOf(name, "; "));
    EXPECT_FALSE(Has(page, "错误号")) << page;
    EXPECT_EQ(Has(page, "没有发现任何记录！"), Results(page).empty());
    EXPECT_TRUE(test::EndsPage(page));
    return Lines(Results(page));
  });
}

// Private forums are never searched, also for a member the forum admits.
TEST(Search, PrivateForumsAreNeverListed) {
  FakeHost host;
  TestBoard board(host);
  const Seeded s = Seed(board);
  board.AddReply(s.secret, "bob", "秘密回复", "m", Day(9, 10));
  host.session().Set("密室", Variant("1"));
  const std::vector<std::string> pages = {
      Search(host, {{"SearchTerms", "秘密"}}),
      Search(host, {{"SearchUser", "alice"}, {"ExactName", "yes"}}),
      host.Get("/search.asp?action=getdaily").Run(&Corkboard::Search),
      host.Get("/search.asp?action=searchuser&username=alice").Run(&Corkboard::Search),
  };
  for (const std::string& page : pages) {
    EXPECT_FALSE(Has(page, "秘密")) << page;
    EXPECT_FALSE(Has(page, "错误号")) << page;
  }
  // The form offers public forums whose restrict is set, then the archives.
  const std::string form = host.Get("/search.asp").Run(&Corkboard::Search);
  EXPECT_TRUE(Has(form, "<option value=\"技术\">技术<option value=\"archive_1\">精华</select>"));
  EXPECT_FALSE(Has(form, "密室"));
  EXPECT_FALSE(Has(form, "value=\"灌水乐园\""));
}

TEST(Search, DailyTopicsAndMemberPosts) {
  FakeHost host;
  TestBoard board(host);
  Seed(board);
  board.AddTopic("技术", "bob", "昨天的", "m", Day(8, 23));
  // Topics whose last activity is today, newest first; a member's live posts, newest first,
  // archived ones not included.
  test::ExpectGoldenCases("search/daily_and_member.txt", [&](const std::string& query) {
    const std::string page = host.Get("/search.asp?" + query).Run(&Corkboard::Search);
    EXPECT_FALSE(Has(page, "错误号")) << page;
    return Lines(Results(page));
  });
  // The topic links to its thread, a reply to its topic.
  const std::string page =
      host.Get("/search.asp?action=searchuser&username=bob").Run(&Corkboard::Search);
  EXPECT_TRUE(Has(page, "<a href=newsdetail.asp?id=1>Re: 天气</a>"));
}

// Failures the page reports as run-time errors; the kept search stays as it was.
// The golden file's cases are the changed fields: a date that is not a number (13), too large (6)
// or missing (13), an archive number that is not a number or missing (13).
TEST(Search, RunTimeErrors) {
  FakeHost host;
  TestBoard board(host);
  Seed(board);
  // Paging with no search kept has no statement to run.
  std::string page = host.Get("/search.asp?action=gotopage&page=2").Run(&Corkboard::Search);
  EXPECT_TRUE(Has(page, "错误号：-2147217908")) << page;
  EXPECT_TRUE(test::EndsPage(page));

  Search(host, {{"SearchTerms", "天气"}});
  const std::string kept = host.session().Get("searchsql").Str();
  test::ExpectGoldenCases("search/runtime_errors", [&](const std::string& changes) {
    page = Search(host, test::FieldsOf(changes, "; "));
    EXPECT_TRUE(test::EndsPage(page));
    EXPECT_EQ(host.session().Get("searchsql").Str(), kept);
    return page;
  });
}

// Terms are text to find: quotes, wildcards, brackets and odd bytes give the Part's results or
// none, never an SQL error, and wildcards match only themselves.
TEST(Search, HostileTerms) {
  struct Case {
    std::string terms;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"it's", {"50% off it's [new]"}},
      {"50%", {"50% off it's [new]"}},
      {"0%", {"50% off it's [new]"}},
      {"a_b", {"50% off it's [new]"}},
      {"[new]", {"50% off it's [new]"}},
      {"[n", {"50% off it's [new]"}},
      {"_", {"50% off it's [new]"}},
      {"%", {"50% off it's [new]"}},
      {"' or 1=1 --", {}},
      {"'; delete from post; --", {}},
      {"\"天气\"", {}},
      {std::string(3000, 'x'), {}},
      {std::string(3000, '\''), {}},
  };
  FakeHost host;
  TestBoard board(host);
  Seed(board);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.terms.substr(0, 20));
    const std::string page = Search(host, {{"SearchTerms", c.terms}});
    EXPECT_FALSE(Has(page, "错误号")) << page;
    EXPECT_EQ(Results(page), c.expected);
  }
  // Each word of an any-word search is quoted on its own.
  const std::string any = Search(host, {{"SearchTerms", "' or 1=1 --"}, {"BooleanAND", "NO"}});
  EXPECT_EQ(Results(any), std::vector<std::string>{"50% off it's [new]"});
  // A GBK lead byte before a quote, in a posted search and in a member search.
  host.Get(
      "/search.asp?action=simplesearch&SearchTerms=%81%27x&ForumChoice=ALL&SearchIn=ALL&"
      "SearchDate=ALL");
  std::string page = host.Run(&Corkboard::Search);
  EXPECT_FALSE(Has(page, "错误号")) << page;
  EXPECT_TRUE(Has(page, "没有发现任何记录！"));
  page = host.Get("/search.asp?action=searchuser&username=%81%27").Run(&Corkboard::Search);
  EXPECT_FALSE(Has(page, "错误号")) << page;
  EXPECT_EQ(board.Scalar("select count(*) from post").CLng(), 5);
}

TEST(Search, PagesThroughTheKeptSearch) {
  FakeHost host;
  TestBoard board(host);
  Seed(board);
  for (int i = 0; i < 23; ++i) {
    board.AddTopic("灌水乐园", "bob", "第" + std::to_string(i) + "个 apple", "m",
                   Day(3).AddSeconds(60 * i));
  }
  host.Configure({{"PageSize", "10"}});
  std::string page = Search(host, {{"SearchTerms", "APPLE"}});
  EXPECT_EQ(Results(page).size(), 10u);
  EXPECT_EQ(Results(page).front(), "第22个 apple");
  EXPECT_TRUE(Has(page, "/search.asp?page=3&action=GotoPage>3</a>")) << page;

  // The session keeps the search's fields, from which each page rebuilds its statement.
  const std::string kept = host.session().Get("searchsql").Str();
  EXPECT_EQ(kept.find("select"), std::string::npos) << kept;
  // Each page, a page past the end (the last) and a page that is not a number (the first).
  test::ExpectGoldenCases("search/kept_pages.txt", [&](const std::string& query) {
    return Lines(Results(host.Get("/search.asp?" + query).Run(&Corkboard::Search)));
  });
  // A kept value that is not one this board wrote is no search; statements are never run.
  for (const char* tampered : {"select * from register", "kind=simple&forum=x' or '1'='1",
                               "kind=daily&day=2024-05-09'; delete from post"}) {
    host.session().Set("searchsql", Variant(tampered));
    page = host.Get("/search.asp?action=gotopage").Run(&Corkboard::Search);
    EXPECT_FALSE(Has(page, "alice")) << tampered;
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

TEST(Search, GoldenPages) {
  struct Case {
    const char* golden;
    const char* style;
    FormFields changes;  // empty: the form
  };
  const Case cases[] = {
      {"search/form_cbk", "CBK", {}},
      {"search/form_club", "CLUB", {}},
      {"search/results_cbk", "CBK", {{"SearchTerms", "天气"}}},
      {"search/none_club", "CLUB", {{"SearchTerms", "没有的词"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    FakeHost host;
    TestBoard board(host);
    Seed(board);
    host.Configure({{"BBSTYLE", c.style}, {"PageSize", "2"}, {"PageStyle", "2"}});
    const std::string page = c.changes.empty() ? host.Get("/search.asp").Run(&Corkboard::Search)
                                               : Search(host, c.changes);
    EXPECT_GOLDEN(c.golden, page);
  }
}

}  // namespace
}  // namespace cb
