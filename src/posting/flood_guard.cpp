// The flood guard of topics and replies: one accepted submission per SubmitInterval seconds,
// measured from the last accepted one, per session and per remote address (a visitor who drops
// its session cookie is still held back).
#include <optional>

#include "posting/flood_guard.h"

#include "frame/corkboard.h"
#include "frame/throttle.h"

namespace cb {
namespace {

// Addresses remembered at once; only those that posted within the interval are kept.
constexpr size_t kAddressCapacity = 4000;
constexpr const char* kSubmitTable = "SubmitTimes";

std::optional<DateTime> AsDate(const Variant& v) {
  if (v.type() == VType::kDate) return v.CDate();
  if (v.type() == VType::kString) return DateTime::Parse(v.AsStringRef());
  return std::nullopt;
}

}  // namespace

bool AcceptSubmission(Session& session, Application& app, std::string_view address, DateTime now,
                      int interval) {
  const std::optional<DateTime> last = AsDate(session.Get("SubmitTime"));
  // A refused attempt leaves the stored time alone, so hammering does not extend the wait.
  if (last && DiffSeconds(*last, now) <= interval) return false;

  bool accepted = true;
  ChangeAttempts(app, kSubmitTable, kAddressCapacity,
                 [&](std::vector<AttemptRecord>& records) {
                   // Times past the interval (or ahead of a clock that went back) hold no one.
                   std::erase_if(records, [&](const AttemptRecord& r) {
                     return DiffSeconds(r.last, now) > interval || r.last > now;
                   });
                   for (const AttemptRecord& r : records) {
                     if (r.key == address) accepted = false;
                   }
                   if (accepted) records.push_back({std::string(address), 1, now, now});
                 });
  if (!accepted) return false;
  session.Set("SubmitTime", Variant(now));
  return true;
}

bool Corkboard::PostSubmitCheck() {
  return AcceptSubmission(Session_(), Application_(),
                          Request_().ServerVariables("Remote_addr").Str(), Now(),
                          S().SubmitInterval);
}

}  // namespace cb
