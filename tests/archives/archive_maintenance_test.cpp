// Moving, deleting, restoring and editing archived threads: who may, and what each keeps.
#include <map>

#include "archives/archive_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;

constexpr Actor kModB{"modb", "pw"};  // moderates forum B only

// The archive board with the maintenance pages' own steps.
struct MaintenanceBoard : test::ArchiveBoard {
  void AddModeratorOfB() {
    board.AddMember("modb", "pw", {.status = "Moderater"});
    board.AddModerator(test::kForumB, "modb");
  }
  // Removes the live copy of bob's thread, so that it lives in the archive only.
  void DropLiveThread() {
    board.Exec("delete from post where postid=" + Id(topic) + " or parentid=" + Id(topic));
  }
  std::string Restore(const Actor& actor, const std::string& forum) {
    return Post(&Corkboard::RestoreArchive, "/archive.asp",
                {{"action", "submitrestore"}, {"topic", Id(topic)}, {"RestoreToForum", forum}},
                actor);
  }
};
using ArchiveMaintenance = test::Fixture<MaintenanceBoard>;

// The columns a thread must keep through any move, one line per post in order.
std::string ThreadRows(TestBoard& board, const std::string& table, int64_t topic) {
  const std::string id = std::to_string(topic);
  return test::Rows(board,
                    "select postid,parentid,forumname,username,posttime,subject,message,"
                    "edithistory,hits,status,usesign,icon,ip from " +
                        table + " where postid=" + id + " or parentid=" + id + " order by postid");
}

std::string Counters(TestBoard& board) {
  return test::Rows(board,
                    "select forumname,topiccount,replycount,lastposttime,lastpostusername from "
                    "forum order by forumname") +
         test::Rows(board, "select username,postcount from register order by username") +
         test::Rows(board,
                    "select postid,replycount,lastreplyposttime,lastreplyusername from post "
                    "where parentid is null order by postid");
}

TEST(ArchiveRoundTrip, LiveArchiveLiveKeepsEveryPost) {
  test::ModerationBoard b;
  b.board.Exec(
      "update post set edithistory='[这消息被moda编辑过(编辑时间2024-05-03)]<br>',"
      "usesign=1,icon=3,ip='10.0.0.9' where postid=" +
      b.Id(b.reply));
  const int64_t archive = b.board.AddArchive("精华");
  const std::string live = ThreadRows(b.board, "post", b.topic);
  const std::string counters = Counters(b.board);

  const std::string archived = b.Post(&Corkboard::Transfer, "/archive.asp",
                                      {{"action", "submittransfer"},
                                       {"topic", b.Id(b.topic)},
                                       {"Option", "Archive"},
                                       {"ArchiveChoiceOption", "Delete"},
                                       {"ArchiveSelect", std::to_string(archive)}},
                                      test::kModA);
  EXPECT_EQ(ThreadRows(b.board, "post", b.topic), "");
  EXPECT_EQ(ThreadRows(b.board, "archivelist", b.topic), live);
  EXPECT_EQ(test::CounterDisagreements(b.board), "");

  const std::string restored = b.Post(
      &Corkboard::RestoreArchive, "/archive.asp",
      {{"action", "submitrestore"}, {"topic", b.Id(b.topic)}, {"RestoreToForum", test::kForumA}},
      test::kModA);
  EXPECT_GOLDEN("archives/round_trip",
                GoldenCase("archived", archived) + GoldenCase("restored", restored));
  EXPECT_EQ(ThreadRows(b.board, "post", b.topic), live);
  EXPECT_EQ(ThreadRows(b.board, "archivelist", b.topic), "");
  EXPECT_EQ(Counters(b.board), counters);
  EXPECT_EQ(test::CounterDisagreements(b.board), "");
}

