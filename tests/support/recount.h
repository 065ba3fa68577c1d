// The derived counters against a full recount from post, as the data maintenance tool recounts
// them: every forum's topics, replies and newest post, every topic's replies and newest reply,
// every member's posts. Seed posts at distinct times so that "newest" is unambiguous.
#pragma once

#include <memory>
#include <string>

#include "store/connection.h"
#include "store/recordset.h"
#include "support/test_board.h"

namespace cb::test {

// "" when every counter agrees with the recount, else one line per disagreement.
inline std::string CounterDisagreements(TestBoard& board) {
  Connection& con = board.con();
  std::string out;
  auto check = [&](const std::string& what, const std::string& stored, const std::string& counted) {
    if (stored != counted) out += what + ": stored " + stored + ", counted " + counted + "\n";
  };
  auto text = [](const Recordset& rs, int i) { return rs.Fields(i).Str(); };

  for (auto f = con.Execute("select forumname,isnull(topiccount,0),isnull(replycount,0),"
                            "lastpostusername,lastposttime from forum");
       !f->Eof(); f->MoveNext()) {
    const std::string name = text(*f, 0);
    const std::string where = " from post where forumname='" + name + "'";
    auto c = con.Execute("select count(postid),count(parentid)" + where);
    const long all = c->Fields(0).CLng(), replies = c->Fields(1).CLng();
    check(name + " topics", text(*f, 1), std::to_string(all - replies));
    check(name + " replies", text(*f, 2), std::to_string(replies));
    auto last = con.Execute("select top 1 username,posttime" + where + " order by posttime desc");
    if (!last->Eof()) {
      check(name + " last post", text(*f, 3) + " " + text(*f, 4),
            text(*last, 0) + " " + text(*last, 1));
    }
  }
  for (auto t = con.Execute("select postid,isnull(replycount,0),lastreplyusername,"
                            "lastreplyposttime,username,posttime from post where parentid is null");
       !t->Eof(); t->MoveNext()) {
    const std::string id = text(*t, 0);
    check("topic " + id + " replies", text(*t, 1),
          con.Execute("select count(postid) from post where parentid=" + id)->Fields(0).Str());
    auto last = con.Execute("select top 1 username,posttime from post where parentid=" + id +
                            " order by posttime desc");
    const std::string newest =
        last->Eof() ? text(*t, 4) + " " + text(*t, 5) : text(*last, 0) + " " + text(*last, 1);
    check("topic " + id + " last reply", text(*t, 2) + " " + text(*t, 3), newest);
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

}  // namespace cb::test
