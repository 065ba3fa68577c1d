// The host objects a page works through: Request, Response, Server, Session, Application and the
// ScriptingContext that hands them over with the environment. Plain data, no sockets: the HTTP
// server and the test host fill and read the same objects.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/environment.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"
#include "store/shared_state.h"

namespace cb {

// Case-insensitive (ASCII) ordering for request, session and application keys.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// A collection of named values where one name may carry several values, in arrival order.
class ValueCollection {
 public:
  void Add(std::string name, std::string value);
  void Set(std::string name, std::string value);  // replaces all values of name
  bool Has(std::string_view name) const;
  // The first value, or empty when the name is absent.
  Variant Get(std::string_view name) const;
  int Count(std::string_view name) const;
  // The index-th value (1-based) as the legacy collection numbers them; empty when out of range.
  Variant Item(std::string_view name, int index) const;
  const std::vector<std::pair<std::string, std::string>>& all() const { return items_; }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

class Request {
 public:
  // Request(name): query string, then form, then cookies, then server variables.
  Variant operator()(std::string_view name) const;
  Variant Item(std::string_view name) const { return (*this)(name); }
  Variant QueryString(std::string_view name) const { return query_.Get(name); }
  Variant Form(std::string_view name) const { return form_.Get(name); }
  Variant Cookies(std::string_view name) const { return cookies_.Get(name); }
  Variant ServerVariables(std::string_view name) const;
  // The whole query string as it arrived (still URL-encoded), as pages copy it into links.
  const std::string& RawQueryString() const { return raw_query_; }
  // The request body as bytes (uploads) and its size.
  const std::string& Body() const { return body_; }
  size_t TotalBytes() const { return body_.size(); }

  ValueCollection& query() { return query_; }
  ValueCollection& form() { return form_; }
  ValueCollection& cookies() { return cookies_; }
  const ValueCollection& query() const { return query_; }
  const ValueCollection& form() const { return form_; }
  const ValueCollection& cookies() const { return cookies_; }
  void SetServerVariable(std::string name, std::string value);
  void SetRawQueryString(std::string q) { raw_query_ = std::move(q); }
  void SetBody(std::string b) { body_ = std::move(b); }

 private:
  ValueCollection query_, form_, cookies_;
  // A list, not a map: a request has a score of them and a page reads a few.
  std::vector<std::pair<std::string, std::string>> server_vars_;
  std::string raw_query_;
  std::string body_;
};

struct ResponseCookie {
  std::string value;
  std::optional<DateTime> expires;  // local date; none = session cookie
};

class Response {
 public:
  void Write(std::string_view text) { body_.append(text); }
  Response& operator<<(std::string_view text) {
    body_.append(text);
    return *this;
  }
  void Clear() { body_.clear(); }
  void Redirect(std::string url);
  void SetCookie(const std::string& name, std::string value);
  void SetCookieExpires(const std::string& name, DateTime expires);
  // Both at once: the value and its expiry date.
  void SetCookie(const std::string& name, std::string value, DateTime expires);

  const std::string& body() const { return body_; }
  std::string& mutable_body() { return body_; }
  const std::optional<std::string>& redirect() const { return redirect_; }
  const std::map<std::string, ResponseCookie, NoCaseLess>& cookies() const { return cookies_; }
  // Raw content for non-HTML answers (a generated file); empty content type means an HTML page.
  void SetContentType(std::string type) { content_type_ = std::move(type); }
  const std::string& content_type() const { return content_type_; }
  void SetStatus(int status) { status_ = status; }
  int status() const { return status_; }
  // A further header of a raw answer (how a browser is to treat a file); names and values are the
  // program's own, never a visitor's.
  void AddHeader(std::string name, std::string value) {
    headers_.emplace_back(std::move(name), std::move(value));
  }
  const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }

 private:
  std::string body_;
  std::optional<std::string> redirect_;
  std::map<std::string, ResponseCookie, NoCaseLess> cookies_;
  std::string content_type_;
  int status_ = 200;
  std::vector<std::pair<std::string, std::string>> headers_;
};

class Server {
 public:
  std::string HTMLEncode(std::string_view s) const;
  std::string URLEncode(std::string_view s) const;
};

// One visitor's values; keys without regard to case. Thread-safe: two requests of one visitor may
// run at once.
class Session {
 public:
  explicit Session(std::string id = {}) : id_(std::move(id)) {}
  Variant Get(std::string_view key) const;
  void Set(std::string_view key, Variant value);
  // Sets a value the page recomputes when the session is lost (a first-visit mark). A new session
  // holding nothing else is kept only briefly, in a small tier, until the visitor sends its cookie
  // back, so visitors without cookies leave no lasting session behind.
  void SetRecomputable(std::string_view key, Variant value);
  // Gives the session a new id at the end of this request: the values stay, the old id stops
  // working and the browser receives the new one. Call it at every change of identity (sign-in,
  // sign-out, admission to a private forum), so that an id known before cannot ride on it.
  void RenewId();
  std::string id() const;
  bool empty() const;

