// A cache of text keys that holds at most a set number of bytes, dropping the least recently used
// entries first, so no run of distinct statements can make the store's caches grow without end.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace cb {

// Not locked: its owner serialises access. An entry's size is its key plus what the owner says
// its value holds; an entry larger than max_entry is never kept.
template <typename V>
class ByteLru {
 public:
  ByteLru(size_t capacity, size_t max_entry) : capacity_(capacity), max_entry_(max_entry) {}

  // The value under key, now the most recently used; nullptr when absent.
  V* Get(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return &it->second->value;
  }

  // Adds or replaces; then drops the oldest entries until the total fits.
  void Put(std::string key, V value, size_t value_bytes) {
    Erase(key);
    size_t bytes = key.size() + value_bytes + kOverhead;
    if (bytes > max_entry_ || bytes > capacity_) return;
    entries_.push_front({std::move(key), std::move(value), bytes});
    index_.emplace(entries_.front().key, entries_.begin());
    bytes_ += bytes;
    while (bytes_ > capacity_) {
      bytes_ -= entries_.back().bytes;
      index_.erase(entries_.back().key);
      entries_.pop_back();
    }
  }

  void Erase(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) return;
    bytes_ -= it->second->bytes;
    auto entry = it->second;
    index_.erase(it);
    entries_.erase(entry);
  }

  void Clear() {
    index_.clear();
    entries_.clear();
    bytes_ = 0;
  }

  size_t bytes() const { return bytes_; }
  size_t size() const { return entries_.size(); }

 private:
  // The list node and the index slot of an entry, counted so that many tiny entries add up too.
  static constexpr size_t kOverhead = 96;

  struct Entry {
    std::string key;
    V value;
    size_t bytes;
  };
  size_t capacity_;
  size_t max_entry_;
  size_t bytes_ = 0;
  std::list<Entry> entries_;
  // Keys are views of the list's own keys: a node never moves, so neither does its text.
  std::unordered_map<std::string_view, typename std::list<Entry>::iterator> index_;
};

}  // namespace cb
