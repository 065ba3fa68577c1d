// The two pages that mail for a visitor, read back from the outbox: the lost password (only to the
// stored address, within the limits) and send-to-friend (one recipient, the board's sender, the
// visitor's text as text, no header from any field).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/corkboard.h"
#include "mail/mail.h"
#include "members/member_pages.h"
#include "support/fake_host.h"
#include "support/page_text.h"
#include "support/test_board.h"

namespace cb {
namespace {

using test::FakeHost;
using test::FormFields;
using test::Has;
using test::TestBoard;

struct MemberMail : ::testing::Test {
  FakeHost host;
  TestBoard board{host};
  std::string outbox = host.services().data_dir + "/outbox";
  int visitor = 0;

  void SetUp() override {
    host.Configure({{"SmtpServer", "dir:" + outbox},
                    {"BBName", "测试论坛"},
                    {"BBEMail", "bb@example.com"},
                    {"BBURL", "http://board.example/"}});
    board.AddMember("alice", "pw1", {.email = "Alice@Example.com"});
  }
  // Each request from a visitor of its own (the flood guard holds one visitor back).
  FakeHost& Visitor() {
    host.session().Set("SubmitTime", Variant());
    return host.RemoteAddr("10.0.0." + std::to_string(++visitor));
  }
  std::string LostPassword(const std::string& address) {
    host.PostForm("/cbkmisc.asp", {{"action", "lostpw"}, {"sendto", address}});
    Visitor();
    return host.Run(&Corkboard::lostpw);
  }
  static FormFields FriendForm(FormFields changes = {}) {
    return test::WithChanges({{"action", "sendthread"},
                              {"FromName", "小明"},
                              {"FromEmail", "xm@example.com"},
                              {"SendToName", "小红"},
                              {"SendToEmail", "xh@example.com"},
                              {"EmailSubject", "好帖"},
                              {"EmailMessage",
                               "这是测试论坛里的一个帖子，我想，你可能会对此页有兴趣：<a "
                               "href=http://board.example/newsdetail.asp?id=3>http://board.example/"
                               "newsdetail.asp?id=3</a>"},
                              {"ForwardURL", "http://board.example/newsdetail.asp?id=3"}},
                             changes);
  }
  std::string SendToFriend(const FormFields& form) {
    host.PostForm("/cbkmisc.asp", form);
    Visitor();
    return host.Run(&Corkboard::SendThread);
  }
  std::vector<OutboxMail> Mails() { return ReadOutbox(outbox); }
};

TEST_F(MemberMail, LostPasswordFormAndMail) {
  host.Get("/cbkmisc.asp?action=lostpw");
  const std::string form = host.Run(&Corkboard::lostpw);
  EXPECT_TRUE(Has(form, "<title>通过提供电子邮件获得密码</title>"));
  EXPECT_TRUE(Has(form, "<FORM ACTION=cbkmisc.asp METHOD=POST><p><br>"));
  EXPECT_TRUE(Has(form, "<input type=text name=sendto size=35 maxlength=90>"));

  const std::string page = LostPassword(" alice@example.COM ");
  EXPECT_TRUE(Has(page, "你在此公告牌中的用户名和密码刚发送给你！")) << page;
  EXPECT_TRUE(Has(page, "<meta http-equiv=Refresh content=\"2; URL=default.asp\">"));
  const std::vector<OutboxMail> mails = Mails();
  ASSERT_EQ(mails.size(), 1u);
  // To the address as stored, from the board.
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"Alice@Example.com"});
  EXPECT_EQ(mails[0].envelope_from, "bb@example.com");
  EXPECT_EQ(mails[0].subject, "您的用户名和口令");
  EXPECT_EQ(mails[0].body,
            "<html><body>这里是你要求的在测试论坛中的注册信息。<br>\r\n你的用户名：alice<br>"
            "你的密码：pw1<br>这个公告牌系统的位置在<a href=http://board.example/>"
            "http://board.example/</a><br>谢谢你！</body></html>");
}

TEST_F(MemberMail, LostPasswordMailsOnlyStoredAddressesWithinLimits) {
  const char* kUnknown = "我们注册的用户中没有你列出的电子邮件地址。";
  for (const char* address : {"", "bob@example.com", "x' or '1'='1", "alice@example.com,x@y.z"}) {
    SCOPED_TRACE(address);
    EXPECT_TRUE(Has(LostPassword(address), kUnknown));
  }
  EXPECT_TRUE(Mails().empty());

  LostPassword("alice@example.com");
  // The same address again within two minutes, from another visitor.
  EXPECT_TRUE(Has(LostPassword("alice@example.com"), kRecipientBusy));
  host.clock().Advance(kRecipientIntervalSeconds + 1);
  EXPECT_FALSE(Has(LostPassword("alice@example.com"), kRecipientBusy));
  EXPECT_EQ(Mails().size(), 2u);

  // One visitor asking twice at once meets the flood guard before any lookup.
  host.clock().Advance(kRecipientIntervalSeconds + 1);
  host.PostForm("/cbkmisc.asp", {{"sendto", "bob@example.com"}}).RemoteAddr("10.9.9.9");
  host.Run(&Corkboard::lostpw);
  host.PostForm("/cbkmisc.asp", {{"sendto", "alice@example.com"}}).RemoteAddr("10.9.9.9");
  EXPECT_TRUE(Has(host.Run(&Corkboard::lostpw), "秒内再次发送邮件被视为重复提交"));
  EXPECT_EQ(Mails().size(), 2u);
}

