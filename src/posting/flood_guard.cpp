// The per-session flood guard of topics and replies: one accepted submission per SubmitInterval
// seconds, measured from the last accepted one.
#include <optional>

#include "frame/corkboard.h"

namespace cb {
namespace {

std::optional<DateTime> AsDate(const Variant& v) {
  if (v.type() == VType::kDate) return v.CDate();
  if (v.type() == VType::kString) return DateTime::Parse(v.AsStringRef());
  return std::nullopt;
}

}  // namespace

bool Corkboard::PostSubmitCheck() {
  const DateTime now = Now();
  const std::optional<DateTime> last = AsDate(Session_().Get("SubmitTime"));
  // A refused attempt leaves the stored time alone, so hammering does not extend the wait.
  if (last && DiffSeconds(*last, now) <= S().SubmitInterval) return false;
  Session_().Set("SubmitTime", Variant(now));
  return true;
}

}  // namespace cb
