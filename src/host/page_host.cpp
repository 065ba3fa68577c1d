// One HTTP exchange without the socket: request objects in, GBK page and cookies out.
#include "host/page_host.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>

#include "host/http_text.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "runtime/percent.h"
#include "runtime/script_error.h"

namespace cb {

namespace {

// The number the host reports for a failure that carries none of its own (E_UNEXPECTED).
constexpr long kUnexpectedError = -2147418113;

std::string HeaderText(std::string_view bytes) {
  std::string s(bytes);
  return IsValidUtf8(s) ? s : GbkToUtf8(s);
}

// "User-Agent" -> "HTTP_USER_AGENT"
std::string CgiName(std::string_view header) {
  std::string name = "HTTP_";
  for (char c : header) {
    if (c == '-') c = '_';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    name += c;
  }
  return name;
}

std::string HeaderValue(const HeaderList& headers, std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return value;
  }
  return {};
}

bool Listed(const std::vector<std::string>& list, std::string_view value) {
  for (const auto& item : list) {
    if (item == value) return true;
  }
  return false;
}

// An IPv4 or IPv6 address as a proxy writes it, nothing that could carry other text.
bool LooksLikeAddress(std::string_view s) {
  if (s.empty() || s.size() > 45) return false;
  for (char c : s) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
              c == '.' || c == ':';
    if (!ok) return false;
  }
  return true;
}

// "host:80" of an http address is "host" (likewise 443 for https), in lower case.
std::string WithoutDefaultPort(std::string authority, std::string_view scheme) {
  authority = ToLower(authority);
  std::string_view port = scheme == "https" ? ":443" : ":80";
  if (authority.ends_with(port)) authority.resize(authority.size() - port.size());
  return authority;
}

struct WebOrigin {
  std::string scheme;
  std::string authority;  // host[:port], lower case, the default port dropped
};

// The origin of an absolute http or https address; nullopt for anything else ("null", about:...).
std::optional<WebOrigin> OriginOf(std::string_view url) {
  size_t sep = url.find("://");
  if (sep == std::string_view::npos) return std::nullopt;
  std::string scheme = ToLower(url.substr(0, sep));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  std::string_view rest = url.substr(sep + 3);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;
  return WebOrigin{scheme, WithoutDefaultPort(std::string(authority), scheme)};
}

// The messages of the host's refusals, on the page's own error page.
constexpr std::string_view kPostOnlyMessage = "该操作只能通过论坛页面上的表单提交！";
constexpr std::string_view kCrossSiteMessage = "对不起，该表单来自其他网站，请求已被拒绝！";

// Seconds a visitor turned away by a full board is asked to wait before trying again.
constexpr const char* kBusyRetrySeconds = "2";

std::string SimplePage(std::string_view title, std::string_view body_html) {
  return "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=gb2312\">"
         "<title>" +
         std::string(title) + "</title></head><body>" + std::string(body_html) + "</body></html>";
}

OutgoingResponse HtmlAnswer(int status, const std::string& utf8_html) {
  OutgoingResponse out;
  out.status = status;
  out.headers.emplace_back("Content-Type", std::string(kPageContentType));
  out.body = Utf8ToGbk(utf8_html);
  return out;
}

void LogSessionFailure(const ScriptError& e, std::string_view target) {
  fprintf(stderr, "session not written %s: %ld %s\n", std::string(target).c_str(), e.number(),
          e.description().c_str());
}

OutgoingResponse ErrorAnswer(long number, std::string_view description, std::string_view source,
                             std::string_view path) {
  fprintf(stderr, "page error %s: %ld %.*s (%.*s)\n", std::string(path).c_str(), number,
          static_cast<int>(description.size()), description.data(), static_cast<int>(source.size()),
          source.data());
  return HtmlAnswer(500, ErrorReportPage(number, description, source));
}

