// One HTTP exchange without the socket: the parsed request becomes host objects, the router's page
// (or a static file) answers, and the response leaves as GBK bytes with its cookies. The network
// server and the tests both drive this.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/config.h"
#include "host/context.h"
#include "host/router.h"
#include "host/session_store.h"
#include "host/static_files.h"
#include "runtime/datetime.h"

namespace cb {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct IncomingRequest {
  std::string method = "GET";
  std::string target = "/";  // as received: path and query, still percent-encoded
  HeaderList headers;
  std::string body;
  std::string remote_addr = "127.0.0.1";
  std::string server_name = "localhost";
  uint16_t server_port = 80;
};

struct OutgoingResponse {
  int status = 200;
  HeaderList headers;  // Content-Type, Location, Set-Cookie, ...
  std::string body;    // the bytes on the wire
};

// What the host makes of a request before any page runs: its own answer (a static file, a status
// page, a refusal without a page), sent at once; or the page to run, which the network server
// hands to a worker thread.
struct Dispatch {
  std::optional<OutgoingResponse> answer;
  std::function<OutgoingResponse()> run_page;  // set when answer is not; never throws
};

// The client of a request as the host believes it: its address and whether it came over HTTPS
// (X-Forwarded-For and -Proto count only from a trusted proxy), and the board's host name and port
// as the browser addressed it (Host, or X-Forwarded-Host from a trusted proxy).
struct ClientView {
  std::string address;
  bool secure = false;
  std::string host;
};
ClientView ViewOfClient(const IncomingRequest& in, const std::vector<std::string>& trusted_proxies);

// True for a POST whose Origin (or, without one, Referer) names another site than the board's
// own: the host the browser addressed, or that of board_url (the board's public address, for a
// proxy that passes another Host). A POST with neither header is the board's own (old browsers,
// tools).
bool IsCrossSitePost(const IncomingRequest& in, const ClientView& client,
                     std::string_view board_url = {});

// A request target as the host reads it: the path as received and decoded, and the query as
// received. Nothing for a target that is not an absolute path or whose path escapes are broken.
struct RequestTarget {
  std::string raw_path;
  std::string path;
  std::string query;
};
std::optional<RequestTarget> ParseTarget(std::string_view target);

// The request objects a page reads: query and form fields, cookies and server variables, texts
// decoded from GBK. The page host and the page tests' fake host both build requests here.
void BuildRequest(const IncomingRequest& in, const ClientView& client, const RequestTarget& target,
                  Request& out);

// The host's own error report of a page that failed outside its own handler.
std::string ErrorReportPage(long number, std::string_view description, std::string_view source);

class PageHost {
 public:
  // env: the clocks, randomness and mail transport for the host and its pages (what it points to
  // must outlive the host); its folders are taken from cfg (--data, --site).
  PageHost(const HostConfig& cfg, Application& app, Router router, Environment env = {});
  // The real environment but for the clock.
  PageHost(const HostConfig& cfg, Application& app, Router router, const Clock& clock);

  // Never throws: a failing page becomes an HTTP 500 report. The run_page of the result refers to
  // this host and must not outlive it.
  Dispatch Prepare(IncomingRequest in);
  // Prepare and the page at once. Never throws.
  OutgoingResponse Handle(const IncomingRequest& in);
  // The largest body a request for that target ("/admin/upload.asp?x=1") may send; the header
  // alone decides, before the body is read.
  size_t BodyLimit(std::string_view target) const;
  // The largest body any address takes.
  size_t LargestBodyLimit() const { return std::max(max_form_body_, max_upload_body_); }

  SessionStore& sessions() { return sessions_; }
  const Environment& services() const { return services_; }

 private:
  struct PageCall;
  Dispatch PrepareOrThrow(IncomingRequest& in);
  OutgoingResponse Call(PageCall& call);
  OutgoingResponse RunPage(const PageFn& page, const ErrorPageFn* error_page, Request& request,
                           std::string_view target, const ClientView& client);
  OutgoingResponse SessionFailure(const ScriptError& e, const ErrorPageFn* error_page,
                                  Request& request, std::string_view target,
                                  const ClientView& client);
  OutgoingResponse ServeStatic(std::string_view raw_path, const IncomingRequest& in);

  Application& app_;
  Router router_;
  size_t max_form_body_;
  size_t max_upload_body_;
  std::vector<std::string> trusted_proxies_;
  Environment services_;
  SessionStore sessions_;
  SiteFolder site_;
  Server server_;
};

// Small GBK pages of the host itself (status pages, not board pages).
OutgoingResponse StatusPage(int status, std::string_view title_utf8);
// The answer when every page worker is busy and the queue is full, or the board is stopping: 503
// with a Retry-After, so that a browser or a proxy tries again shortly.
OutgoingResponse BusyPage();

}  // namespace cb
