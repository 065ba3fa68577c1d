// The byte-bounded cache under the store's caches: what it keeps, what it drops first.
#include "store/byte_lru.h"

#include <gtest/gtest.h>

namespace cb {
namespace {

// Entry sizes below are the key, the value's stated bytes and the per-entry overhead.
constexpr size_t kEntry = 1 + 100 + 96;  // a one-letter key with 100 value bytes

TEST(ByteLru, DropsTheLeastRecentlyUsedFirst) {
  ByteLru<int> lru(3 * kEntry, kEntry);
  lru.Put("a", 1, 100);
  lru.Put("b", 2, 100);
  lru.Put("c", 3, 100);
  EXPECT_EQ(lru.bytes(), 3 * kEntry);
  ASSERT_NE(lru.Get("a"), nullptr);  // a is now newer than b
  lru.Put("d", 4, 100);
  EXPECT_EQ(lru.Get("b"), nullptr);
  EXPECT_EQ(*lru.Get("a"), 1);
  EXPECT_EQ(lru.size(), 3u);
  EXPECT_EQ(lru.bytes(), 3 * kEntry);
}

TEST(ByteLru, ReplacesAndRefusesOversizedEntries) {
  ByteLru<int> lru(3 * kEntry, kEntry);
  lru.Put("a", 1, 100);
  lru.Put("a", 5, 50);  // replaced: counted once, at its new size
  EXPECT_EQ(*lru.Get("a"), 5);
  EXPECT_EQ(lru.bytes(), kEntry - 50);
  lru.Put("b", 2, 101);  // one byte over the largest entry
  EXPECT_EQ(lru.Get("b"), nullptr);
  lru.Put("a", 6, 101);  // an oversized replacement drops the old value too
  EXPECT_EQ(lru.Get("a"), nullptr);
  EXPECT_EQ(lru.bytes(), 0u);
  lru.Put("c", 3, 100);
  lru.Erase("c");
  EXPECT_EQ(lru.size(), 0u);
  EXPECT_EQ(lru.bytes(), 0u);
}

}  // namespace
}  // namespace cb
