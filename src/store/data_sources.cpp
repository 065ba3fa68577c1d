// The data-source registry and its connection pools.
#include "store/data_sources.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

#include "runtime/convert.h"
#include "store/byte_lru.h"
#include "store/schema_migrate.h"
#include "store/store_error.h"

namespace cb {

namespace {
constexpr size_t kMaxIdle = 16;
// Remembered row counts, by bytes; a count keyed by a long text (a search for it) is not kept.
constexpr size_t kCountBytes = 1 << 20;
constexpr size_t kLargestCount = 4 << 10;
// Remembered windows of rows, by an estimate of their bytes.
constexpr size_t kWindowBytes = 32 << 20;
constexpr size_t kLargestWindow = 2 << 20;

size_t BytesOf(const PooledHandle::Rows& rows) {
  size_t bytes = 0;
  for (const auto& row : rows) {
    bytes += sizeof(row) + row.size() * sizeof(Variant);
    for (const Variant& v : row) {
      if (v.IsString()) bytes += v.AsStringRef().size();
    }
  }
  return bytes;
}
}  // namespace

namespace {

// Write generations are drawn from one counter for every source, so that a source registered
// again under a name never meets a value kept for the one it replaced.
uint64_t NextGeneration() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1);
}

}  // namespace

struct PooledHandle::Source {
  std::string name;
  DataSourceSpec spec;
  Backend* backend = nullptr;

  std::mutex mu;
  bool schema_ready = false;
  bool retired = false;  // replaced or unregistered: returned connections are closed
  std::vector<std::unique_ptr<BackendConnection>> idle;
  std::unique_ptr<BackendConnection> keeper;

  std::atomic<uint64_t> generation{NextGeneration()};
  // A connection of its own that never writes: its data version moves with every commit of any
  // other connection to the database, in this process or another.
  std::mutex watch_mu;
  std::unique_ptr<BackendConnection> watcher;
  uint64_t watched_version = 0;
  // Steady-clock nanoseconds before which the watcher is not asked again (see kWatchInterval).
  std::atomic<int64_t> next_watch{0};

  std::mutex count_mu;
  CountCacheStats stats;
  ByteLru<std::pair<uint64_t, int64_t>> counts{kCountBytes, kLargestCount};
  ByteLru<std::pair<uint64_t, std::shared_ptr<const PooledHandle::Rows>>> windows{kWindowBytes,
                                                                                  kLargestWindow};
  std::mutex flight_mu;
  std::map<std::string, std::shared_ptr<std::mutex>> flights;  // windows being read, by key
};

namespace {

struct Registry {
  std::mutex mu;
  std::map<std::string, std::shared_ptr<PooledHandle::Source>> sources;  // lower-cased names
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

std::shared_ptr<PooledHandle::Source> Lookup(const std::string& name) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.sources.find(ToLower(name));
  return it == r.sources.end() ? nullptr : it->second;
}

std::unique_ptr<BackendConnection> OpenRaw(PooledHandle::Source& s) {
  return s.backend->Open(s.spec.location);
}

void Retire(const std::shared_ptr<PooledHandle::Source>& s) {
  if (!s) return;
  std::lock_guard<std::mutex> lock(s->mu);
  s->retired = true;
  s->idle.clear();
  s->keeper.reset();
  std::lock_guard<std::mutex> watch(s->watch_mu);
  s->watcher.reset();
}

}  // namespace

void RegisterDataSource(const std::string& name, DataSourceSpec spec) {
  auto source = std::make_shared<PooledHandle::Source>();
  source->name = name;
  source->backend = FindBackend(spec.backend);
  if (!source->backend) {
    throw ScriptError(err::kDatabaseOpen, "Unknown database backend: " + spec.backend,
                      kStoreSource);
  }
  source->spec = std::move(spec);
  if (source->spec.keep_open) source->keeper = OpenRaw(*source);
  std::shared_ptr<PooledHandle::Source> old;
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    auto& slot = r.sources[ToLower(name)];
    old = std::move(slot);
    slot = std::move(source);
  }
  Retire(old);
}

void UnregisterDataSource(const std::string& name) {
  std::shared_ptr<PooledHandle::Source> old;
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    auto it = r.sources.find(ToLower(name));
    if (it == r.sources.end()) return;
    old = std::move(it->second);
    r.sources.erase(it);
  }
  Retire(old);
}