// The response a page left, as HTTP; cookies get Secure when the request came over HTTPS.
OutgoingResponse ToHttp(const Response& response, bool secure) {
  OutgoingResponse out;
  if (const auto& url = response.redirect()) {
    std::string location = EncodeLocation(*url);
    out = HtmlAnswer(302, SimplePage("页面已转移", "页面已转移到<a href=\"" + HtmlEncode(location) +
                                                       "\">这里</a>。"));
    out.headers.emplace_back("Location", location);
  } else if (response.content_type().empty()) {
    out = HtmlAnswer(response.status(), response.body());
  } else {
    out.status = response.status();
    out.headers.emplace_back("Content-Type", response.content_type());
    out.body = response.body();
    for (const auto& header : response.headers()) out.headers.push_back(header);
  }
  out.headers.emplace_back("Cache-Control", "private");
  for (const auto& [name, cookie] : response.cookies()) {
    out.headers.emplace_back("Set-Cookie", FormatSetCookie(name, cookie, secure));
  }
  return out;
}

}  // namespace

std::string ErrorReportPage(long number, std::string_view description, std::string_view source) {
  return SimplePage("页面错误", "<h3>页面运行出错</h3><p>错误号：" + std::to_string(number) +
                                    "<br>错误描述：" + HtmlEncode(description) + "<br>错误来源：" +
                                    HtmlEncode(source) + "</p>");
}

ClientView ViewOfClient(const IncomingRequest& in,
                        const std::vector<std::string>& trusted_proxies) {
  ClientView view;
  view.address = in.remote_addr;
  view.host = std::string(TrimHeaderSpace(HeaderValue(in.headers, "Host")));
  if (!Listed(trusted_proxies, in.remote_addr)) return view;
  // Each proxy appends the address it heard from: the last one that is not ours is the client.
  const std::string chain_text = HeaderValue(in.headers, "X-Forwarded-For");
  std::string_view chain = chain_text;
  while (!chain.empty()) {
    size_t comma = chain.rfind(',');
    std::string_view hop =
        TrimHeaderSpace(comma == std::string_view::npos ? chain : chain.substr(comma + 1));
    if (!LooksLikeAddress(hop)) break;
    view.address = std::string(hop);
    if (!Listed(trusted_proxies, hop)) break;
    chain = comma == std::string_view::npos ? std::string_view() : chain.substr(0, comma);
  }
  view.secure =
      EqualsNoCase(TrimHeaderSpace(HeaderValue(in.headers, "X-Forwarded-Proto")), "https");
  const std::string forwarded_text = HeaderValue(in.headers, "X-Forwarded-Host");
  std::string_view forwarded_host = forwarded_text;
  forwarded_host = TrimHeaderSpace(forwarded_host.substr(0, forwarded_host.find(',')));
  if (!forwarded_host.empty()) view.host = std::string(forwarded_host);
  return view;
}

bool IsCrossSitePost(const IncomingRequest& in, const ClientView& client,
                     std::string_view board_url) {
  if (in.method != "POST" || client.host.empty()) return false;
  std::string source = HeaderValue(in.headers, "Origin");
  if (source.empty()) source = HeaderValue(in.headers, "Referer");
  if (source.empty()) return false;
  std::optional<WebOrigin> origin = OriginOf(TrimHeaderSpace(source));
  if (!origin) return true;
  // Without a trusted proxy the host cannot know the scheme the browser used, only the host.
  if (client.secure && origin->scheme != "https") return true;
  if (origin->authority == WithoutDefaultPort(client.host, origin->scheme)) return false;
  std::optional<WebOrigin> board = OriginOf(board_url);
  return !board || board->authority != origin->authority;
}

OutgoingResponse StatusPage(int status, std::string_view title_utf8) {
  std::string title = std::to_string(status) + " " + std::string(title_utf8);
  return HtmlAnswer(status, SimplePage(title, "<h3>" + title + "</h3>"));
}

OutgoingResponse BusyPage() {
  OutgoingResponse out = StatusPage(503, "论坛繁忙，请稍后再试");
  out.headers.emplace_back("Retry-After", kBusyRetrySeconds);
  return out;
}

namespace {

Environment WithFolders(Environment env, const HostConfig& cfg) {
  env.data_dir = cfg.data_dir;
  env.site_dir = cfg.site_dir;
  return env;
}

}  // namespace