TEST(ArchiveRestore, ToAnotherForumAndRefusals) {
  struct Case {
    const char* name;
    Actor actor;
    const char* forum;
    bool live;  // the thread is still in its forum too
    bool done;
  };
  const Case cases[] = {
      {"administrator into B", test::kAdmin, test::kForumB, false, true},
      {"moderator of A into B", test::kModA, test::kForumB, false, false},
      {"moderator of B into B", kModB, test::kForumB, false, false},
      {"private forum not entered", test::kAdmin, test::kSecret, false, false},
      {"still live", test::kAdmin, test::kForumA, true, false},
  };
  std::string pages;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaintenanceBoard b;
    b.AddModeratorOfB();
    if (!c.live) b.DropLiveThread();
    const std::string posts = b.Posts(), archived = b.ArchivedRows();
    pages += GoldenCase(c.name, b.Restore(c.actor, c.forum));
    EXPECT_EQ(b.Posts() == posts, !c.done);
    EXPECT_EQ(b.ArchivedRows() == archived, !c.done);
    if (c.done) {
      EXPECT_EQ(b.Count("forumname='技术讨论' and (postid=" + b.Id(b.topic) +
                        " or parentid=" + b.Id(b.topic) + ")"),
                3);
    }
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  }
  EXPECT_GOLDEN("archives/restore_refusals", pages);
}

TEST(ArchiveRestore, AFailureHalfWayChangesNothing) {
  for (const auto& [name, when, table, condition] :
       {std::tuple{"restoring the second reply fails", "AFTER INSERT", "post",
                   "new.message='再回复'"},
        {"emptying the archive fails", "BEFORE DELETE", "archivelist", ""}}) {
    SCOPED_TRACE(name);
    MaintenanceBoard b;
    b.DropLiveThread();
    b.board.FailWhen(when, table, condition);
    const std::string posts = b.Posts(), archived = b.ArchivedRows();
    EXPECT_TRUE(Has(b.Restore(test::kAdmin, test::kForumA), "错误号："));
    EXPECT_EQ(b.Posts(), posts);
    EXPECT_EQ(b.ArchivedRows(), archived);
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  }
}

// Each action on bob's archived thread, as each kind of member; changed: whether the archive
// changed afterwards.
TEST(ArchiveMaintenanceAccess, PerRoleAndAction) {
  enum Action { kMove, kDelete, kEditTopic, kDeleteThroughEdit };
  struct Case {
    Action action;
    Actor actor;
    bool changed;
  };
  const Case cases[] = {
      // The refusal orders are the rules' table; here each page judges by the thread's forum
      // (a moderator of B is refused in A) and by the author.
      {kMove, kModB, false},
      {kMove, test::kModA, true},
      {kDelete, kModB, false},
      {kDelete, test::kAdmin, true},
      {kEditTopic, kModB, false},
      {kEditTopic, test::kBob, true},
      {kDeleteThroughEdit, test::kCarol, false},
      {kDeleteThroughEdit, test::kBob, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.action) + " by " + (*c.actor.name ? c.actor.name : "guest"));
    MaintenanceBoard b;
    b.AddModeratorOfB();
    const std::string before = b.ArchivedRows(), posts = b.Posts();
    const std::string topic = b.Id(b.topic);
    std::string page;
    switch (c.action) {
      case kMove:
        page = b.Post(
            &Corkboard::TransferArchive, "/archive.asp",
            {{"action", "submittransfer"}, {"topic", topic}, {"ArchiveSelect", b.Id(b.older)}},
            c.actor);
        break;
      case kDelete:
        page = b.Post(&Corkboard::DeleteArchive, "/posting.asp",
                      {{"action", "deletearchive"}, {"topic", topic}}, c.actor);
        break;
      case kEditTopic:
      case kDeleteThroughEdit:
        page = b.Post(&Corkboard::ArchiveSubmitEdit, "/posting.asp",
                      {{"action", "archivesubmitedit"},
                       {"topic", topic},
                       {"TopicSubject", "新主题"},
                       {"message", "新内容"},
                       {"DeletePost", c.action == kDeleteThroughEdit ? "on" : ""}},
                      c.actor);
        break;
    }
    EXPECT_EQ(b.ArchivedRows() != before, c.changed) << page;
    EXPECT_EQ(b.Posts(), posts);
    EXPECT_TRUE(test::EndsPage(page));
  }
}