TEST_F(MemberMail, LostPasswordReportsTheMailError) {
  board.Exec("update register set email='no-at-sign.example' where username='alice'");
  const std::string page = LostPassword("no-at-sign.example");
  EXPECT_TRUE(Has(page, "发送邮件错误：收件人地址无效")) << page;
}

TEST_F(MemberMail, SendToFriendForm) {
  host.Get("/cbkmisc.asp?action=sendthread&Subject=好<帖>")
      .ServerVariable("http_referer", "http://board.example/newsdetail.asp?id=3&x=\"></textarea>");
  const std::string form = host.Run(&Corkboard::SendThread);
  EXPECT_TRUE(Has(form, "<title>把本页发送给你的朋友 - 测试论坛</title>"));
  EXPECT_TRUE(Has(form, "name=EmailSubject size=40 maxlength=100 value=\"好&lt;帖&gt;\""));
  EXPECT_TRUE(Has(form,
                  "<textarea name=EmailMessage rows=8 cols=50>这是测试论坛里的一个帖子，我想"
                  "，你可能会对此页有兴趣：&lt;a href=http://board.example/newsdetail.asp?"
                  "id=3&amp;x=&quot;&gt;&lt;/textarea&gt;&gt;"));
  EXPECT_FALSE(Has(form, "\"></textarea>\""));
  EXPECT_TRUE(Has(form, "<input type=hidden name=action value=sendthread>"));
}

TEST_F(MemberMail, SendToFriendMailsOneRecipientFromTheBoard) {
  const std::string page = SendToFriend(FriendForm());
  EXPECT_TRUE(Has(page, "我们已经给 小红 发送了电子邮件")) << page;
  EXPECT_TRUE(Has(page, "URL='newsdetail.asp?id=3'"));
  const std::vector<OutboxMail> mails = Mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].envelope_from, "bb@example.com");
  EXPECT_EQ(mails[0].from, "小明 <bb@example.com>");
  EXPECT_TRUE(Has(mails[0].raw, "\r\nReply-To: xm@example.com\r\n"));
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"xh@example.com"});
  EXPECT_EQ(mails[0].to, "小红 <xh@example.com>");
  EXPECT_EQ(mails[0].subject, "好帖");
  EXPECT_EQ(mails[0].body,
            "<html><body>这是测试论坛里的一个帖子，我想，你可能会对此页有兴趣：<a "
            "href=http://board.example/newsdetail.asp?id=3>http://board.example/"
            "newsdetail.asp?id=3</a></body></html>");
}

TEST_F(MemberMail, SendToFriendRefusals) {
  struct Case {
    FormFields changes;
    const char* message;
  };
  const Case cases[] = {
      {{{"SendToName", ""}}, "请输入所有内容。按浏览器的后退按钮可进行修改！"},
      {{{"EmailMessage", ""}}, "请输入所有内容。"},
      {{{"SendToEmail", "a@x.cn, b@y.cn"}}, "发送邮件错误：收件人地址无效"},
      {{{"SendToEmail", "a@x.cn\r\nBcc: b@y.cn"}}, "发送邮件错误：收件人地址无效"},
      {{{"FromName", "x\nBcc: b@y.cn"}}, "发送邮件错误：发件人名称不能含有换行或控制字符"},
      {{{"FromEmail", "xm@example.com\r\nBcc: b@y.cn"}}, "发送邮件错误：回复地址无效"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string page = SendToFriend(FriendForm(c.changes));
    EXPECT_TRUE(Has(page, c.message)) << page;
    EXPECT_TRUE(test::EndsPage(page));
  }
  EXPECT_TRUE(Mails().empty());

  // Markup of the visitor reaches the friend as text; a foreign page is not returned to.
  SendToFriend(FriendForm({{"EmailMessage", "<img src=http://evil.example/x>"},
                           {"ForwardURL", "http://evil.example/"}}));
  ASSERT_EQ(Mails().size(), 1u);
  EXPECT_EQ(Mails()[0].body, "<html><body>&lt;img src=http://evil.example/x&gt;</body></html>");
  EXPECT_TRUE(Has(host.body(), "URL='default.asp'"));

  // The same friend again at once, and one visitor twice at once.
  EXPECT_TRUE(Has(SendToFriend(FriendForm()), kRecipientBusy));
  host.PostForm("/cbkmisc.asp", FriendForm({{"SendToEmail", "z@example.com"}}));
  EXPECT_TRUE(Has(host.Run(&Corkboard::SendThread), "秒内再次发送邮件被视为重复提交"));
  EXPECT_EQ(Mails().size(), 1u);
}

}  // namespace
}  // namespace cb
