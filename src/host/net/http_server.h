// The board's HTTP/1.1 server: keep-alive connections served by a fixed pool of worker threads that
// run pages synchronously, with limits, timeouts, an access log and a graceful stop. The header
// shows no networking library, so the main program and tests compile without it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/config.h"
#include "host/context.h"
#include "host/router.h"
#include "host/session_store.h"
#include "runtime/datetime.h"

namespace cb {

class HttpServer {
 public:
  // app: filled by the caller (see FillApplication); env: the clocks, randomness and mail
  // transport (its folders come from cfg). What both point to must outlive the server. The router
  // holds the pages.
  HttpServer(HostConfig cfg, Application& app, Router router, Environment env = {});
  // The real environment but for the clock (the system clock when null).
  HttpServer(HostConfig cfg, Application& app, Router router, const Clock* clock);
  ~HttpServer();  // stops the server if it still runs
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Replaces the access log (called with one line per request, without its newline; standard
  // error by default, nothing with HostConfig::access_log false). Before Start.
  void SetAccessLog(std::function<void(const std::string&)> sink);

  // Binds the listening address (port 0 picks a free port) and starts the worker threads.
  // Raises std::runtime_error when the address cannot be bound.
  void Start();
  // The bound port, after Start.
  uint16_t port() const;
  // Stops accepting, closes idle connections, lets requests in flight finish (for at most a grace
  // period), then ends the worker threads. Idempotent; never call it from a page.
  void Stop();
  // Start, then serve until SIGINT or SIGTERM (or Stop from another thread), then stop as above.
  // Returns the process exit code, 0.
  int Run();

  SessionStore& sessions();
  // Connections open now (for monitoring and tests).
  size_t connection_count();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cb
