// Online presence: UpdateOnline keeps the application's online table (who was seen in the last
// OnlineTime minutes, where, since when) and its two counters; GetSessionLoginDT the visit cookie.
#include <algorithm>
#include <chrono>
#include <utility>

#include "browse/online_share.h"
#include "frame/corkboard.h"
#include "runtime/convert.h"

namespace cb {

namespace {

using namespace online;
// A page waits at most this long for the application lock; past it the visit goes unrecorded
// rather than holding the page.
constexpr std::chrono::milliseconds kLockWait{500};

bool InUse(const Array2D& t, int row) { return !t.at(row, kAddress).Str().empty(); }

void ClearRow(Array2D& t, int row) {
  for (int c = 0; c < kColumns; ++c) t.at(row, c) = Variant(std::string());
}

Array2D NewTable(int rows) {
  Array2D t(rows, kColumns);
  for (int r = 0; r < rows; ++r) ClearRow(t, r);
  return t;
}

// Whole minutes the row has been idle; a cell that is not a date counts as expired.
int64_t IdleMinutes(const Array2D& t, int row) {
  try {
    return DiffMinutes(t.at(row, kLastActive).CDate(), t.at(row, kCheckTime).CDate());
  } catch (const ScriptError&) {
    return -1;
  }
}

}  // namespace

Corkboard::~Corkboard() = default;

void Corkboard::UpdateOnline(const std::string& address, const std::string& location,
                             std::string& name) {
  name.clear();
  Application& app = Application_();
  if (!app.TryLockFor(kLockWait)) return;
  struct Unlock {
    Application& a;
    ~Unlock() { a.Unlock(); }
  } unlock{app};

  const DateTime now = Now();
  Variant stored = app.Get("Online");
  Array2D table;
  if (stored.type() == VType::kArray && stored.AsArray().cols() == kColumns &&
      stored.AsArray().rows() > 0) {
    table = std::move(stored.MutableArray());  // stored is this page's own copy
  } else {
    table = NewTable(S().maxUser + 1);
  }
  // The table keeps the size it was made with; a changed maxUser must not run past it.
  const int last = std::min<int>(S().maxUser, table.rows() - 1);

  std::string visitor = Session_().Get("UserName").Str();
  if (visitor.empty()) visitor = Request_().Cookies("UserName").Str();

  // Pass 1: find and refresh the visitor's row; stamp every row in use with the check time.
  bool found = false;
  for (int r = 0; r <= last; ++r) {
    if (!InUse(table, r)) continue;
    if (!found) {
      if (table.at(r, kAddress).Str() == address) {
        if (!visitor.empty()) table.at(r, kName) = Variant(visitor);
        found = true;
      } else if (!visitor.empty() && table.at(r, kName).Str() == visitor) {
        table.at(r, kAddress) = Variant(address);
        found = true;
      }
      if (found) {
        table.at(r, kLastActive) = Variant(now);
        table.at(r, kLocation) = Variant(location);
        name = table.at(r, kName).Str();
      }
    }
    table.at(r, kCheckTime) = Variant(now);
  }

  // Pass 2: expire idle rows (and rows whose clock went back).
  for (int r = 0; r <= last; ++r) {
    if (!InUse(table, r)) continue;
    const int64_t idle = IdleMinutes(table, r);
    if (idle >= S().OnlineTime || idle < 0) ClearRow(table, r);
  }

  // Pass 3: count.
  int16_t online = 0, guests = 0;
  for (int r = 0; r <= last; ++r) {
    if (!InUse(table, r)) continue;
    ++online;
    if (table.at(r, kName).Str() == kGuest) ++guests;
  }

  // Pass 4: a new visitor takes the first free row; a full table leaves it unlisted.
  if (!found) {
    for (int r = 0; r <= last; ++r) {
      if (InUse(table, r)) continue;
      if (Request_().Cookies("UserName").Str().empty()) {
        table.at(r, kName) = Variant(kGuest);
        ++guests;
      } else {
        table.at(r, kName) = Variant(visitor);
      }
      ++online;
      table.at(r, kAddress) = Variant(address);
      table.at(r, kLoginTime) = Variant(now);
      table.at(r, kLastActive) = Variant(now);
      table.at(r, kCheckTime) = Variant(now);
      table.at(r, kLocation) = Variant(location);
      name = table.at(r, kName).Str();
      break;
    }
  }

  app.SetQuietly("OnlineCount", Variant(online));
  app.SetQuietly("Online", Variant(std::move(table)));
  app.SetQuietly("GuestCount", Variant(guests));
}

void Corkboard::RecordVisit(const std::string& location) {
  std::string listed;
  UpdateOnline(Request_().ServerVariables("Remote_addr").Str(), location, listed);
}

Variant Corkboard::GetSessionLoginDT() {
  if (auto last = DateTime::Parse(Request_().Cookies("sessionLoginDT").Str())) {
    return Variant(*last);
  }
  const DateTime now = Now();
  const std::string text = now.GeneralText();
  Response_().SetCookie("sessionLoginDT", text);
  Response_().SetCookieExpires("sessionLoginDT", now.DateOnly().AddDays(365));
  return Variant(text);
}

}  // namespace cb
