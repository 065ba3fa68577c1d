// The thread view: golden pages, the walk to neighbouring topics, the view count and refusals.
#include "frame/view_counts.h"
#include "support/page_test.h"

namespace cb {
namespace {

constexpr const char* kForum = "灌水乐园";

DateTime At(int day, int hour, int minute = 0) {
  return DateTime::FromParts(2024, 5, day, hour, minute, 0);
}

// alice: administrator with an avatar, a nickname, a home page with "http://" in capitals, an
// e-mail she shows, both messenger numbers and a signature. bob: ordinary member of 45 posts
// without avatar or nickname, a hidden e-mail and a home page without "http://".
void SeedMembers(TestBoard& board) {
  board.AddMember("alice", "pw", {.status = "administrator", .email = "alice@example.com"});
  board.AddMember("bob", "pw", {.email = "bob@example.com", .postcount = 45});
  board.Exec(
      "update register set icon='images/avatars/1.gif',nickname='爱丽丝',location='北京',"
      "url='HTTP://alice.example.com',emailview=1,icq='12345',oicq='67890',"
      "signature='[b]签名[/b] :)',signdate='2023-02-03 04:05:06' where username='alice'");
  board.Exec(
      "update register set url='bob.example.com',emailview=0,signdate=NULL where "
      "username='bob'");
}

int64_t SeedThread(TestBoard& board, int replies) {
  board.AddCatalogForum("休闲", kForum);
  SeedMembers(board);
  const int64_t topic =
      board.AddTopic(kForum, "alice", "欢迎 <光临>", "第一帖 [b]粗体[/b] :)", At(1, 9));
  board.Exec("update post set icon=2,usesign=1,smiles=1 where postid=" + std::to_string(topic));
  for (int i = 1; i <= replies; ++i) {
    board.AddReply(topic, i % 2 ? "bob" : "alice", "Re", "回复 " + std::to_string(i) + " :)",
                   At(2, 9, i));
  }
  return topic;
}

// Pages of a thread: a page that is not a number is the first, one past the end the last.
TEST(ThreadViewPages, Golden) {
  const auto page = [](const char* style, int replies, const char* number, bool closed = false) {
    FakeHost host;
    TestBoard board(host);
    const std::string topic = std::to_string(SeedThread(board, replies));
    // The first reply was edited, shows no smileys and asks for alice's signature it lacks.
    board.Exec(
        "update post set smiles=0,edithistory='[这消息被bob编辑过(编辑时间2024-05-03)]<br>' "
        "where parentid=" +
        topic + " and username='bob'");
    if (closed) board.Exec("update post set status='close' where postid=" + topic);
    host.Configure({{"BBSTYLE", style}});
    return host.Get("/newsdetail.asp?id=" + topic + "&page=" + number).Run(&Corkboard::Detail);
  };
  EXPECT_GOLDEN("detail/first_page_cbk", page("CBK", 3, "1"));
  EXPECT_GOLDEN("detail/first_page_club", page("CLUB", 3, "1"));
  EXPECT_GOLDEN("detail/first_page_of_25", page("CBK", 24, "1"));
  EXPECT_GOLDEN("detail/first_page_of_25", page("CBK", 24, "abc"));
  EXPECT_GOLDEN("detail/third_page_of_25", page("CBK", 24, "3"));
  EXPECT_GOLDEN("detail/third_page_of_25", page("CBK", 24, "7"));
  EXPECT_GOLDEN("detail/closed_topic", page("CBK", 1, "", true));
}

using ThreadView = test::BoardTest;

// The queries are the golden file's cases: 2 is a reply, 4 a private topic, 5 a topic whose
// forum is gone.
TEST_F(ThreadView, Refusals) {
  SeedThread(board, 2);
  board.AddCatalogForum("休闲", "密室", {.restrict = "private"});
  board.AddTopic("密室", "bob", "秘密", "m");
  board.AddTopic("已删除的论坛", "bob", "孤儿", "m");
  test::ExpectGoldenCases("detail/refused", [&](const std::string& query) {
    return host.Get("/newsdetail.asp?" + query).Run(&Corkboard::Detail);
  });
  // No refused page counted a view.
  ViewCounts::FlushAll();
  EXPECT_EQ(board.Scalar("select count(*) from post where hits is not null").CLng(), 0);
}

// The golden file's cases are the walks: from the first topic (1) to the newer one of its forum,
// from the third (4) to the older one, past a topic of another forum and a reply.
TEST_F(ThreadView, FindThreadWalksToTheNeighbour) {
  board.AddCatalogForum("休闲", kForum);
  board.AddCatalogForum("休闲", "别处");
  const int64_t first = board.AddTopic(kForum, "bob", "第一", "m");
  board.AddTopic("别处", "bob", "别的论坛", "m");
  board.AddReply(first, "bob", "Re", "reply");
  board.AddTopic(kForum, "bob", "第三", "m");
  test::ExpectGoldenCases("detail/find_thread.txt", [&](const std::string& walk) {
    const std::string page =
        host.Get("/newsdetail.asp?action=findthread&forum=" + std::string(kForum) + "&" + walk)
            .Run(&Corkboard::Detail);
    const size_t title = page.find("<title>");
    return page.substr(title, page.find("</title>") - title);
  });
}

TEST_F(ThreadView, EveryViewCountsOnceForEveryPost) {
  const int64_t topic = SeedThread(board, 12);
  for (const char* page : {"1", "2"}) {
    host.Get("/newsdetail.asp?id=" + std::to_string(topic) + "&page=" + page);
    host.Run(&Corkboard::Detail);
  }
  // The page itself writes nothing: the views wait in memory for the writer.
  EXPECT_EQ(board.Scalar("select count(*) from post where hits is not null").CLng(), 0);
  EXPECT_EQ(ViewCounts::Of(board.connection_string()).Pending(static_cast<int32_t>(topic)), 2);
  ViewCounts::FlushAll();
  EXPECT_EQ(board.Scalar("select count(*) from post where hits=2").CLng(), 13);
}

TEST_F(ThreadView, MemberTextStaysText) {
  board.AddCatalogForum("休闲", kForum);
  board.AddMember("eve", "pw", {.email = "x\"><script>alert(1)</script>"});
  board.Exec(
      "update register set emailview=1,icon='x onerror=alert(2)',nickname='<script>alert(3)"
      "</script>',location='<img src=x onerror=alert(4)>',url='\" onmouseover=\"alert(5)',"
      "icq=''');alert(6);//',oicq='\"><script>alert(7)</script>',"
      "signature='<script>alert(8)</script>' where username='eve'");
  const int64_t topic =
      board.AddTopic(kForum, "eve", "<script>alert(9)</script>",
                     "<script>alert(10)</script>[url=javascript:alert(11)]x[/url]");
  board.Exec("update post set usesign=1 where postid=" + std::to_string(topic));
  // Every field is text, an address inside the page or its script, never markup of its own.
  host.Get("/newsdetail.asp?id=" + std::to_string(topic));
  EXPECT_GOLDEN("detail/member_text", host.Run(&Corkboard::Detail));
}

}  // namespace
}  // namespace cb