bool IsDataSourceRegistered(const std::string& name) { return Lookup(name) != nullptr; }

DataSourceSpec ParseDataSourceSpec(const std::string& text) {
  size_t colon = text.find(':');
  std::string backend = colon == std::string::npos ? "" : ToLower(text.substr(0, colon));
  if (backend == "postgresql" || backend == "postgres") {
    DataSourceSpec spec;
    spec.backend = "postgres";
    spec.location = text;  // libpq reads the whole URI
    return spec;
  }
  if (backend != "sqlite") {
    throw ScriptError(err::kDatabaseOpen, "Unknown database backend in \"" + text + "\"",
                      kStoreSource);
  }
  DataSourceSpec spec;
  spec.backend = backend;
  spec.location = text.substr(colon + 1);
  return spec;
}

std::string DataSourceNameOf(const std::string& connection_string) {
  size_t start = 0;
  while (start <= connection_string.size()) {
    size_t end = connection_string.find(';', start);
    if (end == std::string::npos) end = connection_string.size();
    std::string_view part(connection_string.data() + start, end - start);
    size_t eq = part.find('=');
    if (eq != std::string_view::npos) {
      std::string key = ToUpper(Trim(part.substr(0, eq)));
      if (key == "DATA SOURCE" || key == "DSN") return Trim(part.substr(eq + 1));
    }
    start = end + 1;
  }
  return "";
}

PooledHandle::PooledHandle(std::shared_ptr<Source> source, std::unique_ptr<BackendConnection> con)
    : source_(std::move(source)), con_(std::move(con)) {}

PooledHandle::~PooledHandle() {
  if (!con_) return;
  try {
    if (con_->InTransaction()) {
      con_->Rollback();
      NoteWrite();
    }
  } catch (...) {
    return;  // a connection that cannot roll back is not reused
  }
  std::lock_guard<std::mutex> lock(source_->mu);
  if (!source_->retired && source_->idle.size() < kMaxIdle) {
    source_->idle.push_back(std::move(con_));
  }
}

