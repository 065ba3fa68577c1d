// Closing, opening, moving, archiving and copying threads, with the counters against a recount.
#include "pages/moderation_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;
using test::ModerationBoard;

// Subject and forum come from the topic's row, not from the address.
TEST(CloseThread, GoldenForms) {
  const auto form = [](const char* style, const char* action, bool signed_in) {
    ModerationBoard b;
    b.host.Configure({{"BBSTYLE", style}});
    if (signed_in) b.host.SignIn(test::kModA.name, test::kModA.password);
    return b.Get(&Corkboard::CloseThread, std::string("/Posting.asp?action=") + action +
                                              "&topic=" + b.Id(b.topic) +
                                              "&topicsubject=%3Cb%3E&Forum=技术讨论");
  };
  EXPECT_GOLDEN("moderation/close_form_cbk", form("CBK", "CloseThread", false));
  EXPECT_GOLDEN("moderation/open_form_club", form("CLUB", "OpenThread", true));
}

TEST(CloseThread, ClosesAndOpensForModeratorsOfTheTopicsForum) {
  std::string pages;
  // other_forum: carol's topic in B, the form naming forum A; status: the topic's afterwards.
  const auto check = [&](const char* name, Actor actor, bool other_forum, bool reply,
                         const char* which, const char* action, const char* status) {
    SCOPED_TRACE(name);
    ModerationBoard b;
    const int64_t post = other_forum ? b.other : reply ? b.reply : b.topic;
    pages += GoldenCase(name, b.Post(&Corkboard::CloseThread, "/posting.asp",
                                     {{"action", action},
                                      {"which", which},
                                      {"topic", b.Id(post)},
                                      {"TopicSubject", "x"},
                                      {"forum", test::kForumA}},
                                     actor));
    EXPECT_EQ(b.Column(post, "status").Str(), status);
  };
  check("close", test::kModA, false, false, "close", "processclose", "close");
  check("open", test::kAdmin, false, false, "open", "processclose", "open");
  check("moderator of the named forum only", test::kModA, true, false, "close", "processclose",
        "open");
  check("author", test::kBob, false, false, "close", "processclose", "open");
  check("guest", test::kGuest, false, false, "close", "processclose", "open");
  check("other value", test::kModA, false, false, "close'--", "processclose", "open");
  check("a reply's number", test::kModA, false, true, "close", "processclose", "open");
  check("other action", test::kModA, false, false, "close", "deletepost", "open");
  EXPECT_GOLDEN("moderation/close_thread", pages);
}

std::string TransferForm(ModerationBoard& b) {
  return b.Get(&Corkboard::Transfer, "/archive.asp?action=transfer&topic=" + b.Id(b.topic));
}

TEST(Transfer, GoldenForms) {
  {
    ModerationBoard b;
    b.board.AddArchive("2023 年精华", "旧");
    b.board.AddArchive("<b>", "");
    EXPECT_GOLDEN("moderation/transfer_form_cbk", TransferForm(b));
  }
  ModerationBoard b;
  b.host.Configure({{"BBSTYLE", "CLUB"}});
  b.host.SignIn(test::kModA.name, test::kModA.password);
  // The private forum is offered to a session it admitted only.
  b.host.session().Set(test::kSecret, Variant(true));
  EXPECT_GOLDEN("moderation/transfer_form_club_no_archive", TransferForm(b));
}

FormFields TransferForm(int64_t topic, const std::string& option, const std::string& target,
                        const std::string& transfer, const std::string& archive_choice,
                        const std::string& archive) {
  return {{"action", "submittransfer"},
          {"topic", std::to_string(topic)},
          {"Option", option},
          {"TransferChoiceOption", transfer},
          {"TransferToForumNum", target},
          {"ArchiveChoiceOption", archive_choice},
          {"ArchiveSelect", archive}};
}
FormFields MoveForm(int64_t topic, const std::string& target, const std::string& choice) {
  return TransferForm(topic, "Transfer", target, choice, "Keep", "0");
}
FormFields ArchiveForm(int64_t topic, int64_t archive, const std::string& choice) {
  return TransferForm(topic, "Archive", "", "Keep", choice, std::to_string(archive));
}

// "author|subject|message|hits|status|forum" of each post of a thread, in order.
std::string Thread(ModerationBoard& b, int64_t topic) {
  return b.Rows("select username,subject,message,hits,status,forumname from post where postid=" +
                b.Id(topic) + " or parentid=" + b.Id(topic) + " order by postid");
}

// The copy starts with no hits when the source stays (closed), with the source's when it goes.
// Each case of the golden file: the page, the copy's rows and counters, the source's rows.
TEST(Transfer, MovesKeepingOrDeletingTheSource) {
  std::string out;
  for (const char* choice : {"Keep", "Delete"}) {
    SCOPED_TRACE(choice);
    ModerationBoard b;
    out += GoldenCase(choice, b.Post(&Corkboard::Transfer, "/archive.asp",
                                     MoveForm(b.topic, "技术讨论", choice), test::kModA));
    const std::string copy =
        b.board
            .Scalar(
                "select postid from post where parentid is null and forumname='技术讨论' "
                "and subject='你好'")
            .Str();
    out += Thread(b, std::stoll(copy)) +
           b.Rows("select replycount,lastreplyusername from post where postid=" + copy) +
           "source:\n" + Thread(b, b.topic);
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  }
  EXPECT_GOLDEN("moderation/moved_threads", out);
}