TEST_F(ArchiveMaintenance, MoveTakesTheRepliesAlong) {
  const auto move = [&](const std::string& target, const Actor& actor) {
    return Post(&Corkboard::TransferArchive, "/archive.asp",
                {{"action", "submittransfer"}, {"topic", Id(topic)}, {"ArchiveSelect", target}},
                actor);
  };
  std::string pages = GoldenCase("moved", move(Id(older), test::kModA));
  EXPECT_EQ(Archived("archiveid=" + Id(older)), 3);
  EXPECT_EQ(Archived("archiveid=" + Id(gems)), 0);
  // An archive that does not exist; the archive that already holds it.
  pages += GoldenCase("no such archive", move("99", test::kAdmin));
  pages += GoldenCase("archived there before", move(Id(older), test::kAdmin));
  EXPECT_GOLDEN("archives/move", pages);
  EXPECT_EQ(Archived("archiveid=" + Id(older)), 3);
}

TEST_F(ArchiveMaintenance, Forms) {
  EXPECT_GOLDEN(
      "archives/transfer_form_cbk",
      Get(&Corkboard::TransferArchive, "/archive.asp?action=transferarchive&topic=" + Id(topic)));
  EXPECT_GOLDEN(
      "archives/edit_form_cbk",
      Get(&Corkboard::ArchiveEditPost, "/posting.asp?Forum=" + Id(gems) + "&Topic=" + Id(reply) +
                                           "&TopicSubject=x&action=editarchive"));
  // A GET only asks, even for a signed-in administrator.
  host.SignIn(test::kAdmin.name, test::kAdmin.password);
  const std::string before = ArchivedRows();
  // The restore form offers the forums he may enter, the thread's own chosen.
  std::string forms = GoldenCase(
      "delete",
      Get(&Corkboard::DeleteArchive, "/posting.asp?action=deletearchive&topic=" + Id(topic)));
  EXPECT_EQ(ArchivedRows(), before);
  forms += GoldenCase("restore", Get(&Corkboard::RestoreArchive,
                                     "/archive.asp?action=restorearchive&topic=" + Id(topic)));
  EXPECT_GOLDEN("archives/signed_in_forms", forms);
  // The cases are the golden file's queries; 2 is a reply.
  const std::map<std::string, std::pair<void (Corkboard::*)(), const char*>> pages = {
      {"transferarchive", {&Corkboard::TransferArchive, "/archive.asp?"}},
      {"deletearchive", {&Corkboard::DeleteArchive, "/posting.asp?"}},
      {"editarchive", {&Corkboard::ArchiveEditPost, "/posting.asp?"}}};
  test::ExpectGoldenCases("archives/form_refusals", [&](const std::string& query) {
    const auto& [page, script] = pages.at(query.substr(7, query.find('&') - 7));
    return Get(page, script + query);
  });
}

TEST_F(ArchiveMaintenance, Edits) {
  AddModeratorOfB();
  // A second copy of the thread in the other archive stays as it was.
  CopyIntoOlder("subject");
  auto edit = [&](int64_t post, const Actor& actor, const char* subject, const char* message) {
    return Post(&Corkboard::ArchiveSubmitEdit, "/posting.asp",
                {{"action", "archivesubmitedit"},
                 {"archiveid", Id(gems)},
                 {"topic", Id(post)},
                 {"TopicSubject", subject},
                 {"message", message}},
                actor);
  };
  // bob edits his own reply: its message and the note of this edit change, nothing else.
  std::string pages = GoldenCase("own reply", edit(own_reply, test::kBob, "忽略", "改过 <b>"));
  const std::string row = "archiveid=" + Id(gems) + " and postid=" + Id(own_reply);
  EXPECT_EQ(Rows("select message,edithistory from archivelist where " + row),
            "改过 <b>|[这消息被bob编辑过(编辑时间2024-05-09 10:20:30)]<br>|\n");
  EXPECT_EQ(Archived("subject='你好'"), 6);

  pages += GoldenCase("another forum's moderator", edit(reply, kModB, "x", "y"));

  // The moderator renames the topic: every post of this copy takes the subject.
  pages += GoldenCase("renamed", edit(topic, test::kModA, "新<名>", "新内容"));
  EXPECT_GOLDEN("archives/edits", pages);
  EXPECT_EQ(Archived("archiveid=" + Id(gems) + " and subject='新<名>'"), 3);
  EXPECT_EQ(Archived("archiveid=" + Id(older) + " and subject='你好'"), 3);
  EXPECT_EQ(Archived("archiveid=" + Id(older) + " and message='再回复'"), 1);
}

}  // namespace
}  // namespace cb
