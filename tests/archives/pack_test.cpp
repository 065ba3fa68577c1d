// Mailing a post (download.asp); the address rules are the rules' table (archive_rules_test).
#include "archives/archive_fixture.h"
#include "mail/mail.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::ArchiveBoard;

struct PackBoard : ArchiveBoard {
  std::string outbox = test::MailIntoFolder(host);
  PackBoard() { host.Configure({{"SubmitInterval", "60"}}); }
  std::string Send(int64_t post, const std::string& email,
                   const std::string& address = "10.0.0.1") {
    host.PostForm("/download.asp", {{"topic", Id(post)}, {"email", email}}).RemoteAddr(address);
    return host.Run(&Corkboard::Pack);
  }
};

TEST(Pack, MailsThePostToEveryAddressOnce) {
  PackBoard b;
  EXPECT_GOLDEN("archives/pack_form",
                b.Get(&Corkboard::Pack, "/download.asp?topic=" + b.Id(b.reply)));
  std::string pages = GoldenCase("topic", b.Send(b.topic, " a@example.com, b@example.org "));
  // A reply leads back to its thread too.
  b.host.clock().Advance(200);
  pages += GoldenCase("reply", b.Send(b.reply, "c@example.com"));
  EXPECT_GOLDEN("archives/pack_sent", pages);
  const std::vector<OutboxMail> mails = ReadOutbox(b.outbox);
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_GOLDEN("archives/pack_mail.txt", test::MailText(mails[0]));
  EXPECT_TRUE(Has(mails[1].body, "回复 :)"));
}

TEST(Pack, RefusalsSendNothing) {
  PackBoard seed;  // for the post numbers
  const std::pair<const char*, std::string> cases[] = {
      {"bad number", "x"}, {"missing post", "4000"}, {"private forum", seed.Id(seed.secret)}};
  std::string pages;
  for (const auto& [name, topic] : cases) {
    PackBoard b;
    b.host.PostForm("/download.asp", {{"topic", topic}, {"email", "a@example.com"}});
    pages += GoldenCase(name, b.host.Run(&Corkboard::Pack));
    EXPECT_TRUE(ReadOutbox(b.outbox).empty()) << name;
  }
  EXPECT_GOLDEN("archives/pack_refusals", pages);
}

TEST(Pack, FloodGuardsHoldBackFurtherMail) {
  PackBoard b;
  std::string pages = GoldenCase("first", b.Send(b.topic, "a@example.com"));
  pages += GoldenCase("again", b.Send(b.topic, "b@example.com"));
  // A fresh session from the same address is held back too.
  b.host.session().Set("SubmitTime", Variant());
  pages += GoldenCase("fresh session", b.Send(b.topic, "b@example.com"));
  // Past the interval, from elsewhere: a recipient just mailed still waits its own interval.
  b.host.clock().Advance(61);
  pages += GoldenCase("recipient just mailed",
                      b.Send(b.topic, "b@example.com,a@example.com", "10.0.0.2"));
  b.host.clock().Advance(121);
  pages += GoldenCase("later", b.Send(b.topic, "b@example.com,a@example.com", "10.0.0.3"));
  EXPECT_GOLDEN("archives/pack_flood", pages);
  EXPECT_EQ(ReadOutbox(b.outbox).size(), 2u);
}

}  // namespace
}  // namespace cb
