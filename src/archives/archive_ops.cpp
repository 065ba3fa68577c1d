// Archived-thread changes shared by the archive pages and the archive centre.
#include "archives/archive_ops.h"

#include "archives/archive_rules.h"
#include "frame/procedures.h"
#include "posting/thread_ops.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

namespace {

// The rows of one archived thread in one archive.
std::string ThreadRows(int32_t topic, int32_t archive) {
  const std::string id = std::to_string(topic);
  return " where archiveid=" + std::to_string(archive) + " and (postid=" + id +
         " or parentid=" + id + ")";
}

}  // namespace

int32_t ArchiveHolding(Connection& con, int32_t postid, int32_t preferred) {
  const std::string id = std::to_string(postid);
  if (preferred > 0 && !con.Execute("select archiveid from archivelist where postid=" + id +
                                    " and archiveid=" + std::to_string(preferred))
                            ->Eof()) {
    return preferred;
  }
  auto rs = con.Execute("select min(archiveid) from archivelist where postid=" + id);
  return rs->Eof() || rs->Fields(0).IsNull() ? 0 : rs->Fields(0).CLng();
}

ArchivedPost LoadArchivedPost(Connection& con, int32_t id, int32_t preferred, ArchivedFacts& f) {
  ArchivedPost p;
  p.id = id;
  p.archive = ArchiveHolding(con, id, preferred);
  f.found = p.archive != 0;
  if (!f.found) return p;
  auto rs = con.Execute(
      "select archivelist.*,archive.archiveName from archivelist inner join archive on "
      "archivelist.archiveid=archive.archiveid where postid=" +
      std::to_string(id) + " and archivelist.archiveid=" + std::to_string(p.archive));
  // An archive row deleted under the post leaves it unreachable, as if it were gone.
  f.found = !rs->Eof();
  if (!f.found) return p;
  p.archive_name = rs->Fields("archiveName").Str();
  p.forum = rs->Fields("forumname").Str();
  p.author = rs->Fields("username").Str();
  p.subject = rs->Fields("subject").Str();
  p.message = rs->Fields("message").Str();
  p.posttime = rs->Fields("posttime");
  const Variant parent = rs->Fields("parentid");
  f.is_topic = parent.IsNull() || parent.CLng() == 0;
  p.thread = f.is_topic ? id : parent.CLng();
  return p;
}

void MoveArchivedThread(Connection& con, int32_t topic, int32_t from, int32_t to) {
  con.Execute("update archivelist set archiveid=" + std::to_string(to) + ThreadRows(topic, from));
}

void DeleteArchivedPost(Connection& con, int32_t postid, int32_t archive) {
  con.Execute("delete from archivelist" + ThreadRows(postid, archive));
}

void RenameArchivedThread(Connection& con, int32_t topic, int32_t archive,
                          const std::string& subject) {
  con.Execute("update archivelist set subject='" + SqlQuote(Variant(subject)) + "'" +
              ThreadRows(topic, archive));
}

bool ArchivedThreadIsLive(Connection& con, int32_t topic, int32_t archive) {
  const std::string id = std::to_string(topic);
  return !con.Execute(
                 "select top 1 post.postid from post inner join archivelist on "
                 "post.postid=archivelist.postid where archivelist.archiveid=" +
                 std::to_string(archive) + " and (archivelist.postid=" + id +
                 " or archivelist.parentid=" + id + ")")
              ->Eof();
}

void RestoreArchivedThread(Connection& con, int32_t topic, int32_t archive,
                           const std::string& forum) {
  RunInTransaction(con, [&] {
    // The topic first, then its replies in the order written, as the counters expect them.
    con.Execute(
        "insert into post (postid,parentid,forumname,username,posttime,message,subject,usesign,"
        "status,edithistory,hits,icon,emailnotification,ip) select postid,parentid,'" +
        SqlQuote(Variant(forum)) +
        "',username,posttime,message,subject,usesign,status,edithistory,hits,icon,"
        "emailnotification,ip from archivelist" +
        ThreadRows(topic, archive) + " order by postid");
    DeleteArchivedPost(con, topic, archive);
  });
}

void DeleteArchiveAndPosts(Connection& con, int32_t archive) {
  const std::string id = std::to_string(archive);
  con.Execute("delete from archivelist where archiveid=" + id);
  con.Execute("delete from archive where archiveid=" + id);
}

std::vector<std::string> ArchiveSourceForums(Connection& con, int32_t archive) {
  std::vector<std::string> forums;
  for (auto rs = con.Execute("select distinct forumname from archivelist where archiveid=" +
                             std::to_string(archive));
       !rs->Eof(); rs->MoveNext()) {
    forums.push_back(rs->Fields(0).Str());
  }
  return forums;
}

void EmptyArchiveMenus(Application& app) {
  app.SetEverywhere("ArchiveList", "");
  app.SetEverywhere("ForumAndArchiveList", "");
}

}  // namespace cb
