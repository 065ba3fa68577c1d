// The mail component against an in-process SMTP server, and once against a real one (aiosmtpd)
// whose own parser reads every text back.
#include "mail/mail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "support/case_table.h"
#include "support/fake_smtp.h"
#include "support/golden.h"
#include "support/page_text.h"
#include "support/test_env.h"

namespace cb {
namespace {

namespace fs = std::filesystem;
using test::FakeSmtp;

// The mail of a registration: SendMail's arguments.
struct Letter {
  std::string from_name = "论坛管家", from_address = "board@corkboard.test";
  std::string to_name = "张三", to_address = "zhang@example.com";
  std::string subject = "您的用户名和口令", body = "用户名：张三<br>口令：Ab3xYz";
};

class MailTest : public ::testing::Test {
 protected:
  // SendMail to server; returns the error text, "" when sent.
  std::string Send(const std::string& server, const Letter& l = {}) {
    Settings s;
    s.SmtpServer = server;
    s.DataDir = root_ + "/data";
    std::string error;
    const bool sent = SendMail(s, clock_, l.from_name, l.from_address, l.to_name, l.to_address,
                               l.subject, l.body, error);
    EXPECT_EQ(sent, error.empty()) << error;
    return error;
  }

  // The board's mail component with a fixed random source, as SendMail fills it.
  MailComponent Board(const std::string& server) {
    MailComponent m(clock_, random_);
    m.Server(server);
    m.FromName("论坛管家");
    m.FromAddress("board@corkboard.test");
    m.ContentType("text/html");
    m.Charset("gb2312");
    return m;
  }

  // The Date header is written in local time: UTC makes it fixed.
  test::ScopedTimeZone zone_{"UTC0"};
  test::ScratchDir dir_{"cb-mail"};
  const std::string root_ = dir_.str();
  FixedClock clock_{DateTime::FromParts(2001, 5, 9, 8, 3, 7)};
  // Every draw is 0x1234: the Message-ID is known.
  struct FixedDraws : Random {
    void Fill(unsigned char* out, size_t n) override {
      for (size_t i = 0; i < n; ++i) out[i] = i == 0 ? 0x34 : i == 1 ? 0x12 : 0;
    }
  } random_;
};

// The Message-ID's random part, which SendMail draws afresh, as the fixed source gives it.
std::string WithFixedId(std::string message) {
  const size_t at = message.find("Message-ID: <") + 13;
  return message.replace(at, 16, "0000000000001234");
}

TEST_F(MailTest, SendMailSendsTheRegistrationMailAsWritten) {
  FakeSmtp smtp;
  for (const std::string& server : {smtp.address(), "smtp://" + smtp.address()}) {
    EXPECT_EQ(Send(server), "") << server;
  }
  const auto mails = smtp.mails();
  ASSERT_EQ(mails.size(), 2u);
  for (const FakeSmtp::Mail& m : mails) {
    EXPECT_EQ(m.from, "board@corkboard.test");
    EXPECT_EQ(m.recipients, std::vector<std::string>{"zhang@example.com"});
    EXPECT_GOLDEN("mail/registration.eml", WithFixedId(m.message));
  }
}

TEST_F(MailTest, SeveralRecipientsShareOneMessageWithoutSeeingEachOther) {
  FakeSmtp smtp;
  MailComponent m = Board(smtp.address());
  // As a page splits a typed list at commas, blanks and all.
  for (const char* a : {"a@one.example", " b@two.example", "c@three.example "}) {
    m.AddRecipient("Corkboard注册用户", a);
  }
  m.Subject("通知");
  m.Body("<html><body>大家好</body></html>");
  ASSERT_TRUE(m.Send()) << m.ErrorText();
  const auto mails = smtp.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].recipients,
            (std::vector<std::string>{"a@one.example", "b@two.example", "c@three.example"}));
  // To none of them by name; the clock and the random source make the Message-ID.
  EXPECT_GOLDEN("mail/undisclosed.eml", mails[0].message);
}

