// The address table and its lookup.
#include "host/router.h"

#include "runtime/convert.h"

namespace cb {

std::string Router::Key(std::string_view path) {
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  return ToLower(path);
}

void Router::Add(std::string_view path, PageFn fn, std::string name) {
  routes_[Key(path)].fallback = {std::move(fn), std::move(name)};
}

void Router::AddAction(std::string_view path, std::string_view action, PageFn fn,
                       std::string name) {
  routes_[Key(path)].actions[ToLower(action)] = {std::move(fn), std::move(name)};
}

void Router::AddFolder(std::string_view folder, PageFn fn, std::string name) {
  std::string key = Key(folder);
  if (!key.ends_with('/')) key += '/';
  folders_[key] = {std::move(fn), std::move(name)};
}

void Router::RequirePost(std::string_view path, std::string_view action) {
  routes_[Key(path)].post_only.insert(ToLower(action));
}

void Router::SetErrorPage(std::string_view path, ErrorPageFn fn) {
  routes_[Key(path)].error_page = std::move(fn);
}

void Router::SetBodySize(std::string_view path, BodySize size) {
  routes_[Key(path)].body_size = size;
}

std::string Router::RequestKey(std::string_view path) {
  std::string key = Key(path);
  return key.empty() ? "default.asp" : key;
}

BodySize Router::BodySizeOf(std::string_view path) const {
  auto it = routes_.find(RequestKey(path));
  return it == routes_.end() ? BodySize::kForm : it->second.body_size;
}

RouteMatch Router::Match(std::string_view path, const Request& request) const {
  const std::string key = RequestKey(path);
  auto it = routes_.find(key);
  if (it == routes_.end()) {
    for (const auto& [folder, page] : folders_) {
      if (key.size() > folder.size() && key.starts_with(folder)) {
        return {.page = &page.fn, .name = page.name};
      }
    }
    return {};
  }
  const Route& route = it->second;
  RouteMatch match;
  if (route.error_page) match.error_page = &route.error_page;
  std::string action;
  if (!route.actions.empty() || !route.post_only.empty()) action = ToLower(request("action").Str());
  match.post_only = route.post_only.count(action) > 0;
  auto act = route.actions.find(action);
  const Page* page = act != route.actions.end() ? &act->second : &route.fallback;
  if (page->fn) {
    match.page = &page->fn;
    match.name = page->name;
  }
  return match;
}

}  // namespace cb
