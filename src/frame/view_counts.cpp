// Thread view counts in memory and the thread that writes them behind.
#include "frame/view_counts.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "runtime/convert.h"
#include "runtime/script_error.h"
#include "store/connection.h"
#include "store/data_sources.h"
#include "store/recordset.h"

namespace cb {

namespace {

// How often the writer thread looks; the interval itself is ViewCounts::kInterval.
constexpr std::chrono::milliseconds kPoll{200};

struct Boards {
  std::mutex mu;
  std::map<std::string, std::unique_ptr<ViewCounts>> by_connection;  // by source name
};

Boards& TheBoards() {
  static Boards* boards = new Boards;  // never destroyed: pages may count until the very end
  return *boards;
}

std::vector<ViewCounts*> AllBoards() {
  Boards& b = TheBoards();
  std::lock_guard<std::mutex> lock(b.mu);
  std::vector<ViewCounts*> all;
  for (auto& [cs, counts] : b.by_connection) all.push_back(counts.get());
  return all;
}

}  // namespace

ViewCounts& ViewCounts::Of(const std::string& connection_string) {
  Boards& b = TheBoards();
  std::lock_guard<std::mutex> lock(b.mu);
  // Keyed by the data source, which several connection strings may name.
  auto& slot = b.by_connection[ToLower(DataSourceNameOf(connection_string))];
  if (!slot) slot = std::make_unique<ViewCounts>(connection_string);
  return *slot;
}

size_t ViewCounts::FlushAll() {
  size_t n = 0;
  for (ViewCounts* counts : AllBoards()) n += counts->Flush();
  return n;
}

size_t ViewCounts::FlushAllDue(const Clock& clock) {
  size_t n = 0;
  for (ViewCounts* counts : AllBoards()) n += counts->FlushIfDue(clock);
  return n;
}

void ViewCounts::Record(int32_t topic) {
  std::lock_guard<std::mutex> lock(mu_);
  ++pending_[topic];
}

int64_t ViewCounts::Pending(int32_t topic) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = pending_.find(topic);
  return it == pending_.end() ? 0 : it->second;
}

size_t ViewCounts::FlushIfDue(const Clock& clock) {
  std::lock_guard<std::mutex> turn(flush_mu_);
  const Clock::SteadyTime now = clock.Steady();
  if (last_flush_ && now - *last_flush_ < kInterval) return 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (pending_.empty()) return 0;
  }
  last_flush_ = now;
  return Flush();
}

size_t ViewCounts::Flush() {
  std::map<int32_t, int64_t> batch;
  {
    std::lock_guard<std::mutex> lock(mu_);
    batch.swap(pending_);
  }
  // A board no longer registered (a test's) has nowhere to write to.
  if (batch.empty() || !IsDataSourceRegistered(DataSourceNameOf(connection_))) return 0;
  size_t statements = 0;
  auto keep = [&](auto from) {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = from; it != batch.end(); ++it) pending_[it->first] += it->second;
  };
  auto it = batch.begin();
  try {
    Connection con;
    con.Open(connection_);
    for (; it != batch.end(); ++it) {
      const std::string id = std::to_string(it->first);
      con.Execute("Update Post set hits=isnull(hits,0)+" + std::to_string(it->second) +
                  " where postid=" + id + " or parentid=" + id);
      ++statements;
    }
  } catch (const ScriptError& e) {
    // A busy or unreachable database: these views wait for the next turn.
    keep(it);
    std::fprintf(stderr, "corkboard: view counts kept for later: %s\n", e.description().c_str());
  }
  return statements;
}

ViewCountWriter::ViewCountWriter(const Clock& clock) : clock_(clock) {
  thread_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mu_);
    while (!wake_.wait_for(lock, kPoll, [this] { return stop_; })) {
      lock.unlock();
      ViewCounts::FlushAllDue(clock_);
      lock.lock();
    }
  });
}

ViewCountWriter::~ViewCountWriter() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  ViewCounts::FlushAll();
}

}  // namespace cb
