// The host objects as plain data: keyed collections of the request, the buffered response with its
// cookies and redirect, the server's encoders, and the locked session and application values.
#include "host/context.h"

#include <algorithm>

#include "runtime/gbk.h"

namespace cb {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
    auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

// ---- ValueCollection: a short list searched linearly keeps arrival order for repeated names.

void ValueCollection::Add(std::string name, std::string value) {
  items_.emplace_back(std::move(name), std::move(value));
}

void ValueCollection::Set(std::string name, std::string value) {
  std::erase_if(items_, [&](const auto& kv) { return SameNoCase(kv.first, name); });
  items_.emplace_back(std::move(name), std::move(value));
}

bool ValueCollection::Has(std::string_view name) const {
  return std::any_of(items_.begin(), items_.end(),
                     [&](const auto& kv) { return SameNoCase(kv.first, name); });
}

Variant ValueCollection::Get(std::string_view name) const { return Item(name, 1); }

int ValueCollection::Count(std::string_view name) const {
  return static_cast<int>(std::count_if(
      items_.begin(), items_.end(), [&](const auto& kv) { return SameNoCase(kv.first, name); }));
}

Variant ValueCollection::Item(std::string_view name, int index) const {
  int seen = 0;
  for (const auto& [key, value] : items_) {
    if (SameNoCase(key, name) && ++seen == index) return Variant(value);
  }
  return Variant();
}

// ---- Request

Variant Request::operator()(std::string_view name) const {
  for (const ValueCollection* c : {&query_, &form_, &cookies_}) {
    if (c->Has(name)) return c->Get(name);
  }
  return ServerVariables(name);
}

Variant Request::ServerVariables(std::string_view name) const {
  for (const auto& [key, value] : server_vars_) {
    if (SameNoCase(key, name)) return Variant(value);
  }
  return Variant();
}

void Request::SetServerVariable(std::string name, std::string value) {
  for (auto& [key, kept] : server_vars_) {
    if (SameNoCase(key, name)) {
      kept = std::move(value);
      return;
    }
  }
  if (server_vars_.empty()) server_vars_.reserve(24);
  server_vars_.emplace_back(std::move(name), std::move(value));
}

// ---- Response

void Response::Redirect(std::string url) {
  // The page's own output is dropped: the browser only sees the forwarding answer.
  body_.clear();
  status_ = 302;
  redirect_ = std::move(url);
}

void Response::SetCookie(const std::string& name, std::string value) {
  cookies_[name].value = std::move(value);
}

void Response::SetCookieExpires(const std::string& name, DateTime expires) {
  cookies_[name].expires = expires;
}

void Response::SetCookie(const std::string& name, std::string value, DateTime expires) {
  SetCookie(name, std::move(value));
  SetCookieExpires(name, expires);
}

// ---- Server

std::string Server::HTMLEncode(std::string_view s) const { return HtmlEncode(s); }

std::string Server::URLEncode(std::string_view s) const { return UrlEncode(s); }

// ---- Session

Variant Session::Get(std::string_view key) const {
  std::lock_guard lock(mu_);
  auto it = values_.find(key);
  return it == values_.end() ? Variant() : it->second;
}

void Session::Set(std::string_view key, Variant value) {
  std::lock_guard lock(mu_);
  values_.insert_or_assign(std::string(key), std::move(value));
  if (!recomputable_.empty()) {
    auto it = recomputable_.find(key);
    if (it != recomputable_.end()) recomputable_.erase(it);
  }
}

void Session::SetRecomputable(std::string_view key, Variant value) {
  std::lock_guard lock(mu_);
  values_.insert_or_assign(std::string(key), std::move(value));
  recomputable_.emplace(key);
}

void Session::RenewId() {
  std::lock_guard lock(mu_);
  renew_ = true;
}

std::string Session::id() const {
  std::lock_guard lock(mu_);
  return id_;
}

bool Session::empty() const {
  std::lock_guard lock(mu_);
  return values_.empty();
}

bool Session::OnlyRecomputable() const {
  std::lock_guard lock(mu_);
  return values_.size() == recomputable_.size();
}

bool Session::TakeRenewal() {
  std::lock_guard lock(mu_);
  return std::exchange(renew_, false);
}

void Session::ResetId(std::string id) {
  std::lock_guard lock(mu_);
  id_ = std::move(id);
}

// ---- Application

Variant Application::Get(std::string_view key) const {
  std::lock_guard lock(mu_);
  auto it = values_.find(key);
  return it == values_.end() ? Variant() : it->second;
}

void Application::Set(std::string_view key, Variant value) {
  std::lock_guard lock(mu_);
  values_.insert_or_assign(std::string(key), std::move(value));
  stamp_.store(NextStamp(), std::memory_order_release);
}

void Application::SetQuietly(std::string_view key, Variant value) {
  std::lock_guard lock(mu_);
  values_.insert_or_assign(std::string(key), std::move(value));
}

uint64_t Application::NextStamp() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1);
}

}  // namespace cb
