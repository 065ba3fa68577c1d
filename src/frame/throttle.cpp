// Attempt tables live in the application like the online table: a two-dimensional array read,
// changed and written back under the application lock, so that all pages see one count; on a board
// several processes serve, a shared value that each change holds against the other processes.
#include "frame/throttle.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "runtime/convert.h"
#include "runtime/fields.h"
#include "runtime/script_error.h"
#include "runtime/variant.h"

namespace cb {

namespace {

constexpr int kColumns = 4;
constexpr int kKey = 0, kCount = 1, kLast = 2, kUntil = 3;
// As for the online table: past this wait the attempt goes uncounted rather than holding the page.
constexpr std::chrono::milliseconds kLockWait{500};
// Long names are cut: no member name is this long, and a key must not hold a visitor's megabyte.
constexpr size_t kLongestName = 64;
constexpr const char* kSignInTable = "SignInFailures";

std::vector<AttemptRecord> Load(const Variant& stored) {
  std::vector<AttemptRecord> records;
  if (stored.type() != VType::kArray || stored.AsArray().cols() != kColumns) return records;
  const Array2D& t = stored.AsArray();
  for (int r = 0; r < t.rows(); ++r) {
    try {
      records.push_back({t.at(r, kKey).Str(), t.at(r, kCount).CLng(), t.at(r, kLast).CDate(),
                         t.at(r, kUntil).CDate()});
    } catch (const ScriptError&) {
      // A cell that is not what this table writes: the row is dropped.
    }
  }
  return records;
}

Variant Store(const std::vector<AttemptRecord>& records) {
  Array2D t(static_cast<int>(records.size()), kColumns);
  for (int r = 0; r < t.rows(); ++r) {
    const AttemptRecord& rec = records[r];
    t.at(r, kKey) = Variant(rec.key);
    t.at(r, kCount) = Variant(rec.count);
    t.at(r, kLast) = Variant(rec.last);
    t.at(r, kUntil) = Variant(rec.until);
  }
  return Variant(std::move(t));
}

AttemptRecord* Find(std::vector<AttemptRecord>& records, std::string_view key) {
  for (AttemptRecord& r : records) {
    if (r.key == key) return &r;
  }
  return nullptr;
}

// A record counts for nothing once its refusal has ended and a whole window has passed since its
// last failure or the end of its refusal, whichever is later: guessing again as soon as a refusal
// ends meets the next, longer one.
bool Spent(const AttemptRecord& r, DateTime now) {
  const DateTime latest = std::max(r.last, r.until);
  return now >= r.until && (DiffSeconds(latest, now) > SignInGuard::kWindowSeconds || r.last > now);
}

int RefusalSeconds(int32_t failures) {
  const int doublings = std::min(failures - SignInGuard::kFailureLimit, 4);
  return std::min(SignInGuard::kFirstRefusalSeconds << doublings,
                  SignInGuard::kLongestRefusalSeconds);
}

// On a board several processes serve, the table is a shared value: one text, a line per record.
std::string Encoded(const std::vector<AttemptRecord>& records) {
  std::string out;
  for (const AttemptRecord& r : records) {
    std::string key = r.key;
    std::replace(key.begin(), key.end(), '\n', ' ');
    out += std::to_string(r.count) + ' ' + std::to_string(r.last.seconds()) + ' ' +
           std::to_string(r.until.seconds()) + ' ' + key + '\n';
  }
  return out;
}

std::vector<AttemptRecord> Decoded(std::string_view text) {
  std::vector<AttemptRecord> records;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string line(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    long long count = 0, last = 0, until = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%lld %lld %lld %n", &count, &last, &until, &used) == 3) {
      records.push_back({line.substr(used), static_cast<int32_t>(count),
                         DateTime::FromSeconds(last), DateTime::FromSeconds(until)});
    }
  }
  return records;
}

void Cap(std::vector<AttemptRecord>& records, size_t capacity) {
  if (records.size() <= capacity) return;
  std::stable_sort(records.begin(), records.end(),
                   [](const AttemptRecord& a, const AttemptRecord& b) { return a.last > b.last; });
  records.resize(capacity);
}

}  // namespace

bool ChangeAttempts(Application& app, std::string_view table, size_t capacity,
                    const std::function<void(std::vector<AttemptRecord>&)>& change) {
  if (const auto& shared = app.shared()) {
    shared->ChangeValue(std::string(table), [&](std::string& text) {
      std::vector<AttemptRecord> records = Decoded(UnescapeText(text));
      change(records);
      Cap(records, capacity);
      text = EscapeForText(Encoded(records));
    });
    return true;
  }
  if (!app.TryLockFor(kLockWait)) return false;
  struct Unlock {
    Application& a;
    ~Unlock() { a.Unlock(); }
  } unlock{app};
  std::vector<AttemptRecord> records = Load(app.Get(table));
  change(records);
  Cap(records, capacity);
  app.Set(table, Store(records));
  return true;
}

SignInGuard::SignInGuard(Application& app, std::string_view address, std::string_view name,
                         DateTime now)
    : app_(app), address_key_("a " + std::string(address)), now_(now) {
  const std::string trimmed = Trim(name);
  if (!trimmed.empty()) name_key_ = "n " + ToLower(trimmed.substr(0, kLongestName));
}

std::vector<std::string> SignInGuard::Keys() const {
  std::vector<std::string> keys{address_key_};
  if (!name_key_.empty()) keys.push_back(name_key_);
  return keys;
}

bool SignInGuard::Refused() const {
  bool refused = false;
  ChangeAttempts(app_, kSignInTable, kCapacity, [&](std::vector<AttemptRecord>& records) {
    for (const std::string& key : Keys()) {
      const AttemptRecord* r = Find(records, key);
      if (r && now_ < r->until) refused = true;
    }
  });
  return refused;
}

void SignInGuard::Failed() {
  ChangeAttempts(app_, kSignInTable, kCapacity, [&](std::vector<AttemptRecord>& records) {
    std::erase_if(records, [&](const AttemptRecord& r) { return Spent(r, now_); });
    for (const std::string& key : Keys()) {
      AttemptRecord* r = Find(records, key);
      if (!r) r = &records.emplace_back(AttemptRecord{key, 0, now_, now_});
      ++r->count;
      r->last = now_;
      if (r->count >= kFailureLimit) r->until = now_.AddSeconds(RefusalSeconds(r->count));
    }
  });
}

void SignInGuard::Succeeded() {
  if (name_key_.empty()) return;
  ChangeAttempts(app_, kSignInTable, kCapacity, [&](std::vector<AttemptRecord>& records) {
    std::erase_if(records, [&](const AttemptRecord& r) { return r.key == name_key_; });
  });
}

}  // namespace cb
