// The posting pages' shared test setup: a board with an open and a private forum and a few
// members, the post count, and the run of refusals that must each stop a submission unstored.
#pragma once

#include "support/page_test.h"

namespace cb::test {

constexpr const char* kForum = "灌水乐园";
constexpr const char* kBannedAddress = "10.0.0.9";

struct PostingTest : test::BoardTest {
  void SetUp() override {
    board.AddCatalogForum("休闲", kForum);
    board.AddCatalogForum("休闲", "密室", {.restrict = "private"});
    board.AddMember("bob", "pw", {.email = "bob@example.com"});
    board.AddMember("barred", "pw", {.canpost = false});
  }
  int64_t Posts() { return board.Scalar("select count(*) from post").CLng(); }
  // Makes the store refuse an insert of a post matching the condition, as a failing disk would.
  void RefuseInsertsWhere(const std::string& condition) {
    board.FailWhen("AFTER INSERT", "post", condition, "refused by test");
  }
  // A page whose error description (each backend words the refusal its own way) is left out.
  static std::string WithoutErrorText(std::string page) {
    const size_t at = page.find("错误描述：");
    if (at != std::string::npos) page.erase(at, page.find("<br>", at) - at);
    return page;
  }

  struct Refusal {
    const char* name;
    FormFields changes;
    bool banned;  // from an address on the refused list
    bool flood;   // a post of this session 5 seconds ago
  };
  // Submits base+changes for each case; each must store nothing. The pages are the golden file's.
  void ExpectRefusals(const char* golden, const std::vector<Refusal>& cases, const FormFields& base,
                      void (Corkboard::*submit)()) {
    host.Configure({{"RejectiveIP", std::string("10.0.0.8,") + kBannedAddress}});
    const int64_t before = Posts();
    std::string pages;
    for (const Refusal& c : cases) {
      SCOPED_TRACE(c.name);
      host.clock().Advance(60);  // past the previous case's hold on the address
      host.session().Set("SubmitTime",
                         c.flood ? Variant(host.clock().Now().AddSeconds(-5)) : Variant());
      host.PostForm("/posting.asp", WithChanges(base, c.changes))
          .RemoteAddr(c.banned ? kBannedAddress : "10.0.0.1");
      pages += GoldenCase(c.name, host.Run(submit));
      EXPECT_EQ(Posts(), before);
    }
    EXPECT_GOLDEN(golden, pages);
  }
};

}  // namespace cb::test