  // For the host: whether only recomputable values are held; takes a pending RenewId request;
  // replaces the id.
  bool OnlyRecomputable() const;
  bool TakeRenewal();
  void ResetId(std::string id);
  // For the host's shared session table: every value as one text and back (arrays are not kept),
  // and the text and expiry last read or written there (expiry -1: not from the table).
  std::string Encoded() const;
  void Decode(std::string_view text);
  void SetStored(std::string data, int64_t expires);
  const std::string& stored_data() const { return stored_data_; }
  int64_t stored_expires() const { return stored_expires_; }

 private:
  std::string stored_data_;
  int64_t stored_expires_ = -1;
  std::string id_;
  mutable std::mutex mu_;
  std::map<std::string, Variant, NoCaseLess> values_;
  std::set<std::string, NoCaseLess> recomputable_;
  bool renew_ = false;
};

// Board-wide values shared by every page, and the application lock (Lock/Unlock) that pages take
// around read-modify-write sequences. Single reads and writes are atomic on their own.
class Application {
 public:
  Application() = default;
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  Variant Get(std::string_view key) const;
  void Set(std::string_view key, Variant value);
  // Set, for values that change on nearly every page and that nothing kept is made from (the
  // presence table and its counts): the stamp stays.
  void SetQuietly(std::string_view key, Variant value);
  // Changes whenever a value is set (quietly aside), and is never the same for two applications:
  // what is made from the values (the settings) is kept while it stays.
  uint64_t Stamp() const { return stamp_.load(std::memory_order_acquire); }
  // On a board several processes serve: the state they share (sessions, attempt tables, notices),
  // and the cached values that a notice from another process replaces (all of them emptied when
  // notices may have been missed). Null when this process serves the board alone.
  void Share(std::shared_ptr<SharedState> shared, std::vector<std::string> cached_keys);
  const std::shared_ptr<SharedState>& shared() const { return shared_; }
  // Set, and on a shared board the same in every other process: for emptying a cached text.
  void SetEverywhere(std::string_view key, const std::string& text);
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }
  // Bounded wait for the lock, so that a page never hangs on a stuck holder.
  bool TryLockFor(std::chrono::milliseconds d) { return lock_.try_lock_for(d); }

 private:
  void OnNotice(const std::string* notice);

  static uint64_t NextStamp();

  mutable std::mutex mu_;
  std::map<std::string, Variant, NoCaseLess> values_;
  std::atomic<uint64_t> stamp_{NextStamp()};
  std::timed_mutex lock_;
  std::vector<std::string> cached_keys_;
  std::string notice_origin_;            // marks this application's own notices
  std::shared_ptr<SharedState> shared_;  // last: its listener stops before the values go
};

// Holds the application lock for a scope.
class ApplicationLock {
 public:
  explicit ApplicationLock(Application& app) : app_(app) { app_.Lock(); }
  ~ApplicationLock() { app_.Unlock(); }
  ApplicationLock(const ApplicationLock&) = delete;
  ApplicationLock& operator=(const ApplicationLock&) = delete;

 private:
  Application& app_;
};

class ScriptingContext {
 public:
  ScriptingContext(Request& req, Response& resp, Server& server, Session& session, Application& app,
                   const Environment& services)
      : request_(req),
        response_(resp),
        server_(server),
        session_(session),
        application_(app),
        services_(services) {}
  Request& request() const { return request_; }
  Response& response() const { return response_; }
  Server& server() const { return server_; }
  Session& session() const { return session_; }
  Application& application() const { return application_; }
  // The environment: clocks, randomness, folders, mail transport.
  const Environment& services() const { return services_; }
  DateTime Now() const { return services_.Now(); }

 private:
  Request& request_;
  Response& response_;
  Server& server_;
  Session& session_;
  Application& application_;
  const Environment& services_;
};

}  // namespace cb
