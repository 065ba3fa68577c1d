// One HTTP exchange without the socket: request objects in, GBK page and cookies out.
#include "host/page_host.h"

#include <chrono>
#include <cstdio>
#include <exception>

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

OutgoingResponse ErrorAnswer(long number, std::string_view description, std::string_view source,
                             std::string_view path) {
  fprintf(stderr, "page error %s: %ld %.*s (%.*s)\n", std::string(path).c_str(), number,
          static_cast<int>(description.size()), description.data(), static_cast<int>(source.size()),
          source.data());
  return HtmlAnswer(500, ErrorReportPage(number, description, source));
}

// The response a page left, as HTTP.
OutgoingResponse ToHttp(const Response& response) {
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
  }
  out.headers.emplace_back("Cache-Control", "private");
  for (const auto& [name, cookie] : response.cookies()) {
    out.headers.emplace_back("Set-Cookie", FormatSetCookie(name, cookie));
  }
  return out;
}

}  // namespace

std::string ErrorReportPage(long number, std::string_view description, std::string_view source) {
  return SimplePage("页面错误", "<h3>页面运行出错</h3><p>错误号：" + std::to_string(number) +
                                    "<br>错误描述：" + HtmlEncode(description) + "<br>错误来源：" +
                                    HtmlEncode(source) + "</p>");
}

OutgoingResponse StatusPage(int status, std::string_view title_utf8) {
  std::string title = std::to_string(status) + " " + std::string(title_utf8);
  return HtmlAnswer(status, SimplePage(title, "<h3>" + title + "</h3>"));
}

PageHost::PageHost(const HostConfig& cfg, Application& app, Router router, const Clock& clock)
    : app_(app),
      router_(std::move(router)),
      sessions_(std::chrono::duration_cast<std::chrono::seconds>(cfg.session_timeout)),
      site_(cfg.site_dir) {
  services_.clock = &clock;
  services_.data_dir = cfg.data_dir;
  services_.site_dir = cfg.site_dir;
}

OutgoingResponse PageHost::Handle(const IncomingRequest& in) {
  try {
    return HandleOrThrow(in);
  } catch (const std::exception& e) {
    return ErrorAnswer(kUnexpectedError, e.what(), "Corkboard host", in.target);
  } catch (...) {
    return ErrorAnswer(kUnexpectedError, "unknown failure", "Corkboard host", in.target);
  }
}

OutgoingResponse PageHost::HandleOrThrow(const IncomingRequest& in) {
  std::string_view target = in.target;
  target = target.substr(0, target.find('#'));
  if (target.empty() || target.front() != '/') return StatusPage(400, "Bad Request");
  size_t question = target.find('?');
  std::string_view raw_path = target.substr(0, question);
  std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  std::optional<std::string> path = PercentDecodePath(raw_path);
  if (!path) return StatusPage(400, "Bad Request");

  Request request;
  BuildRequest(in, *path, query, request);
  if (const PageFn* page = router_.Find(*path, request)) {
    if (in.method != "GET" && in.method != "POST" && in.method != "HEAD") {
      OutgoingResponse out = StatusPage(405, "Method Not Allowed");
      out.headers.emplace_back("Allow", "GET, HEAD, POST");
      return out;
    }
    return RunPage(*page, request, in);
  }
  return ServeStatic(raw_path, in);
}

void PageHost::BuildRequest(const IncomingRequest& in, std::string_view path,
                            std::string_view query, Request& out) const {
  ParseUrlEncoded(query, out.query());
  out.SetRawQueryString(std::string(query));
  std::string content_type = HeaderValue(in.headers, "Content-Type");
  if (ToLower(content_type).starts_with("application/x-www-form-urlencoded")) {
    ParseUrlEncoded(in.body, out.form());
  }
  out.SetBody(in.body);
  for (const auto& [name, value] : in.headers) {
    if (EqualsNoCase(name, "Cookie")) ParseCookieHeader(value, out.cookies());
    out.SetServerVariable(CgiName(name), HeaderText(value));
  }
  std::string host = HeaderValue(in.headers, "Host");
  std::string server_name = host.empty() ? in.server_name : host.substr(0, host.rfind(':'));
  if (!host.empty() && host.front() == '[') server_name = host.substr(0, host.find(']') + 1);
  std::string page_path = HeaderText(path);
  const std::pair<const char*, std::string> vars[] = {
      {"REMOTE_ADDR", in.remote_addr},
      {"REMOTE_HOST", in.remote_addr},
      {"REQUEST_METHOD", in.method},
      {"SCRIPT_NAME", page_path},
      {"PATH_INFO", page_path},
      {"URL", page_path},
      {"QUERY_STRING", std::string(query)},
      {"SERVER_NAME", server_name},
      {"SERVER_PORT", std::to_string(in.server_port)},
      {"SERVER_PROTOCOL", "HTTP/1.1"},
      {"CONTENT_TYPE", content_type},
      {"CONTENT_LENGTH", std::to_string(in.body.size())},
  };
  for (const auto& [name, value] : vars) out.SetServerVariable(name, value);
}

OutgoingResponse PageHost::RunPage(const PageFn& page, Request& request,
                                   const IncomingRequest& in) {
  // The session id travels in the host's own cookie, which pages never see.
  std::string session_id = request.cookies().Get(SessionStore::kCookieName).Str();
  if (request.cookies().Has(SessionStore::kCookieName)) {
    ValueCollection rest;
    for (const auto& [name, value] : request.cookies().all()) {
      if (!EqualsNoCase(name, SessionStore::kCookieName)) rest.Add(name, value);
    }
    request.cookies() = std::move(rest);
  }
  std::shared_ptr<Session> session = session_id.empty() ? nullptr : sessions_.Find(session_id);
  bool fresh = !session;
  if (fresh) session = sessions_.NewSession();

  Response response;
  ScriptingContext ctx(request, response, server_, *session, app_, services_);
  OutgoingResponse out;
  try {
    page(ctx);
    out = ToHttp(response);
  } catch (const ScriptError& e) {
    out = ErrorAnswer(e.number(), e.description(), e.source(), in.target);
  } catch (const std::exception& e) {
    out = ErrorAnswer(kUnexpectedError, e.what(), "Corkboard", in.target);
  } catch (...) {
    out = ErrorAnswer(kUnexpectedError, "unknown failure", "Corkboard", in.target);
  }
  if (fresh && !session->empty()) {
    sessions_.Keep(session);
    out.headers.emplace_back("Set-Cookie", std::string(SessionStore::kCookieName) + "=" +
                                               session->id() + "; Path=/; HttpOnly; SameSite=Lax");
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
