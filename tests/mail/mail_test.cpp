// Tests of the mail component: delivery to a real SMTP server on loopback (tests/mail/
// smtp_sink.py, whose Python mail parser checks the message independently), refusals, timeouts,
// header injection, and the .eml outbox.
#include "mail/mail.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "runtime/gbk.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

const std::string kSinkScript = std::string(CORKBOARD_SOURCE_DIR) + "/tests/mail/smtp_sink.py";
const std::string kPython = "/usr/bin/python3";

std::string MakeTempDir() {
  std::string pattern = (fs::temp_directory_path() / "cb-mail-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A message as Python's mail parser sees it: "key=value" lines; "rcpt" may repeat.
struct Described {
  std::map<std::string, std::string> f;
  std::vector<std::string> rcpt;
  std::string raw;
};

Described ParseDescription(const std::string& text) {
  Described d;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl - pos);
    pos = nl == std::string::npos ? text.size() : nl + 1;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value;
    for (size_t i = eq + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        char e = line[++i];
        value += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
      } else {
        value += line[i];
      }
    }
    if (line.substr(0, eq) == "rcpt") {
      d.rcpt.push_back(value);
    } else {
      d.f[line.substr(0, eq)] = value;
    }
  }
  return d;
}

// Python's reading of a message file.
Described DescribeFile(const std::string& path) {
  std::string cmd = kPython + " " + kSinkScript + " parse '" + path + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
  if (!p) throw std::runtime_error("popen failed");
  std::string out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p.get())) > 0;) out.append(buf, n);
  Described d = ParseDescription(out);
  d.raw = ReadFile(path);
  return d;
}

// The Python SMTP sink, started once for the whole suite; it exits when its stdin closes.
class SmtpSink {
 public:
  SmtpSink() : dir_(MakeTempDir()) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> args = {kPython, kSinkScript, "serve", dir_};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&pid_, kPython.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    if (rc != 0) {
      close(out[0]);
      throw std::runtime_error("cannot start the SMTP sink");
    }
    port_ = ReadPort(out[0]);
    close(out[0]);
  }

  ~SmtpSink() {
    close(stdin_);
    bool exited = false;
    for (int i = 0; i < 200 && !exited; ++i) {
      exited = waitpid(pid_, nullptr, WNOHANG) == pid_;
      if (!exited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!exited) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  int port() const { return port_; }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

  // Every message accepted so far, in arrival order.
  std::vector<Described> Received() const {
    std::vector<Described> out;
    for (int n = 1;; ++n) {
      fs::path eml = fs::path(dir_) / (std::to_string(n) + ".eml");
      if (!fs::exists(eml)) break;
      Described d = ParseDescription(ReadFile(fs::path(dir_) / (std::to_string(n) + ".txt")));
      d.raw = ReadFile(eml);
      out.push_back(d);
    }
    return out;
  }

 private:
  // The sink prints its port once it listens: readiness and port in one line.
  int ReadPort(int fd) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count());
      char buf[64];
      ssize_t n = left > 0 && poll(&p, 1, left) == 1 ? read(fd, buf, sizeof buf) : 0;
      if (n <= 0) throw std::runtime_error("the SMTP sink did not start");
      line.append(buf, static_cast<size_t>(n));
    }
    return std::stoi(line);
  }

  std::string dir_;
  pid_t pid_ = 0;
  int stdin_ = -1;
  int port_ = 0;
};

