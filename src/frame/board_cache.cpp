// The board cache: one bounded table of values, each stamped with the write generation of its
// database when it was read.
#include "frame/board_cache.h"

#include <mutex>

#include "store/backend.h"
#include "store/byte_lru.h"
#include "store/connection.h"
#include "store/data_sources.h"

namespace cb {

namespace {

// Values are charged a flat size: the bound is on how many names a visitor can make us keep.
constexpr size_t kCapacity = 4 << 20;
constexpr size_t kLargestEntry = 64 << 10;
constexpr size_t kValueBytes = 1 << 10;

struct Entry {
  uint64_t generation;
  std::shared_ptr<const void> value;
};

struct Cache {
  std::mutex mu;
  ByteLru<Entry> entries{kCapacity, kLargestEntry};
};

Cache& TheCache() {
  static Cache* cache = new Cache;  // lives to the end: pages may run until then
  return *cache;
}

}  // namespace

namespace board_cache_detail {

std::shared_ptr<const void> Get(Connection& con, std::string_view kind, std::string_view key,
                                const Make& make) {
  // Rows read inside a transaction may never be committed: not for other visitors.
  if (con.backend().InTransaction()) return make(con);
  PooledHandle& handle = con.handle();
  std::string full_key = handle.SourceName();
  full_key += '\x1f';
  full_key += kind;
  full_key += '\x1f';
  full_key += key;
  // Read before the rows: a write while they are read leaves them stamped as already stale.
  const uint64_t generation = handle.WriteGeneration();
  Cache& cache = TheCache();
  {
    std::lock_guard<std::mutex> lock(cache.mu);
    if (const Entry* e = cache.entries.Get(full_key); e && e->generation == generation) {
      return e->value;
    }
  }
  std::shared_ptr<const void> value = make(con);
  std::lock_guard<std::mutex> lock(cache.mu);
  cache.entries.Put(std::move(full_key), Entry{generation, value}, kValueBytes);
  return value;
}

}  // namespace board_cache_detail

}  // namespace cb
