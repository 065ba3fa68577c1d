// The online table shared between processes through one shared value, merged once a second.
#include "browse/online_share.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "frame/settings.h"
#include "runtime/fields.h"
#include "runtime/script_error.h"

namespace cb {

namespace {

constexpr const char* kSharedName = "Online";
constexpr std::chrono::seconds kInterval{1};
// As UpdateOnline: past this wait the round is skipped rather than holding pages.
constexpr std::chrono::milliseconds kLockWait{500};

std::vector<OnlineRow> RowsOf(const Variant& stored) {
  std::vector<OnlineRow> rows;
  if (stored.type() != VType::kArray || stored.AsArray().cols() != online::kColumns) return rows;
  const Array2D& t = stored.AsArray();
  for (int r = 0; r < t.rows(); ++r) {
    if (t.at(r, online::kAddress).Str().empty()) continue;
    try {
      rows.push_back({t.at(r, online::kName).Str(), t.at(r, online::kAddress).Str(),
                      t.at(r, online::kLocation).Str(), t.at(r, online::kLoginTime).CDate(),
                      t.at(r, online::kLastActive).CDate()});
    } catch (const ScriptError&) {
      // A row that is not what UpdateOnline writes is not shared.
    }
  }
  return rows;
}

std::string Encoded(const std::vector<OnlineRow>& rows) {
  std::string out;
  for (const OnlineRow& r : rows) {
    PutField(out, r.name);
    PutField(out, r.address);
    PutField(out, r.location);
    PutField(out, std::to_string(r.login.seconds()));
    PutField(out, std::to_string(r.last.seconds()));
  }
  return EscapeForText(out);
}

std::vector<OnlineRow> Decoded(std::string_view stored) {
  const std::string raw = UnescapeText(stored);
  std::string_view in = raw;
  std::vector<OnlineRow> rows;
  while (!in.empty()) {
    std::optional<std::string_view> f[5];
    for (auto& field : f) {
      field = TakeField(in);
      if (!field) return rows;
    }
    try {
      rows.push_back({std::string(*f[0]), std::string(*f[1]), std::string(*f[2]),
                      DateTime::FromSeconds(std::stoll(std::string(*f[3]))),
                      DateTime::FromSeconds(std::stoll(std::string(*f[4])))});
    } catch (const std::exception&) {
      return rows;
    }
  }
  return rows;
}

}  // namespace

std::vector<OnlineRow> MergeOnline(std::vector<OnlineRow> base,
                                   const std::vector<OnlineRow>& incoming, DateTime now,
                                   int online_minutes, size_t capacity) {
  for (const OnlineRow& row : incoming) {
    auto same = std::find_if(base.begin(), base.end(),
                             [&](const OnlineRow& b) { return b.address == row.address; });
    if (same == base.end()) {
      base.push_back(row);
    } else if (row.last > same->last) {
      *same = row;
    }
  }
  std::erase_if(base, [&](const OnlineRow& r) {
    const int64_t idle = DiffMinutes(r.last, now);
    return idle >= online_minutes || idle < 0;
  });
  if (base.size() > capacity) {
    std::stable_sort(base.begin(), base.end(),
                     [](const OnlineRow& a, const OnlineRow& b) { return a.last > b.last; });
    base.resize(capacity);
  }
  return base;
}

void ShareOnline(Application& app, SharedState& shared, DateTime since, DateTime now) {
  Settings s;
  LoadSettings(app, s);
  const size_t capacity = static_cast<size_t>(std::max<int>(s.maxUser, 0)) + 1;
  std::vector<OnlineRow> mine;
  if (!app.TryLockFor(kLockWait)) return;
  for (OnlineRow& row : RowsOf(app.Get("Online"))) {
    if (row.last >= since) mine.push_back(std::move(row));
  }
  app.Unlock();

  const std::string all = shared.ChangeValue(kSharedName, [&](std::string& text) {
    text = Encoded(MergeOnline(Decoded(text), mine, now, s.OnlineTime, capacity));
  });

  if (!app.TryLockFor(kLockWait)) return;
  struct Unlock {
    Application& a;
    ~Unlock() { a.Unlock(); }
  } unlock{app};
  const Variant stored = app.Get("Online");
  std::vector<OnlineRow> rows =
      MergeOnline(RowsOf(stored), Decoded(all), now, s.OnlineTime, capacity);
  // The table keeps the size UpdateOnline gave it.
  int size = static_cast<int>(capacity);
  if (stored.type() == VType::kArray && stored.AsArray().cols() == online::kColumns) {
    size = std::max(size, stored.AsArray().rows());
  }
  Array2D table(size, online::kColumns);
  int16_t guests = 0;
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < online::kColumns; ++c) table.at(r, c) = Variant(std::string());
    if (r >= static_cast<int>(rows.size())) continue;
    const OnlineRow& row = rows[r];
    table.at(r, online::kName) = Variant(row.name);
    table.at(r, online::kAddress) = Variant(row.address);
    table.at(r, online::kLoginTime) = Variant(row.login);
    table.at(r, online::kLastActive) = Variant(row.last);
    table.at(r, online::kCheckTime) = Variant(now);
    table.at(r, online::kLocation) = Variant(row.location);
    if (row.name == online::kGuest) ++guests;
  }
  app.SetQuietly("OnlineCount", Variant(static_cast<int16_t>(std::min<size_t>(rows.size(), size))));
  app.SetQuietly("Online", Variant(std::move(table)));
  app.SetQuietly("GuestCount", Variant(guests));
}

OnlineSharer::OnlineSharer(Application& app, std::shared_ptr<SharedState> shared,
                           const Clock& clock) {
  thread_ = std::thread([this, &app, shared, &clock] {
    DateTime since = clock.Now();
    std::unique_lock<std::mutex> lock(mu_);
    while (!wake_.wait_for(lock, kInterval, [this] { return stop_; })) {
      lock.unlock();
      const DateTime now = clock.Now();
      try {
        ShareOnline(app, *shared, since, now);
        since = now;
      } catch (const std::exception& e) {
        // The database is away: this process lists its own visitors until it is back.
        std::fprintf(stderr, "online table: %s\n", e.what());
      }
      lock.lock();
    }
  });
}

OnlineSharer::~OnlineSharer() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

}  // namespace cb
