// The derived counters against a full recount from post, as the data maintenance tool recounts
// them: every forum's topics, replies and newest post, every topic's replies and newest reply,
// every member's posts. Where posts share the newest time, any of them may be the one kept.
#pragma once

#include <set>
#include <string>

#include "store/connection.h"
#include "store/recordset.h"
#include "support/test_board.h"

namespace cb::test {

// "" when every counter agrees with the recount, else one line per disagreement.
inline std::string CounterDisagreements(Connection& con) {
  std::string out;
  auto check = [&](const std::string& what, const std::string& stored, const std::string& counted) {
    if (stored != counted) out += what + ": stored " + stored + ", counted " + counted + "\n";
  };
  auto text = [](const Recordset& rs, int i) { return rs.Fields(i).Str(); };
  // "username posttime" of the newest rows of a query of those two, newest first.
  auto newest = [&](const std::string& sql) {
    std::set<std::string> rows;
    std::string time;
    for (auto rs = con.Execute(sql); !rs->Eof() && (rows.empty() || text(*rs, 1) == time);
         rs->MoveNext()) {
      time = text(*rs, 1);
      rows.insert(text(*rs, 0) + " " + time);
    }
    return rows;
  };
  auto check_newest = [&](const std::string& what, const std::string& stored,
                          const std::set<std::string>& rows) {
    if (!rows.empty() && !rows.contains(stored)) check(what, stored, *rows.begin());
  };

  for (auto f = con.Execute("select forumname,isnull(topiccount,0),isnull(replycount,0),"
                            "lastpostusername,lastposttime from forum");
       !f->Eof(); f->MoveNext()) {
    const std::string name = text(*f, 0);
    const std::string where = " from post where forumname='" + name + "'";
    auto c = con.Execute("select count(postid),count(parentid)" + where);
    const long all = c->Fields(0).CLng(), replies = c->Fields(1).CLng();
    check(name + " topics", text(*f, 1), std::to_string(all - replies));
    check(name + " replies", text(*f, 2), std::to_string(replies));
    check_newest(name + " last post", text(*f, 3) + " " + text(*f, 4),
                 newest("select username,posttime" + where + " order by posttime desc"));
  }
  for (auto t = con.Execute("select postid,isnull(replycount,0),lastreplyusername,"
                            "lastreplyposttime,username,posttime from post where parentid is null");
       !t->Eof(); t->MoveNext()) {
    const std::string id = text(*t, 0);
    check("topic " + id + " replies", text(*t, 1),
          con.Execute("select count(postid) from post where parentid=" + id)->Fields(0).Str());
    std::set<std::string> last = newest("select username,posttime from post where parentid=" + id +
                                        " order by posttime desc");
    if (last.empty()) last.insert(text(*t, 4) + " " + text(*t, 5));
    check_newest("topic " + id + " last reply", text(*t, 2) + " " + text(*t, 3), last);
  }
  for (auto m = con.Execute("select username,isnull(postcount,0) from register"); !m->Eof();
       m->MoveNext()) {
    check(text(*m, 0) + " posts", text(*m, 1),
          con.Execute("select count(Postid) from post where  username='" + text(*m, 0) + "'")
              ->Fields(0)
              .Str());
  }
  return out;
}

inline std::string CounterDisagreements(TestBoard& board) {
  return CounterDisagreements(board.con());
}

}  // namespace cb::test