TEST_F(MailTest, ServerFailuresComeBackAsTheirTexts) {
  FakeSmtp smtp, dropping(FakeSmtp::Mode::kDrop), silent(FakeSmtp::Mode::kStall);
  const std::string refused =
      "邮件服务器拒绝了邮件（550 5.1.1 nobody@refused.example : mailbox unavailable）";
  struct Case {
    std::string what, server;
    std::vector<std::string> recipients;
    std::string error;  // the whole text, or its start where libcurl words the rest
    bool whole;
  };
  const Case cases[] = {
      {"refused recipient", smtp.address(), {"nobody@refused.example"}, refused, true},
      {"one of two refused",
       smtp.address(),
       {"ok@example.com", "nobody@refused.example"},
       refused,
       true},
      {"connection dropped", dropping.address(), {"a@example.com"}, "邮件发送失败（", false},
      {"silent server", silent.address(), {"a@example.com"}, "邮件服务器没有及时响应（", false},
      {"unresolvable host",
       "no-such-host.invalid:25",
       {"a@example.com"},
       "无法连接邮件服务器（",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MailComponent m = Board(c.server);
    for (const std::string& a : c.recipients) m.AddRecipient("", a);
    m.Timeouts(std::chrono::milliseconds(500), std::chrono::milliseconds(700));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(m.Send());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(c.whole ? m.ErrorText() : m.ErrorText().substr(0, c.error.size()), c.error)
        << m.ErrorText();
  }
  // A port nobody listens on: the fake's own, once it is gone.
  std::string closed;
  {
    FakeSmtp gone;
    closed = gone.address();
  }
  EXPECT_EQ(Send(closed).rfind("无法连接邮件服务器（", 0), 0u);
  EXPECT_TRUE(smtp.mails().empty());
  EXPECT_TRUE(dropping.mails().empty());
}

// A line break in any value would let a visitor add headers or recipients; the component and
// SendMail refuse such values and bad addresses before anything is sent.
TEST_F(MailTest, LineBreaksAndBadAddressesAreRefusedBeforeSending) {
  FakeSmtp smtp;
  const std::map<std::string, std::string Letter::*> fields = {
      {"subject", &Letter::subject},
      {"from_name", &Letter::from_name},
      {"to_name", &Letter::to_name},
      {"from_address", &Letter::from_address},
      {"to_address", &Letter::to_address}};
  for (auto table = test::ReadCaseTable("mail.txt"); const test::TextCase& c : table["refused"]) {
    Letter l;
    l.*fields.at(c.in.at(0)) = c.in.at(1);
    SCOPED_TRACE(c.where);
    EXPECT_EQ(Send(smtp.address(), l), c.out.at(0));
    MailComponent m = Board(smtp.address());
    m.FromName(l.from_name);
    m.FromAddress(l.from_address);
    m.AddRecipient(l.to_name, l.to_address);
    m.Subject(l.subject);
    EXPECT_FALSE(m.Send());
    EXPECT_EQ(m.ErrorText(), c.out.at(0));
  }
  EXPECT_TRUE(smtp.mails().empty());
}

TEST_F(MailTest, OutboxKeepsEachMailAsSentInAPrivateFolder) {
  FakeSmtp smtp;
  ASSERT_EQ(Send(smtp.address()), "");
  const std::string sent = smtp.mails().at(0).message;
  // The server setting, and the folder where the mail must land.
  const std::pair<std::string, std::string> cases[] = {
      {defaults::kSmtpServer, root_ + "/data/outbox"},
      {"dir:mail/out/", root_ + "/data/mail/out"},
      {"dir:" + root_ + "/elsewhere", root_ + "/elsewhere"},
  };
  for (const auto& [server, folder] : cases) {
    SCOPED_TRACE(server);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(Send(server), "");
    const auto mails = ReadOutbox(folder);
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_NE(mails[0].file, mails[1].file);
    for (const OutboxMail& m : mails) {
      EXPECT_EQ(WithFixedId(m.raw),
                "X-Sender: board@corkboard.test\r\nX-Receiver: zhang@example.com\r\n" +
                    WithFixedId(sent));
      EXPECT_EQ(fs::status(m.file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    // Only finished mails are left: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
  }
  // The outbox reads its mails back decoded.
  EXPECT_GOLDEN("mail/registration_read.txt",
                test::MailText(ReadOutbox(root_ + "/elsewhere").at(0)));
}

TEST_F(MailTest, MissingServerOrUnwritableOutboxFails) {
  const std::string file = root_ + "/not-a-folder";
  std::ofstream(file) << "x";
  const std::pair<std::string, std::string> cases[] = {
      {"", "没有设置邮件服务器"},
      {"  ", "没有设置邮件服务器"},
      {"smtp://a b", "邮件服务器设置无效"},
      {"dir:" + file, "无法创建邮件文件夹（Not a directory）"},
      {"dir:" + file + "/sub", "无法创建邮件文件夹（Not a directory）"},
  };
  for (const auto& [server, error] : cases) EXPECT_EQ(Send(server), error) << server;
}

// The one conversation with a real SMTP server: aiosmtpd, whose mail parser reads every text
// back, so that the encodings are checked by another implementation than the component's.
class PythonSink {
 public:
  explicit PythonSink(int count) {
    const std::string command = "/usr/bin/python3 " + std::string(CORKBOARD_SOURCE_DIR) +
                                "/tests/mail/smtp_sink.py " + std::to_string(count);
    out_ = popen(command.c_str(), "r");
    const std::string line = out_ ? Line() : "";
    port_ = line.empty() ? "0" : line;
  }
  ~PythonSink() {
    if (out_) pclose(out_);
  }
  std::string address() const { return "127.0.0.1:" + port_; }

  // The description of the next message received, up to its blank line.
  std::string Next() {
    std::string out;
    for (std::string line; !(line = Line()).empty();) out += line + "\n";
    return out;
  }

 private:
  std::string Line() {
    std::string line;
    char buf[4096];
    while (fgets(buf, sizeof buf, out_) != nullptr) {
      line += buf;
      if (line.back() == '\n') break;
    }
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

  FILE* out_ = nullptr;
  std::string port_;
};

// The golden file holds the registration mail as the other parser reads it, its random
// Message-ID aside, then each text's mail, which carries the text as sender, recipient, subject
// and body.
TEST_F(MailTest, ARealServerReadsEveryTextBackAsWritten) {
  const std::string texts[] = {
      "Plain subject, \"quoted\" name", "中文主题",
      "華夏論壇",  // only GBK has these
      "笑脸😀",     // outside GBK: a reference in the HTML body
      // Encoded words split between characters and folded: at least two for each header.
      "这是一个很长的主题，用来检查编码词在字符之间分开并且折行以后仍然能够完整地还原成原来的文字"
      "，一个字也不少",
      std::string(120, 'x'),  // too long for one header line as it is
  };
  PythonSink sink(1 + std::size(texts));
  ASSERT_EQ(Send(sink.address()), "");
  std::string described = std::regex_replace(
      sink.Next(), std::regex(R"(message_id=<[0-9a-f]{16}\.[0-9]+@)"), "message_id=<random@");
  for (const std::string& text : texts) {
    MailComponent mail = Board(sink.address());
    mail.FromName(text);
    mail.AddRecipient(text, "reader@example.com");
    mail.Subject(text);
    mail.Body(text);
    ASSERT_TRUE(mail.Send()) << mail.ErrorText();
    described += "\n" + sink.Next();
  }
  EXPECT_GOLDEN("mail/read_back.txt", described);
}

}  // namespace
}  // namespace cb
