// The mailbox pages through pm.asp's dispatcher: golden inbox, outbox and message view, sending
// and its refusals, reading marks, paging, deleting, and that no member reaches another's mail.
#include "messages/pm_pages.h"

#include "pages/moderation_fixture.h"
#include "pm_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Mailbox;

// bob writes alice two messages (the second with markup that must stay text), alice writes carol.
struct Correspondence : Mailbox {
  Correspondence() {
    SignIn("bob", "bobpw");
    first = Send("Alice", "  你好 ", "[b]周末[/b]见 :)", "3");
    second = Send("alice", "<script>x</script>", "<img src=x onerror=alert(1)>");
    SignIn("alice", "alicepw");
    to_carol = Send("carol", "给卡罗尔", "嗨");
  }
  int64_t first = 0, second = 0, to_carol = 0;
};

using PmPages = test::Fixture<Mailbox>;
using PmCorrespondence = test::Fixture<Correspondence>;

TEST_F(PmCorrespondence, Golden) {
  EXPECT_GOLDEN("messages/inbox", Get("/pm.asp"));
  EXPECT_GOLDEN("messages/outbox", Get("/pm.asp?action=outbox"));
  EXPECT_GOLDEN("messages/view_inbox",
                Get("/pm.asp?action=viewpm&postid=" + std::to_string(first)));
  EXPECT_GOLDEN("messages/inbox_after_reading", Get("/pm.asp?action=inbox"));
  SignIn("carol", "carolpw");
  board.Exec(
      "insert into ignorelist (username,ignoreusername,dateandtime) values "
      "('carol','bob','2024-05-01 09:30:00')");
  host.Configure({{"BBSTYLE", "CLUB"}});
  EXPECT_GOLDEN("messages/ignore_list_club", Get("/pm.asp?action=IgnoreList"));
  host.Configure({{"BBSTYLE", "CBK"}});
  host.session().Set("UserName", Variant(""));
  host.Get("/pm.asp?action=viewpm&postid=1").Cookie("username", "al\"ice");
  EXPECT_GOLDEN("messages/sign_in_form", RunPm());
}

// The reply form quotes the original; markup in a message or its subject stays text.
TEST_F(PmCorrespondence, ReplyAndViewKeepMarkupAsText) {
  const std::string first_id = std::to_string(first), second_id = std::to_string(second);
  EXPECT_GOLDEN("messages/reply_form",
                Get("/pm.asp?action=replypm&recipient=bob&postid=" + first_id));
  EXPECT_GOLDEN("messages/reply_hostile", Get("/pm.asp?action=replypm&postid=" + second_id));
  EXPECT_GOLDEN("messages/view_hostile", Get("/pm.asp?action=viewpm&postid=" + second_id));
}

TEST_F(PmCorrespondence, SendingStoresAnInboxAndAnOutboxCopy) {
  ASSERT_GT(first, 0);
  const std::string id = std::to_string(first);
  // Typed "Alice" and "  你好 ".
  EXPECT_EQ(test::Rows(board,
                       "select recipient,sender,subject,message,icon,usesign,isnew from pm "
                       "where postid=" +
                           id),
            "alice|bob|你好|[b]周末[/b]见 :)|3|True|True|\n");
  EXPECT_EQ(Count("select count(*) from outbox o inner join pm p on o.postid=p.postid and "
                  "o.sender=p.sender and o.recipient=p.recipient and o.subject=p.subject and "
                  "o.message=p.message and o.icon=p.icon and o.posttime=p.posttime"),
            3);
  EXPECT_EQ(Count("select count(*) from outbox"), 3);
}

