// The board's tables. Counters (topiccount, replycount, last post, postcount) are kept by the
// backend's triggers; see the backend's schema file.
#include "store/schema.h"

#include <map>

#include "runtime/convert.h"

namespace cb {

namespace {

using K = ColumnKind;
using D = DefaultKind;

ColumnDef Col(std::string name, K kind) { return {std::move(name), kind}; }
ColumnDef Now(std::string name) { return {std::move(name), K::kDate, D::kNow, ""}; }
ColumnDef Num(std::string name, K kind, std::string v) {
  return {std::move(name), kind, D::kNumber, std::move(v)};
}

std::vector<TableDef> MakeTables() {
  std::vector<TableDef> t;
  t.push_back({"post",
               {Col("postid", K::kInteger),
                Col("parentid", K::kInteger),
                Col("forumname", K::kText),
                Col("username", K::kText),
                Col("subject", K::kText),
                Col("message", K::kText),
                Now("posttime"),
                Col("hits", K::kInteger),
                Num("replycount", K::kInteger, "0"),
                Col("lastreplyposttime", K::kDate),
                Col("lastreplyusername", K::kText),
                {"status", K::kText, D::kText, "open"},
                Col("icon", K::kInteger),
                Num("usesign", K::kFlag, "0"),
                Num("smiles", K::kFlag, "1"),
                Num("emailnotification", K::kFlag, "0"),
                Col("ip", K::kText),
                Col("edithistory", K::kText)},
               "postid",
               // Topic lists: parentid is NULL for topics, so both serve "parentid is null ...
               // order by lastreplyposttime", and the first covers the count of a forum's list.
               {{"post_topics_by_forum", {"forumname", "parentid", "lastreplyposttime"}},
                {"post_topics_by_last_reply", {"parentid", "lastreplyposttime"}},
                {"post_by_parent", {"parentid", "posttime"}},
                {"post_by_forum_time", {"forumname", "posttime"}},
                {"post_by_user", {"username"}},
                // A search that finds many posts walks this for its newest ones.
                {"post_by_time", {"posttime"}}}});
  t.push_back({"forum",
               {Col("forumname", K::kText), Col("descript", K::kText), Col("catalog", K::kText),
                Num("sequence", K::kInteger, "0"), Num("topiccount", K::kInteger, "0"),
                Num("replycount", K::kInteger, "0"), Col("lastposttime", K::kDate),
                Col("lastpostusername", K::kText), Col("forummaster", K::kText),
                Col("restrict", K::kText), Col("forumpassword", K::kText)},
               "",
               {{"forum_name", {"forumname"}, true}, {"forum_sequence", {"sequence"}}}});
  t.push_back({"register",
               {Col("username", K::kText),
                {"password", K::kText, D::kNone, "", true},
                Col("email", K::kText),
                Num("emailview", K::kFlag, "0"),
                Col("url", K::kText),
                Col("icq", K::kText),
                Col("oicq", K::kText),
                Col("location", K::kText),
                Col("occupation", K::kText),
                Col("interests", K::kText),
                Col("signature", K::kText),
                Col("nickname", K::kText),
                Col("icon", K::kText),
                Num("postcount", K::kInteger, "0"),
                Num("jf", K::kInteger, "0"),
                Now("signdate"),
                Col("status", K::kText),
                Num("canpost", K::kFlag, "1"),
                Num("namestorage", K::kFlag, "1"),
                Col("daysprune", K::kInteger),
                Num("allowmassmail", K::kFlag, "1"),
                Col("uploaddir", K::kText)},
               "",
               {{"register_name", {"username"}, true},
                {"register_email", {"email"}},
                {"register_signdate", {"signdate"}},
                {"register_postcount", {"postcount"}},
                {"register_jf", {"jf"}}}});
  t.push_back({"moderated",
               {Col("forum", K::kText), Col("moderater", K::kText), Now("SignDate")},
               "",
               {{"moderated_forum", {"forum", "moderater"}}, {"moderated_member", {"moderater"}}}});
  t.push_back(
      {"archive",
       {Col("archiveid", K::kInteger), Col("archivename", K::kText), Col("descript", K::kText)},
       "archiveid",
       {}});
  t.push_back({"archivelist",
               {Col("archiveid", K::kInteger), Col("postid", K::kInteger),
                Col("parentid", K::kInteger), Col("forumname", K::kText), Col("username", K::kText),
                Col("posttime", K::kDate), Col("message", K::kText), Col("subject", K::kText),
                Num("usesign", K::kFlag, "0"), Col("status", K::kText),
                Col("edithistory", K::kText), Col("hits", K::kInteger), Col("icon", K::kInteger),
                Num("emailnotification", K::kFlag, "0"), Col("ip", K::kText), Now("archivedate")},
               "",
               {{"archivelist_list", {"archiveid", "archivedate"}},
                {"archivelist_post", {"postid"}},
                {"archivelist_parent", {"parentid"}},
                {"archivelist_user", {"username"}},
                {"archivelist_time", {"posttime"}}}});
  t.push_back({"pm",
               {Col("postid", K::kInteger), Col("recipient", K::kText), Col("sender", K::kText),
                Col("subject", K::kText), Col("message", K::kText), Num("icon", K::kInteger, "1"),
                Num("usesign", K::kFlag, "0"), Now("posttime"), Num("isnew", K::kFlag, "1")},
               "postid",
               {{"pm_inbox", {"recipient", "posttime"}}, {"pm_sender", {"sender"}}}});
  t.push_back({"outbox",
               {Col("postid", K::kInteger), Num("usesign", K::kFlag, "0"), Col("sender", K::kText),
                Col("recipient", K::kText), Col("subject", K::kText), Col("message", K::kText),
                Num("icon", K::kInteger, "1"), Now("posttime")},
               "",
               {{"outbox_post", {"postid"}},
                {"outbox_sender", {"sender", "posttime"}},
                {"outbox_recipient", {"recipient"}}}});
  t.push_back({"announce",
               {Col("id", K::kInteger), Col("username", K::kText), Col("subject", K::kText),
                Col("content", K::kText), Col("startdate", K::kDate), Col("enddate", K::kDate),
                Now("posttime")},
               "id",
               {{"announce_posttime", {"posttime"}}, {"announce_user", {"username"}}}});
  t.push_back({"announceto",
               {Col("id", K::kInteger), Col("forumname", K::kText)},
               "",
               {{"announceto_id", {"id"}}, {"announceto_forum", {"forumname", "id"}}}});
  t.push_back({"favor",
               {Col("username", K::kText), Col("postid", K::kInteger), Now("favordate")},
               "",
               {{"favor_pair", {"username", "postid"}, true}, {"favor_post", {"postid"}}}});
  t.push_back({"subscibe",
               {Col("username", K::kText), Col("forumname", K::kText)},
               "",
               {{"subscibe_user", {"username"}}, {"subscibe_forum", {"forumname"}}}});
  t.push_back({"ignorelist",
               {Col("username", K::kText), Col("ignoreusername", K::kText), Now("dateandtime")},
               "",
               {{"ignorelist_user", {"username", "ignoreusername"}},
                {"ignorelist_ignored", {"ignoreusername"}}}});
  return t;
}

struct NameKinds {
  std::map<std::string, ColumnKind> kinds;  // lower-cased name -> agreed kind or kUnknown
};

const NameKinds& Kinds() {
  static const NameKinds k = [] {
    NameKinds n;
    for (const TableDef& t : BoardTables()) {
      for (const ColumnDef& c : t.columns) {
        auto [it, fresh] = n.kinds.emplace(ToLower(c.name), c.kind);
        if (!fresh && it->second != c.kind) it->second = ColumnKind::kUnknown;
      }
    }
    return n;
  }();
  return k;
}

}  // namespace

const ColumnDef* TableDef::Find(std::string_view column) const {
  for (const ColumnDef& c : columns) {
    if (EqualsNoCase(c.name, column)) return &c;
  }
  return nullptr;
}

const std::vector<TableDef>& BoardTables() {
  static const std::vector<TableDef> tables = MakeTables();
  return tables;
}

const TableDef* FindTable(std::string_view name) {
  for (const TableDef& t : BoardTables()) {
    if (EqualsNoCase(t.name, name)) return &t;
  }
  return nullptr;
}

bool IsDateColumnName(std::string_view name) { return ColumnNameKind(name) == ColumnKind::kDate; }

ColumnKind ColumnNameKind(std::string_view name) {
  const auto& kinds = Kinds().kinds;
  auto it = kinds.find(ToLower(name));
  return it == kinds.end() ? ColumnKind::kUnknown : it->second;
}

}  // namespace cb