// A loopback port that refuses connections, or (listening) one that accepts and never speaks.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        (listening && listen(fd_, 4) != 0)) {
      throw std::runtime_error("cannot bind a loopback port");
    }
    port_ = ntohs(a.sin_port);
    if (!listening) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~LoopbackPort() {
    if (fd_ >= 0) close(fd_);
  }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class MailTest : public ::testing::Test {
 protected:
  // One sink for all tests of a run, started by the first test that needs it (ctest runs each
  // test in its own process, and the outbox tests need none).
  static SmtpSink& Sink() {
    if (!sink_) sink_ = new SmtpSink();
    return *sink_;
  }
  static void TearDownTestSuite() {
    delete sink_;
    sink_ = nullptr;
  }
  // A test sees only what arrived since its start or its last look.
  void SetUp() override { seen_ = sink_ ? sink_->Received().size() : 0; }
  std::vector<Described> TakeReceived() {
    auto all = Sink().Received();
    std::vector<Described> fresh(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }

  MailComponent Board(const std::string& server) {
    MailComponent m(clock_, random_);
    m.Server(server);
    m.FromName("论坛管家");
    m.FromAddress("board@corkboard.test");
    m.ContentType("text/html");
    m.Charset("gb2312");
    return m;
  }

  static SmtpSink* sink_;
  size_t seen_ = 0;
  FixedClock clock_{DateTime::FromParts(2001, 5, 9, 8, 3, 7)};
  // Every draw is 0x1234: the Message-ID is known.
  struct FixedDraws : Random {
    void Fill(unsigned char* out, size_t n) override {
      for (size_t i = 0; i < n; ++i) out[i] = i == 0 ? 0x34 : i == 1 ? 0x12 : 0;
    }
  } random_;
};

SmtpSink* MailTest::sink_ = nullptr;

TEST_F(MailTest, SendMailDeliversGbkHtmlWithCompleteHeaders) {
  for (std::string server : {Sink().server(), "smtp://" + Sink().server()}) {
    SCOPED_TRACE(server);
    Settings s;
    s.SmtpServer = server;
    std::string error = "untouched";
    const std::string body = "用户名：张三<br>口令：Ab3xYz";
    ASSERT_TRUE(SendMail(s, clock_, "论坛管家", "board@corkboard.test", "张三", "zhang@example.com",
                         "您的用户名和口令", body, error));
    EXPECT_EQ(error, "untouched");
    auto got = TakeReceived();
    ASSERT_EQ(got.size(), 1u);
    const Described& m = got[0];
    EXPECT_EQ(m.f.at("mail_from"), "board@corkboard.test");
    EXPECT_EQ(m.rcpt, std::vector<std::string>{"zhang@example.com"});
    EXPECT_EQ(m.f.at("from_name"), "论坛管家");
    EXPECT_EQ(m.f.at("from_addr"), "board@corkboard.test");
    EXPECT_EQ(m.f.at("to_name"), "张三");
    EXPECT_EQ(m.f.at("to_addr"), "zhang@example.com");
    EXPECT_EQ(m.f.at("subject"), "您的用户名和口令");
    EXPECT_EQ(m.f.at("date").rfind("Wed, 09 May 2001 08:03:07 ", 0), 0u) << m.f.at("date");
    EXPECT_EQ(m.f.at("date_local"), "2001-05-09 08:03:07");
    EXPECT_TRUE(std::regex_match(m.f.at("message_id"),
                                 std::regex(R"(<[0-9a-f]{16}\.[0-9]+@corkboard\.test>)")))
        << m.f.at("message_id");
    EXPECT_EQ(m.f.at("mime_version"), "1.0");
    EXPECT_EQ(m.f.at("content_type"), "text/html");
    EXPECT_EQ(m.f.at("charset"), "gb2312");
    EXPECT_EQ(m.f.at("transfer_encoding"), "base64");
    EXPECT_EQ(m.f.at("body_hex"), Hex(Utf8ToGbk("<html><body>" + body + "</body></html>")));
    // 8-bit text only inside encodings: the message is 7-bit clean.
    for (unsigned char c : m.raw) ASSERT_LT(c, 0x80);
  }
}

// Each header text must come back exactly, under the narrowest label that holds it.
TEST_F(MailTest, HeaderAndBodyTextsDecodeToTheOriginal) {
  const std::string long_subject =
      "这是一个很长的主题，用来检查编码词在字符之间分开并且折行以后仍然能够完整地还原成原来的文字"
      "，一个字也不少";
  struct Case {
    std::string text;
    std::string header_label;  // "" for a header left as it is
    std::string body_charset;
  };
  const std::vector<Case> cases = {
      {"Plain subject, \"quoted\" name", "", "gb2312"},
      {"中文主题", "gb2312", "gb2312"},
      {"華夏論壇", "gbk", "gbk"},  // only GBK has these
      {"笑脸😀", "utf-8", "gbk"},   // outside GBK: a reference in the HTML body
      {long_subject, "gb2312", "gb2312"},
      {std::string(120, 'x'), "gb2312", "gb2312"},  // too long for one header line as it is
  };
  std::string long_raw;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MailComponent m = Board(Sink().server());
    m.FromName(c.text);
    m.AddRecipient(c.text, "reader@example.com");
    m.Subject(c.text);
    m.Body(c.text);
    ASSERT_TRUE(m.Send()) << m.ErrorText();
    auto got = TakeReceived();
    ASSERT_EQ(got.size(), 1u);
    if (c.text == long_subject) long_raw = got[0].raw;
    EXPECT_EQ(got[0].f.at("subject"), c.text);
    EXPECT_EQ(got[0].f.at("from_name"), c.text);
    EXPECT_EQ(got[0].f.at("to_name"), c.text);
    EXPECT_EQ(got[0].f.at("charset"), c.body_charset);
    EXPECT_EQ(got[0].f.at("body_hex"), Hex(Utf8ToGbk(c.text)));
    EXPECT_EQ(got[0].f.at("words_whole"), "yes");
    if (!c.header_label.empty()) {
      EXPECT_NE(got[0].raw.find("Subject: =?" + c.header_label + "?B?"), std::string::npos);
    }
  }
  // The long subject needs several encoded-words, none longer than a header allows.
  std::smatch word;
  std::string rest = long_raw;
  int words = 0;
  while (std::regex_search(rest, word, std::regex(R"(=\?gb2312\?B\?[A-Za-z0-9+/=]*\?=)"))) {
    EXPECT_LE(word.length(), 75);
    ++words;
    rest = word.suffix();
  }
  EXPECT_GE(words, 6);  // subject, From and To, each at least two words
}