TEST(Transfer, Refusals) {
  enum Post { kTopic, kReply, kSecretTopic };
  std::string pages;
  // destination: a forum's name, or for an archive copy the seeded archive's number plus it.
  const auto check = [&](const char* name, Actor actor, Post which, bool archive_copy,
                         const std::string& destination) {
    SCOPED_TRACE(name);
    ModerationBoard b;
    b.board.AddMember("modb", "pw", {.status = "Moderater"});
    b.board.AddModerator(test::kForumB, "modb");
    const int64_t archive = b.board.AddArchive("精华");
    const std::string before = b.Posts();
    const int64_t topic = which == kTopic ? b.topic : which == kReply ? b.reply : b.secret;
    const FormFields form = archive_copy
                                ? ArchiveForm(topic, archive + std::stoi(destination), "Delete")
                                : MoveForm(topic, destination, "Delete");
    pages += GoldenCase(name, b.Post(&Corkboard::Transfer, "/archive.asp", form, actor));
    EXPECT_EQ(b.Posts(), before);
    EXPECT_EQ(b.board.Scalar("select count(*) from archivelist").CLng(), 0);
  };
  check("no forum chosen", test::kModA, kTopic, false, "");
  check("no such forum", test::kModA, kTopic, false, "没有");
  check("its own forum", test::kModA, kTopic, false, "灌水乐园");
  check("private forum not entered", test::kAdmin, kTopic, false, "密室");
  check("moderator of the target only", {"modb", "pw"}, kTopic, false, "技术讨论");
  check("guest", test::kGuest, kTopic, false, "技术讨论");
  check("a reply's number", test::kAdmin, kReply, false, "技术讨论");
  check("archive 0", test::kModA, kTopic, true, "-1");
  check("no such archive", test::kModA, kTopic, true, "1");
  check("archive, author", test::kBob, kTopic, true, "0");
  check("archive, private forum not entered", test::kAdmin, kSecretTopic, true, "0");
  EXPECT_GOLDEN("moderation/transfer_refused", pages);
}

// A topic goes into an archive once; the golden file holds the pages and the archived rows.
TEST(Transfer, ArchivesOncePerArchive) {
  ModerationBoard b;
  const int64_t first = b.board.AddArchive("第一");
  const int64_t second = b.board.AddArchive("第二");
  const std::string before = b.Posts();
  std::string out;
  for (const auto& [to, choice] :
       {std::pair{first, "Keep"}, {first, "Delete"}, {second, "Delete"}}) {
    out += GoldenCase(choice, b.Post(&Corkboard::Transfer, "/archive.asp",
                                     ArchiveForm(b.topic, to, choice), test::kModA));
    if (to == first) {
      EXPECT_EQ(b.Posts(), before);
    }
  }
  EXPECT_GOLDEN("moderation/archived_rows",
                out + b.Rows("select archiveid,postid,parentid,forumname,username,subject,message,"
                             "hits,status from archivelist order by archiveid,postid"));
  EXPECT_EQ(b.Count("forumname='灌水乐园'"), 0);
  EXPECT_EQ(test::CounterDisagreements(b.board), "");
}

TEST(Transfer, AFailureHalfWayChangesNothing) {
  for (const auto& [name, when, condition, archive_copy] :
       {std::tuple{"move: the second reply's copy fails", "AFTER INSERT",
                   "new.forumname='技术讨论' AND new.message='再回复'", false},
        {"move: deleting the source fails", "BEFORE DELETE", "", false},
        {"archive: deleting the source fails", "BEFORE DELETE", "", true}}) {
    SCOPED_TRACE(name);
    ModerationBoard b;
    const int64_t archive = b.board.AddArchive("精华");
    b.board.FailWhen(when, "post", condition);
    const std::string before = b.Posts();
    const std::string page = b.Post(&Corkboard::Transfer, "/archive.asp",
                                    archive_copy ? ArchiveForm(b.topic, archive, "Delete")
                                                 : MoveForm(b.topic, "技术讨论", "Delete"),
                                    test::kModA);
    EXPECT_TRUE(Has(page, "错误号：")) << page;
    EXPECT_EQ(b.Posts(), before);
    EXPECT_EQ(b.board.Scalar("select count(*) from archivelist").CLng(), 0);
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  }
}

TEST(CopyPost, ShowsTheRawText) {
  ModerationBoard b;
  EXPECT_GOLDEN("moderation/copy_post_cbk",
                b.Get(&Corkboard::CopyPost, "/posting.asp?action=copypost&topic=" + b.Id(b.topic)));
  // The topic numbers are the golden file's cases: 2 a reply, 5 a topic of the private forum.
  b.AddTopic70000("技术讨论", "[b]大号[/b]");
  test::ExpectGoldenCases("moderation/copy_post_cases", [&](const std::string& topic) {
    return b.Get(&Corkboard::CopyPost, "/posting.asp?action=copypost&topic=" + topic);
  });
}

}  // namespace
}  // namespace cb
