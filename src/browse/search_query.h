// The searches of search.asp as data: what a visitor asked for, the text the session keeps of
// it between pages, and the statement the board builds from it. The statement is always rebuilt
// from the kept values, each put in as a quoted literal, so paging never runs text of a request.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/datetime.h"

namespace cb {

enum class SearchKind { kSimple, kDaily, kMember };

struct SearchFields {
  SearchKind kind = SearchKind::kSimple;
  std::string terms;          // SearchTerms, lower-cased
  bool all_words = true;      // BooleanAnd is not "no"
  std::string forum = "all";  // ForumChoice, lower-cased: "all", a forum, "archive_" + number
  bool subject_only = false;  // SearchIn is not "all"
  std::string since;          // SearchDate as the cutoff "yyyy-mm-dd hh:nn:ss"; "" all dates
  std::string user;           // SearchUser, or the member of searchuser, as typed
  bool exact_name = false;    // ExactName is "yes"
  std::string day;            // getdaily: the day "yyyy-mm-dd"
};

// The form of a simple search as posted. Raises the run-time error of a SearchDate that is not a
// 16-bit number.
struct SearchForm {
  std::string terms, boolean_and, forum_choice, search_in, search_date, search_user, exact_name;
};
SearchFields SimpleSearch(const SearchForm& form, const DateTime& now);
SearchFields DailySearch(const DateTime& now);
SearchFields MemberSearch(std::string member);

// How a simple search's statement is put. kListed: as the board lists results. kCounted: the
// same rows for counting, each half of a union made distinct and the halves joined without a
// second de-duplication (a live and an archived row never match), so a bounded count stops
// early. kNewestFirst: the listed rows, ordered ones read through the posting-time indexes, so
// that the first pages of a search that finds many posts read only those pages' rows.
enum class SearchPlan { kListed, kCounted, kNewestFirst };

// The statement of a search (the plan applies to simple searches). Raises the run-time error of
// an archive number that is not a whole number.
std::string SearchSql(const SearchFields& f, SearchPlan plan = SearchPlan::kListed);

// The session's text of a search, and the search read back from it (nothing when the text is
// not one this board wrote).
std::string KeepSearch(const SearchFields& f);
std::optional<SearchFields> KeptSearch(std::string_view kept);

}  // namespace cb
