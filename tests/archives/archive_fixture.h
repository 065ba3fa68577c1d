// The archive pages' test board: the moderation board (forums A, B and a private one; bob, carol,
// a moderator of A and an administrator) with two archives, bob's thread of A archived into the
// first, and helpers that read what is archived.
#pragma once

#include <string>

#include "pages/moderation_fixture.h"

namespace cb::test {

struct ArchiveBoard : ModerationBoard {
  int64_t gems = 0;   // "精华 <2023>", holding bob's thread of A
  int64_t older = 0;  // "旧档案", empty

  ArchiveBoard() {
    gems = board.AddArchive("精华 <2023>", "旧 \"话题\"");
    older = board.AddArchive("旧档案", "");
    board.Exec(
        "update post set edithistory='[这消息被moda编辑过(编辑时间2024-05-03)]<br>' "
        "where postid=" +
        Id(reply));
    board.Exec(
        "Insert Into archivelist (archiveid,postid,forumname,username,posttime,message,Subject,"
        "UseSign,Status,EditHistory,Hits,icon,EMailNotification,ip,parentid,archivedate) select " +
        Id(gems) +
        ",postid,forumname,username,posttime,message,Subject,UseSign,Status,EditHistory,Hits,"
        "icon,EMailNotification,ip,parentid,'2024-05-08 12:00:00' from post where postid=" +
        Id(topic) + " or parentid=" + Id(topic));
  }

  // A second copy of the archived thread in the other archive; subject: an SQL expression.
  void CopyIntoOlder(const std::string& subject) {
    board.Exec(
        "insert into archivelist (archiveid,postid,parentid,forumname,username,subject,message) "
        "select " +
        Id(older) + ",postid,parentid,forumname,username," + subject +
        ",message from archivelist where archiveid=" + Id(gems));
  }
  int64_t Archived(const std::string& where) {
    return board.Scalar("select count(*) from archivelist where " + where).CLng();
  }
  // Every archived row, to show that a refused action changed nothing.
  std::string ArchivedRows() { return Rows("select * from archivelist order by archiveid,postid"); }
};
using ArchiveTest = Fixture<ArchiveBoard>;

}  // namespace cb::test