// A page to run: the route's page, or the address's error page reporting a refusal.
struct PageHost::PageCall {
  Request request;
  ClientView client;
  std::string target;
  const PageFn* page = nullptr;
  const ErrorPageFn* error_page = nullptr;        // set when the host refuses the request
  const ErrorPageFn* route_error_page = nullptr;  // the address's, for a session not written
  std::string_view message;                       // of the refusal, a constant
  int refusal = 0;  // its status, which replaces a 200 of the error page
  HeaderList extra_headers;
};

PageHost::PageHost(const HostConfig& cfg, Application& app, Router router, Environment env)
    : app_(app),
      router_(std::move(router)),
      max_form_body_(cfg.max_body_bytes),
      max_upload_body_(cfg.max_upload_bytes),
      trusted_proxies_(cfg.trusted_proxies),
      services_(WithFolders(std::move(env), cfg)),
      sessions_(std::chrono::duration_cast<std::chrono::seconds>(cfg.session_timeout),
                *services_.clock, *services_.random),
      site_(cfg.site_dir) {
  sessions_.SetLimits({.total = cfg.max_sessions,
                       .per_address = cfg.sessions_per_address,
                       .trial_total = std::max<size_t>(cfg.max_sessions / 10, 1)});
  if (app.shared()) sessions_.Share(app.shared());
}

PageHost::PageHost(const HostConfig& cfg, Application& app, Router router, const Clock& clock)
    : PageHost(cfg, app, std::move(router), Environment{.clock = &clock}) {}

size_t PageHost::BodyLimit(std::string_view target) const {
  std::optional<RequestTarget> parsed = ParseTarget(target);
  if (!parsed) return max_form_body_;
  return router_.BodySizeOf(parsed->path) == BodySize::kUpload ? max_upload_body_ : max_form_body_;
}

OutgoingResponse PageHost::Handle(const IncomingRequest& in) {
  Dispatch dispatch = Prepare(in);
  if (dispatch.answer) return std::move(*dispatch.answer);
  return dispatch.run_page();
}

Dispatch PageHost::Prepare(IncomingRequest in) {
  Dispatch dispatch;
  try {
    return PrepareOrThrow(in);
  } catch (const std::exception& e) {
    dispatch.answer = ErrorAnswer(kUnexpectedError, e.what(), "Corkboard host", in.target);
  } catch (...) {
    dispatch.answer = ErrorAnswer(kUnexpectedError, "unknown failure", "Corkboard host", in.target);
  }
  return dispatch;
}

Dispatch PageHost::PrepareOrThrow(IncomingRequest& in) {
  Dispatch dispatch;
  std::optional<RequestTarget> target = ParseTarget(in.target);
  if (!target) {
    dispatch.answer = StatusPage(400, "Bad Request");
    return dispatch;
  }
  auto call = std::make_shared<PageCall>();
  call->client = ViewOfClient(in, trusted_proxies_);
  BuildRequest(in, call->client, *target, call->request);
  RouteMatch route = router_.Match(target->path, call->request);
  if (!route.page) {
    dispatch.answer = ServeStatic(target->raw_path, in);
    return dispatch;
  }
  if (in.method != "GET" && in.method != "POST" && in.method != "HEAD") {
    dispatch.answer = StatusPage(405, "Method Not Allowed");
    dispatch.answer->headers.emplace_back("Allow", "GET, HEAD, POST");
    return dispatch;
  }
  call->page = route.page;
  call->route_error_page = route.error_page;
  // A refused request sees the address's own error page when it has one, else a status page.
  auto refuse = [&](int status, std::string_view message) {
    if (route.error_page) {
      call->error_page = route.error_page;
      call->message = message;
      call->refusal = status;
    } else {
      dispatch.answer = StatusPage(status, status == 405 ? "Method Not Allowed" : "Forbidden");
    }
  };
  if (route.post_only && in.method != "POST") {
    refuse(405, kPostOnlyMessage);
    (dispatch.answer ? dispatch.answer->headers : call->extra_headers)
        .emplace_back("Allow", "POST");
  } else if (IsCrossSitePost(in, call->client, app_.Get("BBURL").Str())) {
    refuse(403, kCrossSiteMessage);
  }
  if (dispatch.answer) return dispatch;
  call->target = std::move(in.target);
  dispatch.run_page = [this, call = std::move(call)] { return Call(*call); };
  return dispatch;
}

