// A page's checks as data: a table of rules in the order the page applies them, each a test on
// the page's facts and the refusal it gives. Facts the page has not gathered yet pass (they are
// empty optionals), so a page asks again after each step that gathers more, and the first rule
// of the whole table that holds always decides.
#pragma once

#include <cstddef>
#include <optional>

namespace cb {

template <class Facts, class Refusal>
struct Rule {
  Refusal refusal;
  bool (*holds)(const Facts&);
};

template <class Facts, class Refusal, size_t N>
std::optional<Refusal> FirstRefusal(const Rule<Facts, Refusal> (&rules)[N], const Facts& facts) {
  for (const Rule<Facts, Refusal>& rule : rules) {
    if (rule.holds(facts)) return rule.refusal;
  }
  return std::nullopt;
}

// A fact gathered later holds only once it is known: Known(f) once known true, KnownFalse(f) once
// known false.
inline bool Known(const std::optional<bool>& fact) { return fact.value_or(false); }
inline bool KnownFalse(const std::optional<bool>& fact) { return !fact.value_or(true); }

}  // namespace cb
