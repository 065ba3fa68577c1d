// Mailing a post (download.asp): the form, one mail to every listed address with the post as
// HTML, the thread's address for a reply, and the refusals that send nothing (the address rules
// are the rules' table): a header hidden in an address, a private forum, the flood guard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archives/archive_fixture.h"
#include "frame/corkboard.h"
#include "mail/mail.h"

namespace cb {
namespace {

using test::ArchiveBoard;
using test::Has;

struct PackBoard : ArchiveBoard {
  std::string outbox = host.services().data_dir + "/outbox";
  PackBoard() {
    host.Configure({{"SmtpServer", "dir:" + outbox},
                    {"BBEMail", "board@example.com"},
                    {"BBURL", "http://bbs.example.com"},
                    {"SubmitInterval", "60"}});
  }
  std::string Send(int64_t post, const std::string& email,
                   const std::string& address = "10.0.0.1") {
    host.PostForm("/download.asp", {{"topic", Id(post)}, {"email", email}}).RemoteAddr(address);
    return host.Run(&Corkboard::Pack);
  }
};

TEST(Pack, MailsThePostToEveryAddressOnce) {
  PackBoard b;
  const std::string form = b.Get(&Corkboard::Pack, "/download.asp?topic=" + b.Id(b.reply));
  EXPECT_TRUE(Has(form, "<input type=hidden name=topic value=" + b.Id(b.reply) + ">")) << form;
  EXPECT_TRUE(Has(form, "<input type=text name=email size=40 maxlength=255>"));

  const std::string page = b.Send(b.topic, " a@example.com, b@example.org ");
  EXPECT_TRUE(Has(page, "你的邮件已经送出")) << page;
  EXPECT_TRUE(Has(page, "URL='newsdetail.asp?id=" + b.Id(b.topic) + "'"));
  const std::vector<OutboxMail> mails = ReadOutbox(b.outbox);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].recipients, (std::vector<std::string>{"a@example.com", "b@example.org"}));
  EXPECT_EQ(mails[0].subject, "你好");
  EXPECT_EQ(mails[0].envelope_from, "board@example.com");
  EXPECT_EQ(
      mails[0].body,
      "<html><body>发信人:bob,讨论区：灌水乐园<br>主题:你好<br>来自:<a "
      "href=\"http://bbs.example.com\">测试论坛</a><br><br>第一帖 &lt;b&gt;不是标记&lt;/b&gt; "
      "&amp; :)<br>---------------------------------<br>欢迎访问<a "
      "href=\"http://bbs.example.com\">测试论坛</a><br><a "
      "href=\"http://bbs.example.com/newsdetail.asp?id=" +
          b.Id(b.topic) + "\">http://bbs.example.com/newsdetail.asp?id=" + b.Id(b.topic) +
          "</a></body></html>");
}

TEST(Pack, AReplyLeadsBackToItsThread) {
  PackBoard b;
  EXPECT_TRUE(Has(b.Send(b.reply, "a@example.com"), "URL='newsdetail.asp?id=" + b.Id(b.topic)));
  ASSERT_EQ(ReadOutbox(b.outbox).size(), 1u);
  EXPECT_TRUE(Has(ReadOutbox(b.outbox)[0].body, "回复 :)"));
}

TEST(Pack, RefusalsSendNothing) {
  struct Case {
    const char* name;
    std::string topic;
    std::string email;
    const char* expected;
  };
  PackBoard seed;  // for the post numbers
  const Case cases[] = {
      {"bad number", "x", "a@example.com", "参数错误"},
      {"header in an address", seed.Id(seed.topic), "a@example.com\r\nBcc: c@example.net",
       "请输入合法电子邮件地址!"},
      {"missing post", "4000", "a@example.com", "贴子不存在"},
      {"private forum", seed.Id(seed.secret), "a@example.com", "加　密　论　坛"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackBoard b;
    b.host.PostForm("/download.asp", {{"topic", c.topic}, {"email", c.email}});
    const std::string page = b.host.Run(&Corkboard::Pack);
    EXPECT_TRUE(Has(page, c.expected)) << page;
    EXPECT_FALSE(Has(page, "不可外传"));
    EXPECT_TRUE(ReadOutbox(b.outbox).empty());
  }
}

TEST(Pack, FloodGuardsHoldBackFurtherMail) {
  const char* kFlood = "秒内再次发送邮件被视为重复提交";
  const char* kSent = "你的邮件已经送出";
  PackBoard b;
  EXPECT_TRUE(Has(b.Send(b.topic, "a@example.com"), kSent));
  EXPECT_TRUE(Has(b.Send(b.topic, "b@example.com"), kFlood));
  // A fresh session from the same address is held back too.
  b.host.session().Set("SubmitTime", Variant());
  EXPECT_TRUE(Has(b.Send(b.topic, "b@example.com"), kFlood));
  // Past the interval, from elsewhere: a recipient just mailed still waits its own interval.
  b.host.clock().Advance(61);
  const std::string busy = b.Send(b.topic, "b@example.com,a@example.com", "10.0.0.2");
  EXPECT_TRUE(Has(busy, "这个邮件地址刚刚收到过本论坛的邮件")) << busy;
  b.host.clock().Advance(121);
  EXPECT_TRUE(Has(b.Send(b.topic, "b@example.com,a@example.com", "10.0.0.3"), kSent));
  EXPECT_EQ(ReadOutbox(b.outbox).size(), 2u);
}

}  // namespace
}  // namespace cb
