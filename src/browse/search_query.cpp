// The statements of the three searches, built from the kept fields with every text quoted, and
// the session's text of a search.
#include "browse/search_query.h"

#include <map>
#include <vector>

#include "frame/procedures.h"
#include "runtime/convert.h"
#include "runtime/percent.h"
#include "runtime/variant.h"

namespace cb {

namespace {

// A text between the '%' of a LIKE literal: wildcards stay literal, quotes are doubled.
std::string Contains(std::string_view text) {
  return "'%" + SqlQuote(Variant(LikeLiteral(text))) + "%'";
}

// One keyword's condition: the first of a list, or a later one joined with "or".
std::string Keyword(const SearchFields& f, std::string_view word, bool first) {
  const std::string p = Contains(word);
  if (f.subject_only) return (first ? " ( subject like " : " or  (subject like ") + p + ")";
  return (first ? " (subject like " : " or  (subject like ") + p + " or message like " + p + ")";
}

std::vector<std::string_view> SplitAtSpaces(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t at; (at = text.find(' ', start)) != std::string_view::npos; start = at + 1) {
    out.push_back(text.substr(start, at - start));
  }
  out.push_back(text.substr(start));
  return out;
}

// The condition C of a simple search, built in the order keywords, forum, author, date.
std::string Condition(const SearchFields& f) {
  std::string c;
  if (!f.terms.empty()) {
    if (f.all_words) {
      c = Keyword(f, f.terms, true);
    } else {
      bool first = true;
      for (std::string_view word : SplitAtSpaces(f.terms)) {
        c += Keyword(f, word, first);
        first = false;
      }
      c = "(" + c + ")";
    }
  }
  if (f.forum != "all") {
    if (f.forum.starts_with("archive_")) {
      const int32_t archive = Variant(f.forum.substr(8)).CLng();
      c += (c.empty() ? " post.archiveid=" : " and  post.archiveid=") + std::to_string(archive);
    } else {
      c += (c.empty() ? " post.forumname='" : " and post.forumname='") +
           SqlQuote(Variant(f.forum)) + "'";
    }
  }
  if (!f.user.empty()) {
    if (f.exact_name) {
      c += (c.empty() ? " username='" : " and username='") + SqlQuote(Variant(f.user)) + "'";
    } else {
      c += (c.empty() ? "  username like " : " and username like ") + Contains(f.user);
    }
  }
  if (!f.since.empty()) c += (c.empty() ? " (posttime>='" : " and   (posttime>='") + f.since + "')";
  return c;
}

constexpr const char* kLive =
    "SELECT 0 as isarchive,(CASE WHEN parentid IS NULL THEN postid ELSE parentid END) AS id, "
    "username, ";
constexpr const char* kArchived =
    " SELECT 1 as isarchive,(CASE WHEN parentid IS NULL THEN postid ELSE parentid END) AS id, "
    "username, ";
constexpr const char* kArchivedColumns =
    " posttime AS lastlytime, subject, archive.archivename as forumname ";

// The pieces of a statement that differ by plan.
struct Pieces {
  std::string distinct;  // after each SELECT of a union
  std::string join;      // the union of live and archived rows
  std::string live_hint, archived_hint;
};

Pieces PiecesOf(SearchPlan plan) {
  Pieces p{"", " Union ", "", ""};
  if (plan == SearchPlan::kCounted) p = {"DISTINCT ", " Union All ", "", ""};
  if (plan == SearchPlan::kNewestFirst) {
    p.live_hint = " WITH (INDEX(post_by_time))";
    p.archived_hint = " WITH (INDEX(archivelist_time))";
  }
  return p;
}

std::string LiveFrom(const Pieces& p) {
  return " From post" + p.live_hint +
         " inner join forum on post.forumname=forum.forumname where "
         "isnull([restrict],'')<>'private' ";
}

std::string Select(const char* head, const Pieces& p) {
  std::string s = head;
  const size_t at = s.find("SELECT ") + 7;
  return s.insert(at, p.distinct);
}

std::string SimpleSearchSql(const SearchFields& f, SearchPlan plan) {
  const std::string c = Condition(f);
  const Pieces all = PiecesOf(plan);
  // One forum or one archive is no union: nothing to make distinct.
  const Pieces one = PiecesOf(plan == SearchPlan::kCounted ? SearchPlan::kListed : plan);
  const Pieces& p = f.forum == "all" ? all : one;
  const std::string archived = Select(kArchived, p) + kArchivedColumns +
                               " FROM archivelist as post" + p.archived_hint + " INNER JOIN " +
                               " archive ON archive.archiveid = post.archiveid where " + c +
                               " ORDER BY posttime DESC ";
  if (c.empty()) {
    return Select(kLive, p) + " posttime As lastlytime, subject, post.forumname " + LiveFrom(p) +
           " " + p.join +
           Select(
               " SELECT  1 as isarchive,(CASE WHEN parentid IS NULL THEN postid ELSE parentid "
               "END) AS id, username, ",
               p) +
           kArchivedColumns + " FROM archivelist" + p.archived_hint + " INNER JOIN " +
           " archive ON archive.archiveid = archivelist.archiveid " + " ORDER BY posttime DESC ";
  }
  if (f.forum == "all") {
    return Select(kLive, p) + " posttime As lastlytime, subject, post.forumname " + LiveFrom(p) +
           " and " + c + p.join + archived;
  }
  if (f.forum.starts_with("archive_")) return archived;
  // Unordered: its first rows are read as found, with no index to walk.
  return std::string(kLive) + " posttime As lastlytime, subject, post.forumname  " +
         LiveFrom(PiecesOf(SearchPlan::kListed)) + "and " + c;
}

}  // namespace

