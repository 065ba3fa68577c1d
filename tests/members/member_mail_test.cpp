// The lost password and send-to-friend pages, their mail read back from the outbox.
#include "mail/mail.h"
#include "members/member_pages.h"
#include "support/page_test.h"

namespace cb {
namespace {

struct MemberMail : test::BoardTest {
  std::string outbox = test::MailIntoFolder(host);
  int visitor = 0;

  void SetUp() override { board.AddMember("alice", "pw1", {.email = "Alice@Example.com"}); }
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
    return WithChanges(
        test::FieldsOf(
            "action=sendthread&FromName=小明&FromEmail=xm@example.com&SendToName=小红&"
            "SendToEmail=xh@example.com&EmailSubject=好帖&EmailMessage=这是测试论坛里的"
            "一个帖子，我想，你可能会对此页有兴趣：<a href=http://board.example/newsdetail"
            ".asp?id=3>http://board.example/newsdetail.asp?id=3</a>&"
            "ForwardURL=http://board.example/newsdetail.asp?id=3",
            "&"),
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
  EXPECT_GOLDEN("member/lost_password_form", host.Run(&Corkboard::lostpw));
  EXPECT_GOLDEN("member/lost_password_sent", LostPassword(" alice@example.COM "));
  const std::vector<OutboxMail> mails = Mails();
  ASSERT_EQ(mails.size(), 1u);
  // To the address as stored, from the board.
  EXPECT_GOLDEN("member/lost_password_mail.txt", test::MailText(mails[0]));
}

TEST_F(MemberMail, LostPasswordMailsOnlyStoredAddressesWithinLimits) {
  std::string pages;
  for (const char* address : {"", "bob@example.com", "x' or '1'='1", "alice@example.com,x@y.z"}) {
    pages += GoldenCase(address, LostPassword(address));
  }
  EXPECT_TRUE(Mails().empty());

  LostPassword("alice@example.com");
  // The same address again within two minutes, from another visitor.
  pages += GoldenCase("again at once", LostPassword("alice@example.com"));
  host.clock().Advance(kRecipientIntervalSeconds + 1);
  pages += GoldenCase("again later", LostPassword("alice@example.com"));
  EXPECT_EQ(Mails().size(), 2u);

  // One visitor asking twice at once meets the flood guard before any lookup.
  host.clock().Advance(kRecipientIntervalSeconds + 1);
  host.PostForm("/cbkmisc.asp", {{"sendto", "bob@example.com"}}).RemoteAddr("10.9.9.9");
  host.Run(&Corkboard::lostpw);
  host.PostForm("/cbkmisc.asp", {{"sendto", "alice@example.com"}}).RemoteAddr("10.9.9.9");
  pages += GoldenCase("one visitor twice", host.Run(&Corkboard::lostpw));
  EXPECT_GOLDEN("member/lost_password_limits", pages);
  EXPECT_EQ(Mails().size(), 2u);
}

TEST_F(MemberMail, LostPasswordReportsTheMailError) {
  board.Exec("update register set email='no-at-sign.example' where username='alice'");
  EXPECT_GOLDEN("member/lost_password_mail_error", LostPassword("no-at-sign.example"));
}

TEST_F(MemberMail, SendToFriendForm) {
  host.Get("/cbkmisc.asp?action=sendthread&Subject=好<帖>")
      .ServerVariable("http_referer", "http://board.example/newsdetail.asp?id=3&x=\"></textarea>");
  EXPECT_GOLDEN("member/send_to_friend_form", host.Run(&Corkboard::SendThread));
}

TEST_F(MemberMail, SendToFriendMailsOneRecipientFromTheBoard) {
  EXPECT_GOLDEN("member/send_to_friend_sent", SendToFriend(FriendForm()));
  const std::vector<OutboxMail> mails = Mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_TRUE(Has(mails[0].raw, "\r\nReply-To: xm@example.com\r\n"));
  EXPECT_GOLDEN("member/send_to_friend_mail.txt", test::MailText(mails[0]));
}

TEST_F(MemberMail, SendToFriendRefusals) {
  const std::pair<const char*, const char*> cases[] = {
      {"SendToName", ""},
      {"EmailMessage", ""},
      {"SendToEmail", "a@x.cn, b@y.cn"},
      {"SendToEmail", "a@x.cn\r\nBcc: b@y.cn"},
      {"FromName", "x\nBcc: b@y.cn"},
      {"FromEmail", "xm@example.com\r\nBcc: b@y.cn"},
  };
  std::string pages;
  for (const auto& [field, value] : cases) {
    pages += GoldenCase(field, SendToFriend(FriendForm({{field, value}})));
  }
  EXPECT_GOLDEN("member/send_to_friend_refusals", pages);
  EXPECT_TRUE(Mails().empty());

  // Markup of the visitor reaches the friend as text; a foreign page is not returned to.
  SendToFriend(FriendForm({{"EmailMessage", "<img src=http://evil.example/x>"},
                           {"ForwardURL", "http://evil.example/"}}));
  ASSERT_EQ(Mails().size(), 1u);
  EXPECT_EQ(Mails()[0].body, "<html><body>&lt;img src=http://evil.example/x&gt;</body></html>");
  pages = GoldenCase("foreign page", host.body());
  // The same friend again at once, and one visitor twice at once.
  pages += GoldenCase("same friend", SendToFriend(FriendForm()));
  host.PostForm("/cbkmisc.asp", FriendForm({{"SendToEmail", "z@example.com"}}));
  pages += GoldenCase("one visitor twice", host.Run(&Corkboard::SendThread));
  EXPECT_GOLDEN("member/send_to_friend_after", pages);
  EXPECT_EQ(Mails().size(), 1u);
}

}  // namespace
}  // namespace cb
