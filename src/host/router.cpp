// The address table and its lookup.
#include "host/router.h"

#include "runtime/convert.h"

namespace cb {

std::string Router::Key(std::string_view path) {
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  return ToLower(path);
}

void Router::Add(std::string_view path, PageFn fn) { routes_[Key(path)].fallback = std::move(fn); }

void Router::AddAction(std::string_view path, std::string_view action, PageFn fn) {
  routes_[Key(path)].actions[ToLower(action)] = std::move(fn);
}

const PageFn* Router::Find(std::string_view path, const Request& request) const {
  std::string key = Key(path);
  if (key.empty()) key = "default.asp";
  auto it = routes_.find(key);
  if (it == routes_.end()) return nullptr;
  const Route& route = it->second;
  if (!route.actions.empty()) {
    auto act = route.actions.find(ToLower(request("action").Str()));
    if (act != route.actions.end()) return &act->second;
  }
  return route.fallback ? &route.fallback : nullptr;
}

}  // namespace cb