SearchFields SimpleSearch(const SearchForm& form, const DateTime& now) {
  SearchFields f;
  f.terms = ToLower(form.terms);
  f.all_words = ToLower(form.boolean_and) != "no";
  f.forum = ToLower(form.forum_choice);
  f.subject_only = ToLower(form.search_in) != "all";
  const std::string date = ToLower(form.search_date);
  if (date != "all") f.since = now.AddDays(-Variant(date).CInt()).YmdHms();
  f.user = form.search_user;
  f.exact_name = ToLower(form.exact_name) == "yes";
  return f;
}

SearchFields DailySearch(const DateTime& now) {
  SearchFields f;
  f.kind = SearchKind::kDaily;
  f.day = now.Ymd();
  return f;
}

SearchFields MemberSearch(std::string member) {
  SearchFields f;
  f.kind = SearchKind::kMember;
  f.user = std::move(member);
  return f;
}

std::string SearchSql(const SearchFields& f, SearchPlan plan) {
  switch (f.kind) {
    case SearchKind::kSimple:
      return SimpleSearchSql(f, plan);
    case SearchKind::kDaily: {
      const DateTime day = DateTime::Parse(f.day).value_or(DateTime());
      return "select 0 as isarchive,postid as id,username,lastreplyposttime as lastlytime,"
             "subject,post.forumname from post inner join forum on "
             "post.forumname=forum.forumname  where parentid is null and  "
             "year(lastreplyposttime)=" +
             std::to_string(day.year()) +
             " and month(lastreplyposttime)=" + std::to_string(day.month()) +
             " and day(lastreplyposttime)=" + std::to_string(day.day()) +
             "    and isnull([restrict],'')<>'private' order by lastreplyposttime desc";
    }
    case SearchKind::kMember:
      return "select 0 as isarchive,username,subject,post.ForumName,posttime as lastlytime,case "
             "when parentid is null then postid else parentid end  as id from post inner join "
             "forum on post.forumname=forum.forumname where username='" +
             SqlQuote(Variant(f.user)) +
             "' and isnull([restrict],'')<>'private' order by posttime desc";
  }
  return "";
}

namespace {

constexpr const char* kKinds[] = {"simple", "daily", "member"};

void Field(std::string& out, const char* name, std::string_view value) {
  if (!out.empty()) out += '&';
  out += name;
  out += '=';
  for (unsigned char c : value) {
    if (c == '%' || c == '&' || c == '=' || c < 0x20) {
      AppendPercentEscape(c, out);
    } else {
      out += static_cast<char>(c);
    }
  }
}

// A kept date back as the stored form, or nothing when it is not a date.
std::optional<std::string> KeptDate(const std::string& text, bool with_time) {
  if (text.empty()) return text;
  std::optional<DateTime> d = DateTime::Parse(text);
  if (!d) return std::nullopt;
  return with_time ? d->YmdHms() : d->Ymd();
}

}  // namespace

std::string KeepSearch(const SearchFields& f) {
  std::string out;
  Field(out, "kind", kKinds[static_cast<int>(f.kind)]);
  Field(out, "terms", f.terms);
  Field(out, "all", f.all_words ? "1" : "0");
  Field(out, "forum", f.forum);
  Field(out, "subject", f.subject_only ? "1" : "0");
  Field(out, "since", f.since);
  Field(out, "user", f.user);
  Field(out, "exact", f.exact_name ? "1" : "0");
  Field(out, "day", f.day);
  return out;
}

std::optional<SearchFields> KeptSearch(std::string_view kept) {
  std::map<std::string, std::string> v;
  size_t start = 0;
  while (start <= kept.size()) {
    size_t end = kept.find('&', start);
    if (end == std::string_view::npos) end = kept.size();
    std::string_view pair = kept.substr(start, end - start);
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    v[std::string(pair.substr(0, eq))] = PercentDecode(pair.substr(eq + 1), false);
    start = end + 1;
  }
  SearchFields f;
  int kind = -1;
  for (int k = 0; k < 3; ++k) {
    if (v["kind"] == kKinds[k]) kind = k;
  }
  std::optional<std::string> since = KeptDate(v["since"], true);
  std::optional<std::string> day = KeptDate(v["day"], false);
  if (kind < 0 || !since || !day) return std::nullopt;
  f.kind = static_cast<SearchKind>(kind);
  f.terms = v["terms"];
  f.all_words = v["all"] == "1";
  f.forum = v["forum"];
  f.subject_only = v["subject"] == "1";
  f.since = *since;
  f.user = v["user"];
  f.exact_name = v["exact"] == "1";
  f.day = *day;
  if (f.kind == SearchKind::kDaily && f.day.empty()) return std::nullopt;
  return f;
}

}  // namespace cb
