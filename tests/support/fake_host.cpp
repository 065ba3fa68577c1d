// FakeHost: request building from test-friendly URLs and access to what the page produced.
#include "support/fake_host.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "runtime/gbk.h"
#include "runtime/percent.h"

namespace cb::test {

namespace {

// Percent-decoding with "+" as space; bytes that are not UTF-8 are read as GBK, as a browser
// of a GBK page sends them.
std::string Decode(std::string_view raw) {
  std::string bytes = PercentDecode(raw, /*plus_is_space=*/true);
  return IsValidUtf8(bytes) ? bytes : GbkToUtf8(bytes);
}

// The query as a browser sends it: non-ASCII characters as percent-encoded GBK bytes.
std::string BrowserQuery(std::string_view query) {
  std::string out;
  for (unsigned char c : Utf8ToGbk(query)) {
    if (c >= 0x80 || c == ' ') {
      AppendPercentEscape(c, out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void ParseInto(std::string_view query, ValueCollection& out) {
  size_t start = 0;
  while (start <= query.size()) {
    size_t amp = query.find('&', start);
    std::string_view pair = query.substr(start, amp == std::string_view::npos ? amp : amp - start);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      std::string name = Decode(pair.substr(0, eq));
      std::string value = eq == std::string_view::npos ? "" : Decode(pair.substr(eq + 1));
      out.Add(std::move(name), std::move(value));
    }
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
}

// A data folder of its own for each host, removed with it.
std::string FreshDataDir() {
  static std::atomic<int> counter{0};
  return (std::filesystem::temp_directory_path() /
          ("corkboard-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter)))
      .string();
}

}  // namespace

FakeHost::~FakeHost() {
  std::error_code ec;
  std::filesystem::remove_all(services_.data_dir, ec);
}

FakeHost::FakeHost()
    : clock_(DateTime::FromParts(2024, 5, 9, 10, 20, 30)),
      context_(request_, response_, server_, session_, application_, services_) {
  services_.clock = &clock_;
  services_.random = &random_;
  services_.data_dir = FreshDataDir();
  NewRequest("GET", "/default.asp");
}

void FakeHost::NewRequest(std::string_view method, std::string_view url) {
  request_ = Request();
  response_ = Response();
  const size_t q = url.find('?');
  const std::string_view path = url.substr(0, q);
  const std::string_view query = q == std::string_view::npos ? "" : url.substr(q + 1);
  request_.SetRawQueryString(BrowserQuery(query));
  ParseInto(query, request_.query());
  request_.SetServerVariable("request_method", std::string(method));
  request_.SetServerVariable("script_name", std::string(path));
  request_.SetServerVariable("Remote_addr", "127.0.0.1");
  request_.SetServerVariable("query_string", request_.RawQueryString());
  for (const auto& [name, value] : cookie_jar_) request_.cookies().Set(name, value);
}

FakeHost& FakeHost::KeepCookies() {
  keep_cookies_ = true;
  return *this;
}

void FakeHost::StoreCookies() {
  if (!keep_cookies_) return;
  for (const auto& [name, cookie] : response_.cookies()) {
    if (cookie.expires && *cookie.expires < clock_.Now()) {
      cookie_jar_.erase(name);
    } else {
      cookie_jar_[name] = cookie.value;
    }
  }
}

FakeHost& FakeHost::Get(std::string_view url) {
  NewRequest("GET", url);
  return *this;
}

FakeHost& FakeHost::PostForm(std::string_view url, const FormFields& fields) {
  NewRequest("POST", url);
  std::string body;
  for (const auto& [name, value] : fields) {
    request_.form().Add(name, value);
    if (!body.empty()) body += '&';
    body += UrlEncode(name) + "=" + UrlEncode(value);
  }
  request_.SetBody(body);
  return *this;
}

FakeHost& FakeHost::Cookie(std::string name, std::string value) {
  request_.cookies().Set(std::move(name), std::move(value));
  return *this;
}

FakeHost& FakeHost::RemoteAddr(std::string address) {
  request_.SetServerVariable("Remote_addr", std::move(address));
  return *this;
}

FakeHost& FakeHost::ServerVariable(std::string name, std::string value) {
  request_.SetServerVariable(std::move(name), std::move(value));
  return *this;
}

std::string FakeHost::ResponseCookie(std::string_view name) const {
  auto it = response_.cookies().find(name);
  return it == response_.cookies().end() ? "" : it->second.value;
}

void FakeHost::Configure(std::initializer_list<std::pair<std::string, std::string>> values) {
  for (const auto& [key, value] : values) application_.Set(key, Variant(value));
}

}  // namespace cb::test
