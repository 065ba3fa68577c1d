// Replies: the forms, the refusals in their order, what is stored and the reply notice mail.
#include <chrono>
#include <memory>

#include "mail/mail.h"
#include "mail/mail_queue.h"
#include "pages/posting_fixture.h"
#include "support/fake_smtp.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::kForum;

struct RepliesTest : test::PostingTest {
  std::string outbox = test::MailIntoFolder(host, "reply-outbox");
  int64_t topic = 0;
  int64_t first_reply = 0;
  int64_t secret = 0;

  void SetUp() override {
    PostingTest::SetUp();
    board.AddMember("alice", "pw", {.email = "alice@example.com"});
    board.AddMember("carol", "pw");
    topic = board.AddTopic(kForum, "alice", "你好", "第一帖 <b>不是标记</b> & :)");
    first_reply = board.AddReply(topic, "bob", "Re", "[b]回复[/b] :)");
    board.Exec("update post set smiles=0 where postid=" + std::to_string(first_reply));
    board.Exec("update post set emailnotification=1 where postid=" + std::to_string(topic));
    secret = board.AddTopic("密室", "carol", "秘密", "不可外传");
  }
  std::string Form(const std::string& query, bool quote) {
    host.Get("/posting.asp?" + query);
    return host.Run(quote ? &Corkboard::replywquote : &Corkboard::reply);
  }
  FormFields ReplyForm(const FormFields& changes = {}) {
    return WithChanges(test::FieldsOf("action=postreply&forum=" + std::string(kForum) +
                                          "&Topic=" + std::to_string(topic) +
                                          "&TopicSubject=你好&UserName=bob&Password=pw&MsgIcon=2&"
                                          "Message=同意&Signature=on",
                                      "&"),
                       changes);
  }
  // The page, then the newest post, the topic's, the forum's and bob's counters.
  std::string Stored(const std::string& page) {
    std::string out = page + "\n";
    for (const std::string& sql :
         {std::string("select parentid,subject,icon,usesign,smiles from post where postid=(select "
                      "max(postid) from post)"),
          "select replycount,lastreplyusername,lastreplyposttime from post where postid=" +
              std::to_string(topic),
          std::string("select replycount from forum where forumname='灌水乐园'"),
          std::string("select postcount from register where username='bob'")}) {
      out += test::Rows(board, sql);
    }
    return out;
  }
  std::string Post(const FormFields& form) {
    host.clock().Advance(60);
    return host.PostForm("/posting.asp", form).Run(&Corkboard::PostReply);
  }
};

TEST_F(RepliesTest, FormGoldenPages) {
  const std::string t = std::to_string(topic);
  EXPECT_GOLDEN("posting/reply_guest",
                Form("action=reply&topic=-" + t + "&forum=灌水乐园&TopicSubject=你好", false));
  EXPECT_GOLDEN("posting/quote_reply",
                Form("action=replywquote&topic=" + t + "&quotenum=" + std::to_string(first_reply) +
                         "&forum=灌水乐园&TopicSubject=你好",
                     true));
}

// The text area holds the quoted post as text; a visitor admitted to the private forum may quote
// from it.
TEST_F(RepliesTest, QuotedText) {
  const auto quote = [&](const std::string& n) {
    return GoldenCase(
        n, Form("topic=" + std::to_string(topic) + "&quotenum=" + n + "&forum=灌水乐园", true));
  };
  std::string pages;
  for (int64_t n : {topic, first_reply, int64_t{4000}, secret}) pages += quote(std::to_string(n));
  host.session().Set("密室", Variant(true));
  pages += quote(std::to_string(secret));
  EXPECT_GOLDEN("posting/quoted_text", pages);
}

// The cases are the golden file's, "reply <query>" or "quote <query>": 1 is the topic, 2 a reply,
// 3 the private topic (closed) and 4 a closed topic.
TEST_F(RepliesTest, FormRefusals) {
  board.Exec("update post set status='close' where postid=" + std::to_string(secret));
  board.Exec("update post set status='close' where postid=" +
             std::to_string(board.AddTopic(kForum, "bob", "关了", "m")));
  test::ExpectGoldenCases("posting/reply_form_refused", [&](const std::string& c) {
    return Form(c.substr(6), c.starts_with("quote "));
  });
}

TEST_F(RepliesTest, AddressTextStaysText) {
  EXPECT_GOLDEN("posting/reply_address_text",
                Form("topic=" + std::to_string(topic) +
                         "&forum=灌水乐园&TopicSubject=%3Cscript%3Ex%3C/script%3E\"",
                     false));
}

