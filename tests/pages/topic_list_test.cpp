// The topic list: golden pages (empty forum, hot, closed and multi-page topics, both layouts, the
// topic size on and off), the day range and its cookie, paging, and the refusals.
#include <regex>

#include "support/page_test.h"

namespace cb {
namespace {

constexpr const char* kForum = "灌水乐园";

DateTime At(int day, int hour) { return DateTime::FromParts(2024, 5, day, hour, 0, 0); }

void AddReplies(TestBoard& board, int64_t topic, int count, DateTime first) {
  for (int i = 0; i < count; ++i) {
    board.AddReply(topic, i % 2 ? "alice" : "bob", "Re", "reply", first.AddSeconds(60 * i));
  }
}

// A forum with a hot topic (11 replies), one at the hot limit (10 replies, two pages of the
// thread), a closed one, an old quiet one and a very old one outside the default day range.
void SeedTopics(TestBoard& board) {
  board.AddCatalogForum("休闲", kForum, {.forummaster = "<a href=mailto:a@b.c>alice</a>"});
  board.AddMember("alice", "pw", {.status = "administrator"});
  board.AddMember("bob", "pw");
  const int64_t hot =
      board.AddTopic(kForum, "bob", "热门 <b>话题</b> & 更多", "abcdefghij", At(8, 9));
  AddReplies(board, hot, 11, At(9, 8));
  const int64_t limit = board.AddTopic(kForum, "alice", "十个回复", "x", At(7, 9));
  AddReplies(board, limit, 10, At(7, 10));
  const int64_t closed = board.AddTopic(kForum, "bob", "已关闭", std::string(1234, 'x'), At(6, 9));
  board.Exec("update post set status='close' where postid=" + std::to_string(closed));
  board.AddTopic(kForum, "alice", "安静的话题", "", At(5, 9));
  board.AddTopic(kForum, "alice", "很久以前", "old", DateTime::FromParts(2024, 3, 1, 9));
  board.Exec("update post set hits=7,icon=3 where parentid is null");
}

// topics_cbk shows each status icon: closed beats news, news is later than the last visit, and a
// topic is hot only with more replies than HotCount.
TEST(TopicListPages, Golden) {
  const auto page = [](const char* style, bool topics, const char* topic_size) {
    FakeHost host;
    TestBoard board(host);
    topics ? SeedTopics(board) : board.AddCatalogForum("休闲", kForum);
    board.AddAnnouncement(kForum, "alice", "本周 <i>公告</i>", "内容", At(1, 0), At(9, 0));
    host.Configure({{"BBSTYLE", style}, {"DisplayTopicSize", topic_size}});
    return host.Get(std::string("/list.asp?GroupName=") + kForum)
        .Cookie("sessionLoginDT", "2024-05-08 12:00:00")
        .Run(&Corkboard::list);
  };
  EXPECT_GOLDEN("list/empty_forum", page("CBK", false, "true"));
  EXPECT_GOLDEN("list/topics_cbk", page("CBK", true, "true"));
  EXPECT_GOLDEN("list/topics_club", page("CLUB", true, "true"));
  EXPECT_GOLDEN("list/topics_without_size", page("CBK", true, "false"));
}

using TopicList = test::BoardTest;

// The golden file's cases are the DaysPrune of the address ("-" for none) and of the cookie: the
// option selected, whether the topic of 2024-03-01 is listed, and the cookie the page writes. A
// word in the address gives the default and leaves the cookie unread.
TEST_F(TopicList, DayRange) {
  SeedTopics(board);
  test::ExpectGoldenCases("list/day_range.txt", [&](const std::string& c) {
    const size_t space = c.find(' ');
    const std::string query = c.substr(0, space), cookie = c.substr(space + 1);
    host.Get(std::string("/list.asp?GroupName=") + kForum +
             (query == "-" ? "" : "&DaysPrune=" + query));
    if (cookie != "-") host.Cookie("DaysPrune", cookie);
    const std::string page = host.Run(&Corkboard::list);
    std::smatch selected;
    std::regex_search(page, selected, std::regex("<option value=\\d+ selected>"));
    return selected.str() + (Has(page, "很久以前") ? " old" : "") + " " + test::SetCookies(host);
  });
}

// The golden file's cases are the page numbers: past the end the last page, below 1 or not a
// number the first; the pager carries the forum and the day range.
TEST_F(TopicList, PagesAndPager) {
  board.AddCatalogForum("休闲", kForum);
  for (int i = 1; i <= 25; ++i) {
    board.AddTopic(kForum, "bob", "话题 " + std::to_string(i), "m", At(9, 0).AddSeconds(60 * i));
  }
  test::ExpectGoldenCases("list/pages", [&](const std::string& page) {
    return host.Get(std::string("/list.asp?GroupName=") + kForum + "&DaysPrune=0&Page=" + page)
        .Run(&Corkboard::list);
  });
}

// The addresses are the golden file's cases.
TEST_F(TopicList, Refusals) {
  board.AddCatalogForum("休闲", kForum);
  board.AddCatalogForum("休闲", "密室", {.restrict = "Private"});
  test::ExpectGoldenCases(
      "list/refused", [&](const std::string& url) { return host.Get(url).Run(&Corkboard::list); });
}

TEST_F(TopicList, AdmittedToPrivateForum) {
  board.AddCatalogForum("休闲", "密室", {.restrict = "private"});
  board.AddTopic("密室", "bob", "秘密", "m");
  host.session().Set("密室", Variant(true));
  EXPECT_NE(host.Get("/list.asp?GroupName=密室").Run(&Corkboard::list).find("秘密"),
            std::string::npos);
}

// The golden file's cases are the sessionLoginDT cookie ("-" for none): the cookie the page writes
// and whether the topic of 2024-05-09 09:00 counts as new.
TEST(TopicListPages, VisitCookie) {
  test::ExpectGoldenCases("list/visit_cookie.txt", [](const std::string& cookie) {
    FakeHost host;
    TestBoard board(host);
    board.AddCatalogForum("休闲", kForum);
    board.AddTopic(kForum, "bob", "今天", "m", At(9, 9));
    host.Get(std::string("/list.asp?GroupName=") + kForum);
    if (cookie != "-") host.Cookie("sessionLoginDT", cookie);
    const std::string page = host.Run(&Corkboard::list);
    return test::SetCookies(host) + (Has(page, "images/closedb.gif>") ? "new" : "not new");
  });
}

}  // namespace
}  // namespace cb