// Each case is refused with its own page and stores nothing, in the order the page checks.
TEST(PmSend, RefusalsInTheirOrder) {
  const struct {
    const char *what, *recipient, *subject, *address = "127.0.0.1";
  } cases[] = {
      {"listed address", "bob", "s", "10.9.9.9"},
      {"spaces only", "bob", "   "},
      {"no recipient", "", "s"},
      {"unknown member", "<b>nobody</b>", "s"},
      {"ignored by carol", "Carol", "s"},
  };
  std::string pages;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Mailbox m;
    m.host.Configure({{"RejectiveIP", "10.9.9.9"}});
    m.board.Exec("insert into ignorelist (username,ignoreusername) values ('carol','alice')");
    m.host
        .PostForm("/pm.asp", test::FieldsOf(std::string("action=postpm&recipient=") + c.recipient +
                                                "&Subject=" + c.subject + "&Message=m&MsgIcon=1",
                                            "&"))
        .RemoteAddr(c.address);
    pages += GoldenCase(c.what, m.RunPm());
    EXPECT_EQ(m.Count("select count(*) from pm") + m.Count("select count(*) from outbox"), 0);
  }
  EXPECT_GOLDEN("messages/post_refusals", pages);
}

TEST_F(PmPages, FloodGuardAndAccountChecks) {
  host.Configure({{"SubmitInterval", "20"}});
  ASSERT_GT(Send("bob", "一", "1"), 0);
  const auto again = [&] {
    return Post(test::FieldsOf("action=postpm&recipient=bob&Subject=二&Message=2&MsgIcon=1", "&"));
  };
  host.clock().Advance(10);
  std::string pages = GoldenCase("10 s after the first", again());
  host.clock().Advance(10);
  pages += GoldenCase("20 s after the first: the refusal did not restart the wait", again());
  host.clock().Advance(1);
  pages += GoldenCase("21 s after the first", again());
  // A session whose password changed, or whose member was barred since, sends nothing.
  host.clock().Advance(60);
  board.Exec("update register set canpost=0 where username='alice'");
  pages += GoldenCase("barred since", again());
  board.Exec("update register set canpost=1,password='new' where username='alice'");
  pages += GoldenCase("password changed since", again());
  EXPECT_GOLDEN("messages/flood_and_account", pages);
  EXPECT_EQ(Count("select count(*) from pm"), 2);
}

TEST_F(PmCorrespondence, ReadingFromTheInboxMarksReadAndTheOutboxDoesNot) {
  const std::string id = std::to_string(to_carol);
  std::string pages = GoldenCase("alice's outbox", Get("/pm.asp?action=viewoutbox&postid=" + id));
  EXPECT_EQ(Count("select isnew from pm where postid=" + id), -1);
  SignIn("carol", "carolpw");
  pages += GoldenCase("carol's inbox", Get("/pm.asp?action=viewpm&postid=" + id));
  EXPECT_EQ(Count("select isnew from pm where postid=" + id), 0);
  EXPECT_GOLDEN("messages/read_marks", pages);
}

// alice tries every action on messages that are not hers: nothing shows, nothing changes.
TEST_F(PmCorrespondence, NobodyReachesAnotherMembersMessages) {
  SignIn("carol", "carolpw");
  const int64_t bobs = Send("bob", "私信", "只给鲍勃");
  SignIn("alice", "alicepw");
  const std::string in_bob = std::to_string(bobs);    // in bob's inbox, carol's outbox
  const std::string out_bob = std::to_string(first);  // in bob's outbox, alice's inbox
  std::string pages;
  for (const std::string& url :
       {"/pm.asp?action=viewpm&postid=" + in_bob, "/pm.asp?action=viewoutbox&postid=" + in_bob,
        "/pm.asp?action=viewoutbox&postid=" + out_bob, "/pm.asp?action=replypm&postid=" + in_bob,
        std::string("/pm.asp?action=viewpm&postid=abc")}) {
    pages += GoldenCase(url, Get(url));
  }
  EXPECT_EQ(Count("select isnew from pm where postid=" + in_bob), -1);
  pages += GoldenCase("delete from the inbox", Post({{"action", "deletepm"}, {"delete", in_bob}}));
  pages += GoldenCase("delete from the outbox",
                      Post({{"action", "deleteoutbox"}, {"delete", in_bob}, {"delete", out_bob}}));
  EXPECT_EQ(Count("select count(*) from pm"), 4);
  EXPECT_EQ(Count("select count(*) from outbox"), 4);

  // A session whose password no longer matches sees an empty box and cannot open its own mail.
  SignIn("alice", "oldpw");
  pages += GoldenCase("stale: inbox", Get("/pm.asp?action=inbox"));
  pages += GoldenCase("stale: own message", Get("/pm.asp?action=viewpm&postid=" + out_bob));
  pages += GoldenCase("stale: delete", Post({{"action", "deletepm"}, {"delete", out_bob}}));
  EXPECT_GOLDEN("messages/no_right", pages);
  EXPECT_EQ(Count("select count(*) from pm"), 4);
}

