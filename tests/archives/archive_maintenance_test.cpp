// Archive maintenance pages: who may move, delete, restore and edit archived threads (a table of
// roles and actions against what changed), the round trip live -> archive -> live, moves that
// take the replies along, edits, and failures half way that change nothing.
#include "archives/archive_fixture.h"
#include "support/page_test.h"

namespace cb {
namespace {

using test::Actor;
using test::ArchiveBoard;

constexpr Actor kModB{"modb", "pw"};  // moderates forum B only

void AddModeratorOfB(ArchiveBoard& b) {
  b.board.AddMember("modb", "pw", {.status = "Moderater"});
  b.board.AddModerator(test::kForumB, "modb");
}

// Removes the live copy of bob's thread, so that it lives in the archive only.
void DropLiveThread(ArchiveBoard& b) {
  b.board.Exec("delete from post where postid=" + b.Id(b.topic) + " or parentid=" + b.Id(b.topic));
}

std::string Restore(ArchiveBoard& b, const Actor& actor, const std::string& forum) {
  return b.Post(&Corkboard::RestoreArchive, "/archive.asp",
                {{"action", "submitrestore"}, {"topic", b.Id(b.topic)}, {"RestoreToForum", forum}},
                actor);
}

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

TEST(ArchiveMaintenance, RoundTripLiveArchiveLiveKeepsEveryPost) {
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
  ASSERT_TRUE(Has(archived, "移动完成")) << archived;
  EXPECT_EQ(ThreadRows(b.board, "post", b.topic), "");
  EXPECT_EQ(ThreadRows(b.board, "archivelist", b.topic), live);
  EXPECT_EQ(test::CounterDisagreements(b.board), "");

  const std::string restored = b.Post(
      &Corkboard::RestoreArchive, "/archive.asp",
      {{"action", "submitrestore"}, {"topic", b.Id(b.topic)}, {"RestoreToForum", test::kForumA}},
      test::kModA);
  EXPECT_TRUE(Has(restored, "主题：你好已经恢复到论坛，您将在2秒内被自动转送到灌水乐园贴子列表"))
      << restored;
  EXPECT_EQ(ThreadRows(b.board, "post", b.topic), live);
  EXPECT_EQ(ThreadRows(b.board, "archivelist", b.topic), "");
  EXPECT_EQ(Counters(b.board), counters);
  EXPECT_EQ(test::CounterDisagreements(b.board), "");
}

TEST(ArchiveMaintenance, RestoreToAnotherForumAndRefusals) {
  const char* kNoRight = "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";
  const char* kNoForum = "请您选择转移目的地，按返回按钮重新选择！";
  struct Case {
    const char* name;
    Actor actor;
    const char* forum;
    bool live;  // the thread is still in its forum too
    const char* expected;
  };
  const Case cases[] = {
      {"administrator into B", test::kAdmin, test::kForumB, false, "已经恢复到论坛"},
      {"moderator of A into B", test::kModA, test::kForumB, false, kNoRight},
      {"moderator of B into B", kModB, test::kForumB, false, kNoRight},
      {"private forum not entered", test::kAdmin, test::kSecret, false, kNoForum},
      {"still live", test::kAdmin, test::kForumA, true, "对不起，该话题仍在论坛中，不能恢复！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ArchiveBoard b;
    AddModeratorOfB(b);
    if (!c.live) DropLiveThread(b);
    const std::string posts = b.Posts(), archived = b.ArchivedRows();
    const std::string page = Restore(b, c.actor, c.forum);
    EXPECT_TRUE(Has(page, c.expected)) << page;
    const bool done = std::string(c.expected) == "已经恢复到论坛";
    EXPECT_EQ(b.Posts() == posts, !done);
    EXPECT_EQ(b.ArchivedRows() == archived, !done);
    if (done) {
      EXPECT_EQ(b.Count("forumname='技术讨论' and (postid=" + b.Id(b.topic) +
                        " or parentid=" + b.Id(b.topic) + ")"),
                3);
    }
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  }
}

TEST(ArchiveMaintenance, AFailureHalfWayChangesNothing) {
  struct Case {
    const char* name;
    const char *when, *table, *condition;
  };
  const Case cases[] = {
      {"restoring the second reply fails", "AFTER INSERT", "post", "new.message='再回复'"},
      {"emptying the archive fails", "BEFORE DELETE", "archivelist", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ArchiveBoard b;
    DropLiveThread(b);
    b.board.FailWhen(c.when, c.table, c.condition);
    const std::string posts = b.Posts(), archived = b.ArchivedRows();
    EXPECT_TRUE(Has(Restore(b, test::kAdmin, test::kForumA), "错误号："));
    EXPECT_EQ(b.Posts(), posts);
    EXPECT_EQ(b.ArchivedRows(), archived);
    EXPECT_EQ(test::CounterDisagreements(b.board), "");
  }
}

// Each action on bob's archived thread, as each kind of member; changed: whether the archive
// changed afterwards.
TEST(ArchiveMaintenance, AccessPerRoleAndAction) {
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
    ArchiveBoard b;
    AddModeratorOfB(b);
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

TEST(ArchiveMaintenance, MoveTakesTheRepliesAlong) {
  ArchiveBoard b;
  const std::string page = b.Post(
      &Corkboard::TransferArchive, "/archive.asp",
      {{"action", "submittransfer"}, {"topic", b.Id(b.topic)}, {"ArchiveSelect", b.Id(b.older)}},
      test::kModA);
  EXPECT_TRUE(Has(page, "主题：你好移动完成，您将在2秒内被自动转送到贴子列表。")) << page;
  EXPECT_TRUE(Has(page, "URL='archivelist.asp?archiveid=" + b.Id(b.older) + "'"));
  EXPECT_EQ(b.Archived("archiveid=" + b.Id(b.older)), 3);
  EXPECT_EQ(b.Archived("archiveid=" + b.Id(b.gems)), 0);

  // An archive that does not exist; the archive that already holds it.
  const std::pair<std::string, const char*> refusals[] = {
      {"99", "请您选择归档档案，请按返回按钮重新选择！"},
      {b.Id(b.older), "对不起，该主题已经存在于档案中，请选择其他主题！"}};
  for (const auto& [target, expected] : refusals) {
    EXPECT_TRUE(Has(
        b.Post(&Corkboard::TransferArchive, "/archive.asp",
               {{"action", "submittransfer"}, {"topic", b.Id(b.topic)}, {"ArchiveSelect", target}},
               test::kAdmin),
        expected));
  }
  EXPECT_EQ(b.Archived("archiveid=" + b.Id(b.older)), 3);
}

TEST(ArchiveMaintenance, Forms) {
  ArchiveBoard b;
  EXPECT_GOLDEN("archives/transfer_form_cbk",
                b.Get(&Corkboard::TransferArchive,
                      "/archive.asp?action=transferarchive&topic=" + b.Id(b.topic)));
  EXPECT_GOLDEN("archives/edit_form_cbk",
                b.Get(&Corkboard::ArchiveEditPost, "/posting.asp?Forum=" + b.Id(b.gems) +
                                                       "&Topic=" + b.Id(b.reply) +
                                                       "&TopicSubject=x&action=editarchive"));
  // A GET only asks, even for a signed-in administrator.
  b.host.SignIn(test::kAdmin.name, test::kAdmin.password);
  const std::string before = b.ArchivedRows();
  // The restore form offers the forums he may enter, the thread's own chosen.
  std::string forms = test::GoldenCase(
      "delete",
      b.Get(&Corkboard::DeleteArchive, "/posting.asp?action=deletearchive&topic=" + b.Id(b.topic)));
  EXPECT_EQ(b.ArchivedRows(), before);
  forms += test::GoldenCase("restore",
                            b.Get(&Corkboard::RestoreArchive,
                                  "/archive.asp?action=restorearchive&topic=" + b.Id(b.topic)));
  EXPECT_GOLDEN("archives/signed_in_forms", forms);
  struct Case {
    void (Corkboard::*page)();
    std::string url;
    const char* expected;
  };
  const Case refusals[] = {
      {&Corkboard::TransferArchive, "/archive.asp?action=transferarchive&topic=x", "参数错误！"},
      {&Corkboard::TransferArchive, "/archive.asp?action=transferarchive&topic=" + b.Id(b.reply),
       "参数错误！"},
      {&Corkboard::DeleteArchive, "/posting.asp?action=deletearchive&topic=4000", "参数错误！"},
      {&Corkboard::ArchiveEditPost, "/posting.asp?action=editarchive&Topic=x", "参数错误!"},
      {&Corkboard::ArchiveEditPost, "/posting.asp?action=editarchive&Topic=4000",
       "该贴子已不存在，可能被其他人删除！"},
  };
  for (const Case& c : refusals) EXPECT_TRUE(Has(b.Get(c.page, c.url), c.expected)) << c.url;
}

TEST(ArchiveMaintenance, Edits) {
  ArchiveBoard b;
  AddModeratorOfB(b);
  // A second copy of the thread in the other archive stays as it was.
  b.board.Exec(
      "insert into archivelist (archiveid,postid,parentid,forumname,username,subject,"
      "message) select " +
      b.Id(b.older) +
      ",postid,parentid,forumname,username,subject,message from "
      "archivelist where archiveid=" +
      b.Id(b.gems));
  auto edit = [&](int64_t post, const Actor& actor, const char* subject, const char* message) {
    return b.Post(&Corkboard::ArchiveSubmitEdit, "/posting.asp",
                  {{"action", "archivesubmitedit"},
                   {"archiveid", b.Id(b.gems)},
                   {"topic", b.Id(post)},
                   {"TopicSubject", subject},
                   {"message", message}},
                  actor);
  };
  // bob edits his own reply: its message and the note of this edit change, nothing else.
  const std::string own = edit(b.own_reply, test::kBob, "忽略", "改过 <b>");
  EXPECT_TRUE(Has(own, "你好，谢谢你编辑贴子")) << own;
  EXPECT_TRUE(Has(own, "URL='archivecontent.asp?id=" + b.Id(b.topic)));
  const std::string row = "archiveid=" + b.Id(b.gems) + " and postid=" + b.Id(b.own_reply);
  EXPECT_EQ(b.board.Scalar("select message from archivelist where " + row).Str(), "改过 <b>");
  EXPECT_EQ(b.board.Scalar("select edithistory from archivelist where " + row).Str(),
            "[这消息被bob编辑过(编辑时间2024-05-09 10:20:30)]<br>");
  EXPECT_EQ(b.Archived("subject='你好'"), 6);

  EXPECT_TRUE(Has(edit(b.reply, kModB, "x", "y"), "对不起，你没有编辑或删除该贴子的权限"));

  // The moderator renames the topic: every post of this copy takes the subject.
  EXPECT_TRUE(Has(edit(b.topic, test::kModA, "新<名>", "新内容"), "新&lt;名&gt;，谢谢你编辑贴子"));
  EXPECT_EQ(b.Archived("archiveid=" + b.Id(b.gems) + " and subject='新<名>'"), 3);
  EXPECT_EQ(b.Archived("archiveid=" + b.Id(b.older) + " and subject='你好'"), 3);
  EXPECT_EQ(b.Archived("archiveid=" + b.Id(b.older) + " and message='再回复'"), 1);
}

}  // namespace
}  // namespace cb
