// What every visitor sees the same (forum rows, the index's figures, the jump menus), read once
// per data source and kept until the next write to that database, by any connection or process.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace cb {

class Connection;

namespace board_cache_detail {
using Make = std::function<std::shared_ptr<const void>(Connection&)>;
std::shared_ptr<const void> Get(Connection& con, std::string_view kind, std::string_view key,
                                const Make& make);
}  // namespace board_cache_detail

// The value of kind (and key, for values kept per name) for the connection's database: the kept
// one while nothing was written since it was made, else make(con)'s, kept for the next page.
// At most a few thousand values are kept, the least recently used going first.
template <typename T, typename F>
std::shared_ptr<const T> BoardCached(Connection& con, std::string_view kind, std::string_view key,
                                     F&& make) {
  return std::static_pointer_cast<const T>(
      board_cache_detail::Get(con, kind, key, [&](Connection& c) -> std::shared_ptr<const void> {
        return std::make_shared<const T>(make(c));
      }));
}

}  // namespace cb
