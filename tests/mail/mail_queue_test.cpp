// The mail queue: delivery in the background, retries, giving up, and a stop.
#include "mail/mail_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mail/mail.h"
#include "support/fake_smtp.h"
#include "support/test_env.h"

namespace cb {
namespace {

using namespace std::chrono_literals;
using test::Eventually;
using test::FakeSmtp;
using test::FakeTransport;
using Mails = std::vector<FakeSmtp::Mail>;

class MailQueueTest : public ::testing::Test {
 protected:
  MailQueueOptions Quick() {
    MailQueueOptions o;
    o.first_retry = 20ms;
    o.connect_timeout = 200ms;
    o.total_timeout = 300ms;
    o.drain_time = 2s;
    o.log = log_.Sink();
    return o;
  }
  test::ScratchDir root_{"cbqueue"};
  std::string folder_ = root_ / "mailqueue";
  test::LineLog log_;
};

TEST_F(MailQueueTest, StalledServerDelaysNobodyAndGetsTheMailOnceItAnswers) {
  FakeSmtp smtp(FakeSmtp::Mode::kStall);
  MailQueue queue(folder_, Quick());
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(queue.Accept(smtp.address(), "bb@example.com", {"alice@example.com"},
                           "Subject: hi\r\n\r\nbody\r\n"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 250ms);  // less than one attempt
  EXPECT_EQ(queue.waiting(), 1u);
  EXPECT_EQ(ReadOutbox(folder_).size(), 1u);
  ASSERT_TRUE(Eventually([&] { return !log_.all().empty(); }));  // the first attempt timed out
  smtp.SetMode(FakeSmtp::Mode::kAccept);
  ASSERT_TRUE(Eventually([&] { return smtp.mails().size() == 1; }));
  EXPECT_EQ(smtp.mails(),
            (Mails{{"bb@example.com", {"alice@example.com"}, "Subject: hi\r\n\r\nbody\r\n"}}));
  ASSERT_TRUE(Eventually([&] { return queue.waiting() == 0; }));
  EXPECT_EQ(ReadOutbox(folder_).size(), 0u);
}

TEST_F(MailQueueTest, PausesDoubleUpToTheLongestAndTheMailIsGivenUpIntoFailed) {
  MailQueueOptions o = Quick();
  o.first_retry = 10ms;
  o.longest_retry = 40ms;
  o.attempts = 5;
  auto transport = std::make_shared<FakeTransport>(100);
  MailQueue queue(folder_, o, transport);
  ASSERT_TRUE(queue.Accept("smtp.example:25", "a@x.cn", {"b@y.cn"}, "m\r\n"));
  ASSERT_TRUE(Eventually([&] { return queue.waiting() == 0; }));
  const auto paused = [](const char* ms) {
    return ::testing::EndsWith(std::string("not sent: try later; next attempt in ") + ms + " ms");
  };
  EXPECT_THAT(log_.all(),
              ::testing::ElementsAre(paused("10"), paused("20"), paused("40"), paused("40"),
                                     ::testing::EndsWith("given up after 5 attempts: try later")));
  EXPECT_EQ(ReadOutbox(folder_).size(), 0u);
  EXPECT_EQ(ReadOutbox(folder_ + "/failed").size(), 1u);
  EXPECT_TRUE(transport->mails().empty());
}

TEST_F(MailQueueTest, StopTriesOnceMoreAndLeavesTheRestForTheNextStart) {
  MailQueueOptions o = Quick();
  o.first_retry = 1h;  // no retry but the stop's
  {
    // The stop's attempt succeeds for the first mail only.
    auto transport = std::make_shared<FakeTransport>(1);
    MailQueue queue(folder_, o, transport);
    ASSERT_TRUE(queue.Accept("smtp.example:25", "a@x.cn", {"one@y.cn"}, "1\r\n"));
    ASSERT_TRUE(Eventually([&] { return log_.all().size() == 1; }));  // failed once, waits 1 h
    queue.Stop();
    EXPECT_EQ(transport->mails(), (Mails{{"a@x.cn", {"one@y.cn"}, "1\r\n"}}));
    EXPECT_FALSE(queue.Accept("smtp.example:25", "a@x.cn", {"late@y.cn"}, "x\r\n"));
  }
  {
    auto failing = std::make_shared<FakeTransport>(100);
    MailQueue queue(folder_, o, failing);
    ASSERT_TRUE(queue.Accept("smtp.example:25", "a@x.cn", {"two@y.cn"}, "2\r\n"));
    ASSERT_TRUE(queue.Accept("smtp.example:25", "a@x.cn", {"three@y.cn"}, "3\r\n"));
  }  // stopped by its end: both tried again, both left
  EXPECT_EQ(ReadOutbox(folder_).size(), 2u);
  auto transport = std::make_shared<FakeTransport>(0);
  MailQueue queue(folder_, o, transport);
  ASSERT_TRUE(Eventually([&] { return queue.waiting() == 0; }));
  EXPECT_EQ(transport->mails(),
            (Mails{{"a@x.cn", {"two@y.cn"}, "2\r\n"}, {"a@x.cn", {"three@y.cn"}, "3\r\n"}}));
  EXPECT_EQ(ReadOutbox(folder_).size(), 0u);
}

TEST_F(MailQueueTest, AServerSettingThatCouldAddALineIsRefused) {
  MailQueue queue(folder_, Quick(), std::make_shared<FakeTransport>(0));
  for (const char* server : {"", "a.example\r\nX-Sender: evil@x.cn", "a b"}) {
    EXPECT_FALSE(queue.Accept(server, "a@x.cn", {"b@y.cn"}, "m\r\n")) << server;
  }
  EXPECT_EQ(ReadOutbox(folder_).size(), 0u);
}

}  // namespace
}  // namespace cb