// Each case breaks its own rule and every later one, so only the order picks the message.
TEST_F(RepliesTest, PostReplyRefusalsInOrder) {
  const std::string reply = std::to_string(first_reply);
  ExpectRefusals("posting/post_reply_refused",
                 {
                     {"refused address", {{"Topic", "x"}, {"UserName", ""}}, true, true},
                     {"topic not a number", {{"Topic", "x"}, {"UserName", ""}}, false, true},
                     {"no name", {{"UserName", " "}, {"Message", ""}}, false, true},
                     {"blank body", {{"Message", "  "}, {"UserName", "nobody"}}, false, true},
                     {"flood", {{"UserName", "nobody"}}, false, true},
                     {"unknown member", {{"UserName", "nobody"}, {"Topic", "4000"}}, false, false},
                     {"barred", {{"UserName", "barred"}, {"Topic", "4000"}}, false, false},
                     {"no topic", {{"Topic", "4000"}, {"MsgIcon", "x"}}, false, false},
                     {"a reply's number", {{"Topic", reply}}, false, false},
                     {"icon not a byte", {{"MsgIcon", "300"}}, false, false},
                 },
                 ReplyForm(), &Corkboard::PostReply);
  EXPECT_TRUE(ReadOutbox(outbox).empty());
}

TEST_F(RepliesTest, StoredReplyAndCounters) {
  EXPECT_GOLDEN("posting/reply_stored",
                Stored(Post(ReplyForm({{"TopicSubject", ""}, {"Signature", ""}}))));
}

TEST_F(RepliesTest, FailingInsertLeavesNoRowAndNoCounter) {
  RefuseInsertsWhere("new.message = 'boom'");
  EXPECT_GOLDEN("posting/reply_failed",
                Stored(WithoutErrorText(Post(ReplyForm({{"Message", "boom"}})))));
  EXPECT_TRUE(ReadOutbox(outbox).empty());
}

// The golden file's cases are the author's address (or NULL), whether the topic asks for notices
// and who replies; it holds each mail sent, its text exact.
TEST_F(RepliesTest, ReplyNotice) {
  size_t mails = 0;
  test::ExpectGoldenCases("posting/reply_notice.txt", [&](const std::string& c) {
    const FormFields f = test::FieldsOf(c, " ");
    board.Exec(
        "update register set email=" + (f[0].second == "NULL" ? "NULL" : "'" + f[0].second + "'") +
        " where username='alice'");
    board.Exec("update post set emailnotification=" + f[1].second +
               " where postid=" + std::to_string(topic));
    const std::string page =
        Post(ReplyForm({{"UserName", f[2].second}, {"TopicSubject", "<b>你好</b>"}}));
    EXPECT_TRUE(Has(page, "谢谢您回复话题")) << page;
    const auto sent = ReadOutbox(outbox);
    if (sent.size() == mails) return std::string("no mail");
    mails = sent.size();
    return test::MailText(sent.back());
  });
}

TEST_F(RepliesTest, ReplyNoticeToAStalledServerWaitsInTheQueueNotInThePage) {
  using namespace std::chrono_literals;
  test::FakeSmtp smtp(test::FakeSmtp::Mode::kStall);
  smtp.Serve(host);
  MailQueueOptions quick;
  quick.first_retry = 20ms;
  quick.connect_timeout = quick.total_timeout = 300ms;
  quick.log = [](const std::string&) {};
  auto queue = std::make_shared<MailQueue>(host.services().data_dir + "/mailqueue", quick);
  host.services().mail_queue = queue;
  const auto start = std::chrono::steady_clock::now();
  const std::string page = Post(ReplyForm());
  // Sent from the page, the notice would hold it for the server's timeout (15 s).
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  ASSERT_TRUE(Has(page, "谢谢您回复话题")) << page;
  EXPECT_EQ(queue->waiting(), 1u);
  smtp.SetMode(test::FakeSmtp::Mode::kAccept);
  ASSERT_TRUE(test::Eventually([&] { return !smtp.mails().empty(); }));
  ASSERT_EQ(smtp.mails().size(), 1u);
  EXPECT_EQ(smtp.mails()[0].from, "bb@example.com");
  EXPECT_EQ(smtp.mails()[0].recipients, (std::vector<std::string>{"alice@example.com"}));
  queue->Stop();
  EXPECT_EQ(queue->waiting(), 0u);
}

}  // namespace
}  // namespace cb