OutgoingResponse PageHost::Call(PageCall& call) {
  OutgoingResponse out;
  try {
    if (call.error_page) {
      const ErrorPageFn& error_page = *call.error_page;
      std::string_view message = call.message;
      out = RunPage([&](ScriptingContext& ctx) { error_page(ctx, message); }, call.error_page,
                    call.request, call.target, call.client);
      if (out.status == 200) out.status = call.refusal;
    } else {
      out = RunPage(*call.page, call.route_error_page, call.request, call.target, call.client);
    }
    for (auto& header : call.extra_headers) out.headers.push_back(std::move(header));
  } catch (const std::exception& e) {
    out = ErrorAnswer(kUnexpectedError, e.what(), "Corkboard host", call.target);
  } catch (...) {
    out = ErrorAnswer(kUnexpectedError, "unknown failure", "Corkboard host", call.target);
  }
  return out;
}

std::optional<RequestTarget> ParseTarget(std::string_view target) {
  target = target.substr(0, target.find('#'));
  if (target.empty() || target.front() != '/') return std::nullopt;
  size_t question = target.find('?');
  std::string_view raw_path = target.substr(0, question);
  std::optional<std::string> path = PercentDecodePath(raw_path);
  if (!path) return std::nullopt;
  std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  return RequestTarget{std::string(raw_path), std::move(*path), std::string(query)};
}

void BuildRequest(const IncomingRequest& in, const ClientView& client, const RequestTarget& target,
                  Request& out) {
  const std::string& query = target.query;
  ParseUrlEncoded(query, out.query());
  out.SetRawQueryString(query);
  std::string content_type = HeaderValue(in.headers, "Content-Type");
  if (ToLower(content_type).starts_with("application/x-www-form-urlencoded")) {
    ParseUrlEncoded(in.body, out.form());
  }
  out.SetBody(in.body);
  for (const auto& [name, value] : in.headers) {
    if (EqualsNoCase(name, "Cookie")) ParseCookieHeader(value, out.cookies());
    out.SetServerVariable(CgiName(name), HeaderText(value));
  }
  const std::string& host = client.host;
  std::string server_name = host.empty() ? in.server_name : host.substr(0, host.rfind(':'));
  if (!host.empty() && host.front() == '[') server_name = host.substr(0, host.find(']') + 1);
  std::string page_path = HeaderText(target.path);
  const std::pair<const char*, std::string> vars[] = {
      {"REMOTE_ADDR", client.address},
      {"REMOTE_HOST", client.address},
      {"HTTPS", client.secure ? "on" : "off"},
      {"REQUEST_METHOD", in.method},
      {"SCRIPT_NAME", page_path},
      {"PATH_INFO", page_path},
      {"URL", page_path},
      {"QUERY_STRING", query},
      {"SERVER_NAME", server_name},
      {"SERVER_PORT", std::to_string(in.server_port)},
      {"SERVER_PROTOCOL", "HTTP/1.1"},
      {"CONTENT_TYPE", content_type},
      {"CONTENT_LENGTH", std::to_string(in.body.size())},
  };
  for (const auto& [name, value] : vars) out.SetServerVariable(name, value);
}

// The board's error page of the address, with the failure as a page reports a database error.
OutgoingResponse PageHost::SessionFailure(const ScriptError& e, const ErrorPageFn* error_page,
                                          Request& request, std::string_view target,
                                          const ClientView& client) {
  LogSessionFailure(e, target);
  if (!error_page) return ErrorAnswer(e.number(), e.description(), e.source(), target);
  const std::string text = "错误号：" + std::to_string(e.number()) + "<br>错误描述：" +
                           HtmlEncode(e.description()) + "<br>错误来源：" + HtmlEncode(e.source());
  std::shared_ptr<Session> unkept = sessions_.NewSession();
  Response response;
  ScriptingContext ctx(request, response, server_, *unkept, app_, services_);
  try {
    (*error_page)(ctx, text);
    response << "</body></html>";  // as the tail of a page that failed closes it
  } catch (const std::exception& failed) {
    return ErrorAnswer(kUnexpectedError, failed.what(), "Corkboard host", target);
  }
  return ToHttp(response, client.secure);
}