TEST_F(PmCorrespondence, DeletingOneCopyKeepsTheOther) {
  const std::string first_id = std::to_string(first), second_id = std::to_string(second);
  // A page, then the messages left in the inboxes and the outboxes.
  const auto and_left = [&](const std::string& page) {
    return page + "\n" + test::Rows(board, "select 'in',recipient,postid from pm order by postid") +
           test::Rows(board, "select 'out',sender,postid from outbox order by postid");
  };
  std::string pages = GoldenCase(
      "inbox", and_left(Post({{"action", "deletePM"}, {"delete", first_id}, {"delete", "x"}})));
  SignIn("bob", "bobpw");
  pages +=
      GoldenCase("outbox", and_left(Post({{"action", "deleteOutbox"}, {"delete", second_id}})));
  pages +=
      GoldenCase("nothing chosen", and_left(Post({{"action", "deletepm"}, {"delete", "abc"}})));
  EXPECT_GOLDEN("messages/deletes", pages);
}

TEST_F(PmPages, PagingAndThePagersFarLinks) {
  host.Configure({{"PageSize", "2"}, {"SubmitInterval", "0"}});
  for (int i = 1; i <= 5; ++i) Send("bob", "第" + std::to_string(i) + "封", "x");
  // Newest first; the last case is the pager's last-page link, whose list is the one it names
  // after GotoPage.
  test::ExpectGoldenCases("messages/outbox_pages",
                          [&](const std::string& query) { return Get("/pm.asp?" + query); });
}

TEST_F(PmPages, IgnoreList) {
  std::string pages;
  for (const char* name : {"bob", "BOB", " Carol ", "Alice", "nobody"}) {
    pages += GoldenCase(name, Get(std::string("/pm.asp?action=Addtoignorelist&Ignore=") + name));
  }
  SignIn("carol", "carolpw");
  pages += GoldenCase("carol adds bob", Get("/pm.asp?action=addtoignorelist&ignore=bob"));

  SignIn("alice", "alicepw");
  pages += GoldenCase("list", Get("/pm.asp?action=ignorelist"));
  pages += GoldenCase("remove",
                      Post({{"action", "deleteignoreList"}, {"delete", "bob"}, {"delete", "x"}}));
  pages += GoldenCase("remove nobody", Post({{"action", "deleteignorelist"}}));
  EXPECT_GOLDEN("messages/ignore_adds",
                pages + test::Rows(board,
                                   "select username,ignoreusername from ignorelist order "
                                   "by username,ignoreusername"));
}

TEST_F(PmPages, SignIn) {
  host.session().Set("UserName", Variant(""));
  board.AddMember("dave", "davepw", {.canpost = false});
  const auto sign_in = [&](const char* name, const char* password) {
    host.PostForm("/pm.asp", {{"action", "idcheck"},
                              {"userName", name},
                              {"Password", password},
                              {"QueryString", "action=viewpm&postid=7&x='\"<"},
                              {"action", "viewPM"}});
    return RunPm();
  };
  std::string pages = GoldenCase("wrong password", sign_in("alice", "wrong"));
  pages += GoldenCase("barred", sign_in("dave", "davepw"));
  EXPECT_EQ(host.session().Get("UserName").Str(), "");
  pages += GoldenCase("signed in", sign_in("alice", "alicepw"));
  EXPECT_EQ(host.session().Get("UserName").Str(), "alice");
  EXPECT_TRUE(host.session().TakeRenewal());

  // The guard: from the tenth failure the right password is refused as well, for a while.
  host.session().Set("UserName", Variant(""));
  for (int i = 0; i < 10; ++i) sign_in("alice", "wrong");
  pages += GoldenCase("right password after ten failures", sign_in("alice", "alicepw"));
  EXPECT_EQ(host.session().Get("UserName").Str(), "");
  EXPECT_GOLDEN("messages/sign_in", pages);
}

}  // namespace
}  // namespace cb
