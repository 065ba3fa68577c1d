// The digests (hot.asp, morereply.asp, active.asp, top.asp) and a forum's announcements.
#include <map>

#include "support/page_test.h"

namespace cb {
namespace {

DateTime Day(int day, int hour = 9) { return DateTime::FromParts(2024, 5, day, hour, 0, 0); }

// Topic n has n views, 30 - n replies' worth of reply count and its last activity on day n % 9.
void SeedTopics(TestBoard& board, int count) {
  board.AddCatalogForum("休闲", "灌水乐园");
  board.AddCatalogForum("休闲", "密室", {.restrict = "Private"});
  board.AddMember("alice", "pw");
  for (int n = 1; n <= count; ++n) {
    const int64_t id =
        board.AddTopic("灌水乐园", "alice", "话题 " + std::to_string(n),
                       "内容 <b>" + std::to_string(n) + "</b>", Day(1).AddSeconds(3600 * n));
    board.Exec("update post set hits=" + std::to_string(n) +
               ",replycount=" + std::to_string(100 - n) + " where postid=" + std::to_string(id));
  }
  const int64_t secret = board.AddTopic("密室", "alice", "秘密", "m", Day(9));
  board.Exec("update post set hits=1000,replycount=1000 where postid=" + std::to_string(secret));
}

// The subjects of the listed topics, one a line in order.
std::string Subjects(const std::string& page) {
  std::string out;
  const std::string mark = "] - 主题：";
  for (size_t at = 0; (at = page.find(mark, at)) != std::string::npos; ++at) {
    const size_t start = at + mark.size();
    out += page.substr(start, page.find("</b>", start) - start) + "\n";
  }
  return out;
}

// The golden file's cases are the page and the number of public topics: 25 of them at most, in
// each digest's order, never the private forum's.
TEST(TopicDigests, TwentyFiveInOrderWithoutPrivateForums) {
  const std::map<std::string, void (Corkboard::*)()> pages = {{"hot", &Corkboard::HotTopic},
                                                              {"morereply", &Corkboard::MoreReply},
                                                              {"newly", &Corkboard::NewlyTopic}};
  test::ExpectGoldenCases("digests/listed.txt", [&](const std::string& c) {
    FakeHost host;
    TestBoard board(host);
    SeedTopics(board, std::stoi(c.substr(c.find(' ') + 1)));
    return Subjects(host.Get("/hot.asp").Run(pages.at(c.substr(0, c.find(' ')))));
  });
}

TEST(TopicDigests, GoldenPages) {
  FakeHost host;
  TestBoard board(host);
  SeedTopics(board, 2);
  board.AddMember("bob", "pw", {.postcount = 7});
  board.AddMember("o'<i>x</i>", "pw", {.postcount = 3});
  const int64_t long_text = board.AddTopic("灌水乐园", "bob", "长的 & \"引号\"",
                                           std::string(120, 'x') + "<script>", Day(9));
  board.Exec("update post set hits=null where postid=" + std::to_string(long_text));
  // Seven members: the rankings' fourth row has an empty right half.
  for (int i = 1; i <= 4; ++i)
    board.AddMember("m" + std::to_string(i), "pw", {.postcount = 10 + i});
  board.Exec("update register set jf=postcount*2");
  const auto page = [&](const char* style, void (Corkboard::*method)()) {
    host.Configure({{"BBSTYLE", style}});
    return host.Get("/hot.asp").Run(method);
  };
  EXPECT_GOLDEN("digests/hot_cbk", page("CBK", &Corkboard::HotTopic));
  EXPECT_GOLDEN("digests/morereply_club", page("CLUB", &Corkboard::MoreReply));
  EXPECT_GOLDEN("digests/newly_cbk", page("CBK", &Corkboard::NewlyTopic));
  EXPECT_GOLDEN("digests/top_cbk", page("CBK", &Corkboard::Top));
  EXPECT_GOLDEN("digests/top_club", page("CLUB", &Corkboard::Top));
}

using Announcements = test::BoardTest;

TEST_F(Announcements, CurrentAnnouncementsOfAForum) {
  board.AddCatalogForum("休闲", "灌水乐园");
  board.AddCatalogForum("休闲", "技术");
  // The clock stands at 2024-05-09 10:20:30: the first and third show, not another forum's.
  for (const auto& [subject, start, end] : {std::tuple{"今天截止", Day(1, 0), Day(9, 0)},
                                            {"明天开始", Day(10, 0), Day(20, 0)},
                                            {"今天开始", Day(9, 0), Day(20, 0)},
                                            {"昨天截止", Day(1, 0), Day(8, 0)}}) {
    board.AddAnnouncement("灌水乐园", "alice", subject, "x", start, end);
  }
  board.AddAnnouncement("技术", "alice", "别的论坛", "x", Day(1, 0), Day(20, 0));
  host.Get("/cbkmisc.asp?action=getannounce&forum=灌水乐园");
  EXPECT_GOLDEN("announce/current", host.Run(&Corkboard::Getannounce));
}

// The golden file's cases are the sessionLoginDT cookie ("-" for none: the first visit, now): the
// announcement posted at 10:20:30 is new unless the visit came later (the same second is not
// earlier); the cookie is written when there was none.
TEST_F(Announcements, NewSinceTheLastVisit) {
  board.AddCatalogForum("休闲", "灌水乐园");
  board.AddAnnouncement("灌水乐园", "alice", "公告", "[b]粗[/b] <i>", Day(1, 0), Day(20, 0));
  test::ExpectGoldenCases("announce/new_since.txt", [&](const std::string& last_visit) {
    host.Get("/cbkmisc.asp?action=getannounce&forum=灌水乐园");
    if (last_visit != "-") host.Cookie("sessionLoginDT", last_visit);
    const std::string page = host.Run(&Corkboard::Getannounce);
    const size_t icon = page.find("images/", page.find("公告</font></td>"));
    return page.substr(icon, page.find('>', icon) - icon) + "\n" + test::SetCookies(host);
  });
}

TEST_F(Announcements, GoldenPagesAndPrivateForums) {
  for (const char* style : {"CBK", "CLUB"}) {
    FakeHost host;
    TestBoard board(host);
    board.AddCatalogForum("休闲", "灌水 & 乐园");
    board.AddMember("alice", "pw", {.email = "alice@example.com"});
    board.AddModerator("灌水 & 乐园", "alice");
    board.AddAnnouncement("灌水 & 乐园", "alice", "第一 <b>", "[b]粗[/b] <i>斜</i>\n第二行",
                          Day(1, 0), Day(20, 0));
    board.AddAnnouncement("灌水 & 乐园", "bob", "第二", "内容", Day(2, 0), Day(9, 0));
    host.Configure({{"BBSTYLE", style}});
    host.Get("/cbkmisc.asp?action=getannounce&forum=灌水%20%26%20乐园")
        .Cookie("sessionLoginDT", "2024-05-09 12:00:00");
    EXPECT_GOLDEN(std::string("announce/") + (std::string(style) == "CBK" ? "cbk" : "club"),
                  host.Run(&Corkboard::Getannounce));
  }
  // A private forum's announcements only for a session the forum admitted.
  board.AddCatalogForum("休闲", "密室", {.restrict = "private"});
  board.AddAnnouncement("密室", "alice", "秘密公告", "x", Day(1, 0), Day(20, 0));
  host.Get("/cbkmisc.asp?action=getannounce&forum=密室");
  std::string pages = GoldenCase("not admitted", host.Run(&Corkboard::Getannounce));
  host.session().Set("密室", Variant("1"));
  EXPECT_GOLDEN("announce/private",
                pages + GoldenCase("admitted", host.Run(&Corkboard::Getannounce)));
}

}  // namespace
}  // namespace cb
