// Thread changes shared by the posting and control-panel pages.
#include "posting/thread_ops.h"

#include <vector>

#include "frame/procedures.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

void RunInTransaction(Connection& con, const std::function<void()>& change) {
  con.BeginTrans();
  try {
    change();
  } catch (...) {
    try {
      con.RollbackTrans();
    } catch (...) {
      // The first failure is the one to report; closing the connection rolls back anyway.
    }
    throw;
  }
  con.CommitTrans();
}

void DeletePostAndReplies(Connection& con, int32_t postid) {
  const std::string id = std::to_string(postid);
  con.Execute("delete from post where postid=" + id + " or parentid=" + id);
}

void RenameThread(Connection& con, int32_t topic, const std::string& subject) {
  const std::string id = std::to_string(topic);
  con.Execute("update post set subject='" + SqlQuote(Variant(subject)) + "' where parentid=" + id +
              " or postid=" + id);
}

std::string EditNote(const std::string& editor, const std::string& time_text) {
  return "[这消息被" + editor + "编辑过(编辑时间" + time_text + ")]<br>";
}

int32_t MoveThread(Connection& con, int32_t topic, const std::string& target_forum,
                   bool keep_source) {
  const std::string id = std::to_string(topic);
  const std::string target = "'" + SqlQuote(Variant(target_forum)) + "',";
  const std::string hits = keep_source ? "0" : "hits";
  int32_t copy = 0;
  RunInTransaction(con, [&] {
    con.Execute(
        "insert into post "
        "(forumname,hits,usesign,status,subject,message,posttime,icon,username,edithistory,smiles,"
        "emailnotification,ip,lastreplyusername,lastreplyposttime,replycount)  select " +
        target + hits +
        ",usesign,status,subject,message,posttime,icon,username,edithistory,smiles,"
        "emailnotification,ip,lastreplyusername,lastreplyposttime,replycount from post where "
        "postid=" +
        id);
    copy = con.Execute("select @@identity")->Fields(0).CLng();
    // The reply numbers first: the copies are inserted while nothing else is read.
    std::vector<std::string> replies;
    for (auto rs = con.Execute("select postid from post where parentid=" + id + " order by postid");
         !rs->Eof(); rs->MoveNext()) {
      replies.push_back(rs->Fields(0).Str());
    }
    for (const std::string& reply : replies) {
      con.Execute(
          "insert into post "
          "(forumname,hits,usesign,status,subject,message,posttime,icon,username,edithistory,"
          "smiles,parentid,emailnotification,ip,lastreplyusername,lastreplyposttime,replycount)  "
          "select  " +
          target + hits +
          ",usesign,status,subject,message,posttime,icon,username,edithistory,smiles," +
          std::to_string(copy) +
          ",emailnotification,ip,lastreplyusername,lastreplyposttime,replycount from post where "
          "postid=" +
          reply);
    }
    if (keep_source) {
      con.Execute("update post set status='close' where postid=" + id);
    } else {
      DeletePostAndReplies(con, topic);
    }
  });
  return copy;
}

void ArchiveThread(Connection& con, int32_t topic, int32_t archive, bool delete_source) {
  const std::string id = std::to_string(topic);
  RunInTransaction(con, [&] {
    con.Execute(
        "Insert Into archivelist (archiveid,postid,forumname,username,posttime,message,"
        "Subject,UseSign,Status,EditHistory,Hits,icon,EMailNotification,ip,parentid)  select " +
        std::to_string(archive) +
        ",postid,forumname,username,posttime,message,Subject,UseSign,Status,EditHistory,Hits,icon,"
        "EMailNotification,ip,parentid from post  Where PostID=" +
        id + " or Parentid=" + id);
    if (delete_source) DeletePostAndReplies(con, topic);
  });
}

}  // namespace cb