uint64_t PooledHandle::WriteGeneration() {
  Source& s = *source_;
  // This process's own writes move the generation at once (NoteWrite); the watcher, a statement
  // (a round trip on PostgreSQL) under one lock, is asked at most once per interval.
  const auto steady_ns = [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  if (steady_ns() < s.next_watch.load(std::memory_order_acquire)) return s.generation.load();
  std::lock_guard<std::mutex> lock(s.watch_mu);
  if (steady_ns() < s.next_watch.load(std::memory_order_acquire)) return s.generation.load();
  try {
    // The watcher opens before any count is remembered, so no commit escapes it.
    if (!s.watcher) {
      s.watcher = OpenRaw(s);
      s.watched_version = s.watcher->DataVersion();
    }
    uint64_t v = s.watcher->DataVersion();
    if (v != s.watched_version) {
      s.watched_version = v;
      NoteWrite();
    }
    s.next_watch.store(steady_ns() + std::chrono::nanoseconds(kWatchInterval).count(),
                       std::memory_order_release);
  } catch (...) {
    // No way to tell what changed: nothing remembered so far holds.
    s.watcher.reset();
    NoteWrite();
  }
  return s.generation.load();
}

const std::string& PooledHandle::SourceName() const { return source_->name; }

DateTime PooledHandle::Now() const {
  return (source_->spec.clock ? *source_->spec.clock : SystemClock::Shared()).Now();
}

void PooledHandle::NoteWrite() {
  // Only forward: two writers noting together leave the later draw.
  const uint64_t next = NextGeneration();
  uint64_t current = source_->generation.load();
  while (current < next && !source_->generation.compare_exchange_weak(current, next)) {
  }
}

bool PooledHandle::CachedCount(const std::string& key, int64_t* count) {
  uint64_t gen = WriteGeneration();
  std::lock_guard<std::mutex> lock(source_->count_mu);
  const std::pair<uint64_t, int64_t>* found = source_->counts.Get(key);
  if (!found || found->first != gen) {
    ++source_->stats.misses;
    return false;
  }
  ++source_->stats.hits;
  *count = found->second;
  return true;
}

std::shared_ptr<const PooledHandle::Rows> PooledHandle::SharedWindow(
    const std::string& key, const std::function<Rows()>& read) {
  Source& s = *source_;
  const auto kept = [&](uint64_t gen) -> std::shared_ptr<const Rows> {
    std::lock_guard<std::mutex> lock(s.count_mu);
    const auto* found = s.windows.Get(key);
    return found && found->first == gen ? found->second : nullptr;
  };
  if (auto rows = kept(WriteGeneration())) return rows;

  // One reader per key: the others wait for its turn to end, then find its rows.
  std::shared_ptr<std::mutex> turn;
  {
    std::lock_guard<std::mutex> lock(s.flight_mu);
    auto& slot = s.flights[key];
    if (!slot) slot = std::make_shared<std::mutex>();
    turn = slot;
  }
  struct Leave {
    Source& s;
    const std::string& key;
    std::shared_ptr<std::mutex>& turn;
    ~Leave() {
      std::lock_guard<std::mutex> lock(s.flight_mu);
      auto it = s.flights.find(key);
      // Only the map's share and ours left: nobody waits, the slot can go.
      if (it != s.flights.end() && it->second == turn && turn.use_count() <= 2) s.flights.erase(it);
    }
  } leave{s, key, turn};
  std::lock_guard<std::mutex> mine(*turn);
  const uint64_t gen = WriteGeneration();
  if (auto rows = kept(gen)) return rows;
  auto rows = std::make_shared<const Rows>(read());
  const size_t bytes = BytesOf(*rows);
  std::lock_guard<std::mutex> lock(s.count_mu);
  s.windows.Put(key, {gen, rows}, bytes);
  return rows;
}

CountCacheStats CountCacheStatsOf(const std::string& name) {
  std::shared_ptr<PooledHandle::Source> source = Lookup(name);
  if (!source) return {};
  std::lock_guard<std::mutex> lock(source->count_mu);
  return source->stats;
}

void PooledHandle::RememberCount(const std::string& key, uint64_t generation, int64_t count) {
  std::lock_guard<std::mutex> lock(source_->count_mu);
  source_->counts.Put(key, {generation, count}, sizeof(generation) + sizeof(count));
}

std::unique_ptr<PooledHandle> AcquireConnection(const std::string& connection_string) {
  std::string name = DataSourceNameOf(connection_string);
  std::shared_ptr<PooledHandle::Source> source = Lookup(name);
  if (!source) {
    throw ScriptError(err::kDatabaseOpen,
                      "[Corkboard.Store] 未发现数据源名称并且未指定默认驱动程序 (data source \"" +
                          name + "\" not found)",
                      kStoreSource);
  }
  std::unique_ptr<BackendConnection> con;
  // Idle connections the database server closed meanwhile (a restart) are dropped, so that a
  // page arriving after the restart does not fail on one.
  while (!con) {
    {
      std::lock_guard<std::mutex> lock(source->mu);
      if (source->idle.empty()) break;
      con = std::move(source->idle.back());
      source->idle.pop_back();
    }
    if (!con->Usable()) con.reset();
  }
  if (!con) con = OpenRaw(*source);
  {
    std::lock_guard<std::mutex> lock(source->mu);
    if (!source->schema_ready) {
      EnsureSchema(*con, source->backend->Migrations());
      source->schema_ready = true;
    }
  }
  return std::make_unique<PooledHandle>(std::move(source), std::move(con));
}

std::string RegisterMemoryDataSource(std::shared_ptr<const Clock> clock) {
  static std::atomic<int> next{0};
  std::string name = "cbmem" + std::to_string(next.fetch_add(1));
  DataSourceSpec spec;
  spec.backend = "sqlite";
  // The memdb VFS lets several connections share one database with ordinary locking.
  spec.location = "file:/" + name + "?vfs=memdb";
  spec.clock = std::move(clock);
  spec.keep_open = true;
  RegisterDataSource(name, std::move(spec));
  std::string cs = "Provider=MSDASQL.1;USER ID=sa;PASSWORD=;DATA SOURCE=" + name;
  AcquireConnection(cs);  // creates the schema
  return cs;
}

}  // namespace cb