TEST_F(MailTest, SeveralRecipientsShareOneMessageWithoutSeeingEachOther) {
  MailComponent m = Board(Sink().server());
  const std::vector<std::string> to = {"a@one.example", "b@two.example", "c@three.example"};
  // As a page splits a typed list at commas, blanks and all.
  for (const char* a : {"a@one.example", " b@two.example", "c@three.example "}) {
    m.AddRecipient("Corkboard注册用户", a);
  }
  m.Subject("通知");
  m.Body("<html><body>大家好</body></html>");
  ASSERT_TRUE(m.Send()) << m.ErrorText();
  auto got = TakeReceived();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].rcpt, to);
  for (const std::string& a : to) EXPECT_EQ(got[0].f.at("to_raw").find(a), std::string::npos);
}

TEST_F(MailTest, RefusedRecipientFailsAndNothingIsDelivered) {
  const std::vector<std::vector<std::string>> cases = {
      {"nobody@refused.example"},
      {"ok@example.com", "nobody@refused.example"},
  };
  for (const auto& recipients : cases) {
    SCOPED_TRACE(recipients.back() + " among " + std::to_string(recipients.size()));
    MailComponent m = Board(Sink().server());
    for (const std::string& a : recipients) m.AddRecipient("", a);
    m.Subject("s");
    m.Body("b");
    EXPECT_FALSE(m.Send());
    EXPECT_NE(m.ErrorText().find("550"), std::string::npos) << m.ErrorText();
    EXPECT_EQ(m.ErrorText().find('<'), std::string::npos) << "markup in " << m.ErrorText();
  }
  Settings s;
  s.SmtpServer = Sink().server();
  std::string error;
  EXPECT_FALSE(
      SendMail(s, clock_, "n", "board@corkboard.test", "x", "x@refused.example", "s", "b", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(TakeReceived().empty());
}

TEST_F(MailTest, UnreachableOrSilentServerFailsWithinTheTimeout) {
  LoopbackPort closed(false), silent(true);
  struct Case {
    std::string name;
    std::string server;
    std::string error;
  };
  for (const Case& c :
       std::vector<Case>{{"closed port", closed.server(), "无法连接邮件服务器"},
                         {"silent server", silent.server(), "邮件服务器没有及时响应"},
                         {"unresolvable host", "no-such-host.invalid:25", "无法连接邮件服务器"}}) {
    SCOPED_TRACE(c.name);
    MailComponent m = Board(c.server);
    m.AddRecipient("张三", "zhang@example.com");
    m.Subject("s");
    m.Timeouts(std::chrono::milliseconds(500), std::chrono::milliseconds(700));
    auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(m.Send());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(m.ErrorText().rfind(c.error, 0), 0u) << m.ErrorText();
  }
}

// A line break in any value would let a visitor add headers or recipients.
TEST_F(MailTest, LineBreaksAndBadAddressesAreRefusedBeforeSending) {
  struct Case {
    std::string what, from_name, from_address, to_name, to_address, subject;
  };
  const Case ok{"", "名", "board@corkboard.test", "收", "to@example.com", "主题"};
  auto with = [&](std::string what, auto set) {
    Case c = ok;
    c.what = what;
    set(c);
    return c;
  };
  const std::vector<Case> cases = {
      with("subject CRLF", [](Case& c) { c.subject = "hi\r\nBcc: evil@attacker.test"; }),
      with("subject LF", [](Case& c) { c.subject = "hi\nBcc: evil@attacker.test"; }),
      with("subject CR", [](Case& c) { c.subject = "hi\rBcc: evil@attacker.test"; }),
      with("from name", [](Case& c) { c.from_name = "x\r\nBcc: evil@attacker.test"; }),
      with("to name", [](Case& c) { c.to_name = "y\nBcc: evil@attacker.test"; }),
      with("from address", [](Case& c) { c.from_address = "a@b.test\r\nBcc: e@attacker.test"; }),
      with("to address", [](Case& c) { c.to_address = "t@x.test\nBcc: e@attacker.test"; }),
      with("to address >", [](Case& c) { c.to_address = "t@x.test>\r\nRCPT TO:<e@a.test"; }),
      with("to address space", [](Case& c) { c.to_address = "t x@x.test"; }),
      with("to address no @", [](Case& c) { c.to_address = "nobody"; }),
      with("to address two @", [](Case& c) { c.to_address = "a@b@c.test"; }),
      with("empty from address", [](Case& c) { c.from_address = ""; }),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool through_sendmail : {false, true}) {
      std::string error;
      bool sent;
      if (through_sendmail) {
        Settings s;
        s.SmtpServer = Sink().server();
        sent = SendMail(s, clock_, c.from_name, c.from_address, c.to_name, c.to_address, c.subject,
                        "body", error);
      } else {
        MailComponent m = Board(Sink().server());
        m.FromName(c.from_name);
        m.FromAddress(c.from_address);
        m.AddRecipient(c.to_name, c.to_address);
        m.Subject(c.subject);
        sent = m.Send();
        error = m.ErrorText();
      }
      EXPECT_FALSE(sent);
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_TRUE(TakeReceived().empty());
}

TEST_F(MailTest, OutboxWritesOneReadableFilePerMail) {
  const std::string root = MakeTempDir();
  const std::string dir = root + "/data/outbox";  // created on the first mail
  Settings s;
  s.SmtpServer = "dir:" + dir;
  std::string error;
  ASSERT_TRUE(SendMail(s, clock_, "论坛管家", "board@corkboard.test", "张三", "zhang@example.com",
                       "您的用户名和口令", "口令：Ab3xYz", error))
      << error;
  ASSERT_TRUE(SendMail(s, clock_, "论坛管家", "board@corkboard.test", "李四", "li@example.com",
                       "第二封", "華", error))
      << error;
  auto mails = ReadOutbox(dir);
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[0].envelope_from, "board@corkboard.test");
  EXPECT_EQ(mails[0].recipients, std::vector<std::string>{"zhang@example.com"});
  EXPECT_EQ(mails[0].from, "论坛管家 <board@corkboard.test>");
  EXPECT_EQ(mails[0].to, "张三 <zhang@example.com>");
  EXPECT_EQ(mails[0].subject, "您的用户名和口令");
  EXPECT_EQ(mails[0].content_type, "text/html; charset=gb2312");
  EXPECT_EQ(mails[0].body, "<html><body>口令：Ab3xYz</body></html>");
  EXPECT_EQ(mails[1].subject, "第二封");
  EXPECT_EQ(mails[1].body, "<html><body>華</body></html>");
  EXPECT_NE(mails[0].file, mails[1].file);
  // Python reads the same files the same way.
  Described py = DescribeFile(mails[0].file);
  EXPECT_EQ(py.f.at("subject"), "您的用户名和口令");
  EXPECT_EQ(py.f.at("to_name"), "张三");
  EXPECT_EQ(py.f.at("body_hex"), Hex(Utf8ToGbk(mails[0].body)));
  // Only finished mails are left: no temporary files.
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    ++files;
    EXPECT_EQ(e.path().extension(), ".eml") << e.path();
  }
  EXPECT_EQ(files, 2u);
  fs::remove_all(root);
}

// A relative outbox lies in the board's data folder, whatever the working folder; the folder
// and its mails are readable by the board's own user only.
TEST_F(MailTest, TheOutboxIsInTheDataFolderAndPrivate) {
  const std::string root = MakeTempDir();
  struct Case {
    std::string server;
    std::string folder;  // where the mail must land
  };
  const std::vector<Case> cases = {
      {defaults::kSmtpServer, root + "/data/outbox"},
      {"dir:mail/out/", root + "/data/mail/out"},
      {"dir:" + root + "/elsewhere", root + "/elsewhere"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    Settings s;
    s.SmtpServer = c.server;
    s.DataDir = root + "/data";
    std::string error;
    ASSERT_TRUE(SendMail(s, clock_, "论坛", "bb@corkboard.test", "", "a@example.com", "口令",
                         "口令：Ab3xYz", error))
        << error;
    auto mails = ReadOutbox(c.folder);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(fs::status(c.folder).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(mails[0].file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
  }
  fs::remove_all(root);
}

TEST_F(MailTest, ClockAndRandomSourceMakeDateAndMessageId) {
  const std::string root = MakeTempDir();
  MailComponent m = Board("dir:" + root);
  m.AddRecipient("", "to@example.com");
  ASSERT_TRUE(m.Send()) << m.ErrorText();
  auto mails = ReadOutbox(root);
  ASSERT_EQ(mails.size(), 1u);
  const std::string id = "Message-ID: <0000000000001234." + std::to_string(clock_.Now().seconds()) +
                         "@corkboard.test>\r\n";
  EXPECT_NE(mails[0].raw.find(id), std::string::npos) << mails[0].raw;
  EXPECT_NE(mails[0].raw.find("Date: Wed, 09 May 2001 08:03:07 "), std::string::npos);
  fs::remove_all(root);
}

TEST_F(MailTest, MissingServerOrUnwritableOutboxFails) {
  const std::string root = MakeTempDir();
  const std::string file = root + "/not-a-folder";
  std::ofstream(file) << "x";
  for (std::string server : {std::string(), "dir:" + file, "dir:" + file + "/sub"}) {
    SCOPED_TRACE(server);
    Settings s;
    s.SmtpServer = server;
    std::string error;
    EXPECT_FALSE(
        SendMail(s, clock_, "n", "board@corkboard.test", "t", "t@example.com", "s", "b", error));
    EXPECT_FALSE(error.empty());
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace cb
