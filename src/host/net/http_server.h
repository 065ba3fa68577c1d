// The board's HTTP/1.1 server: keep-alive connections read and written by a few network threads,
// pages run by a bounded pool of workers, with limits, timeouts, an access log and a graceful stop.
// The header shows no networking library, so the main program and tests compile without it.
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

  // Binds the listening address (port 0 picks a free port) and starts the network and page
  // threads.
  // Raises std::runtime_error when the address cannot be bound.
  void Start();
  // The bound port, after Start.
  uint16_t port() const;
  // Stops accepting, closes idle connections, answers pages still waiting for a worker with 503,
  // lets requests in flight finish (for at most a grace period; a page still running is waited
  // for), then ends the threads. Idempotent; never call it from a page.
  void Stop();
  // Start, then serve until SIGINT or SIGTERM (or Stop from another thread), then stop as above.
  // Returns the process exit code, 0.
  int Run();

  SessionStore& sessions();
  // Connections open now, and pages waiting for a worker (for monitoring and tests).
  size_t connection_count();
  size_t queued_pages();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cb