OutgoingResponse PageHost::RunPage(const PageFn& page, const ErrorPageFn* error_page,
                                   Request& request, std::string_view target,
                                   const ClientView& client) {
  // The session id travels in the host's own cookie, which pages never see.
  std::string session_id = request.cookies().Get(SessionStore::kCookieName).Str();
  if (request.cookies().Has(SessionStore::kCookieName)) {
    ValueCollection rest;
    for (const auto& [name, value] : request.cookies().all()) {
      if (!EqualsNoCase(name, SessionStore::kCookieName)) rest.Add(name, value);
    }
    request.cookies() = std::move(rest);
  }
  std::shared_ptr<Session> session;
  try {
    if (!session_id.empty()) session = sessions_.Find(session_id);
  } catch (const ScriptError& e) {
    // Unknown whether the visitor is signed in: the page does not run as a guest instead.
    return SessionFailure(e, error_page, request, target, client);
  }
  bool fresh = !session;
  if (fresh) session = sessions_.NewSession();

  Response response;
  ScriptingContext ctx(request, response, server_, *session, app_, services_);
  OutgoingResponse out;
  try {
    page(ctx);
    out = ToHttp(response, client.secure);
  } catch (const ScriptError& e) {
    out = ErrorAnswer(e.number(), e.description(), e.source(), target);
  } catch (const std::exception& e) {
    out = ErrorAnswer(kUnexpectedError, e.what(), "Corkboard", target);
  } catch (...) {
    out = ErrorAnswer(kUnexpectedError, "unknown failure", "Corkboard", target);
  }
  // A new session's id is known to nobody yet, so it needs no renewal, only keeping.
  const bool signed_in = session->TakeRenewal();  // the page changed who the visitor is
  const bool renew = signed_in && !fresh;
  const bool keep = fresh && !session->empty();
  try {
    if (renew) sessions_.Renew(session, client.address);
    if (keep) sessions_.Keep(session, client.address);
    if (!fresh && !renew) sessions_.Finish(session);
  } catch (const ScriptError& e) {
    // A sign-in that was not written must not look done: the member sees the database failure
    // and signs in again. Anything else the page did stands and its answer says so; only the
    // session's other values (a flood-guard time, a search's text) or its expiry are lost.
    if (signed_in) return SessionFailure(e, error_page, request, target, client);
    LogSessionFailure(e, target);
    return out;
  }
  if (renew || keep) {
    out.headers.emplace_back("Set-Cookie", std::string(SessionStore::kCookieName) + "=" +
                                               session->id() + "; Path=/; HttpOnly; SameSite=Lax" +
                                               (client.secure ? "; Secure" : ""));
  }
  return out;
}

OutgoingResponse PageHost::ServeStatic(std::string_view raw_path, const IncomingRequest& in) {
  StaticLookup found = site_.Lookup(raw_path);
  if (found.outcome == StaticLookup::kRefused) return StatusPage(400, "Bad Request");
  if (found.outcome == StaticLookup::kNotFound) return StatusPage(404, "Not Found");
  if (in.method != "GET" && in.method != "HEAD") {
    OutgoingResponse out = StatusPage(405, "Method Not Allowed");
    out.headers.emplace_back("Allow", "GET, HEAD");
    return out;
  }
  std::error_code ec;
  auto mtime = std::filesystem::last_write_time(found.path, ec);
  std::string modified;
  if (!ec) {
    auto sys = std::chrono::file_clock::to_sys(mtime);
    modified = HttpDateFromUnix(
        std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count());
    if (HeaderValue(in.headers, "If-Modified-Since") == modified) {
      OutgoingResponse out;
      out.status = 304;
      out.headers.emplace_back("Last-Modified", modified);
      return out;
    }
  }
  std::optional<std::string> bytes = SiteFolder::ReadFile(found.path);
  if (!bytes) return StatusPage(404, "Not Found");
  OutgoingResponse out;
  out.headers.emplace_back("Content-Type", found.content_type);
  if (!modified.empty()) out.headers.emplace_back("Last-Modified", modified);
  out.body = std::move(*bytes);
  return out;
}

}  // namespace cb
