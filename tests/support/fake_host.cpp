// FakeHost: requests as a browser sends them, built into host objects by the host's own builder,
// and access to what the page produced.
#include "support/fake_host.h"

#include <algorithm>

#include "runtime/gbk.h"
#include "runtime/percent.h"

namespace cb::test {

namespace {

// The query as a browser sends it: non-ASCII characters and spaces as percent-encoded GBK bytes.
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

// name=value pairs, both url-encoded, joined by separator: a form body or a Cookie header.
std::string Encoded(const FormFields& fields, std::string_view separator) {
  std::string out;
  for (const auto& [name, value] : fields) {
    out += (out.empty() ? "" : std::string(separator)) + UrlEncode(name) + "=" + UrlEncode(value);
  }
  return out;
}

}  // namespace

FakeHost::FakeHost()
    : clock_(DateTime::FromParts(2024, 5, 9, 10, 20, 30)),
      context_(request_, response_, server_, session_, application_, services_) {
  services_.clock = &clock_;
  services_.random = &random_;
  services_.data_dir = data_dir_.str();
  NewRequest("GET", "/default.asp");
}

void FakeHost::NewRequest(std::string_view method, std::string_view url) {
  const size_t q = url.find('?');
  incoming_ = IncomingRequest();
  incoming_.method = std::string(method);
  incoming_.target = std::string(url.substr(0, q));
  if (q != std::string_view::npos) incoming_.target += "?" + BrowserQuery(url.substr(q + 1));
  cookies_.clear();
  variables_.clear();
  response_ = Response();
  Rebuild();
}

void FakeHost::Rebuild() {
  IncomingRequest in = incoming_;
  if (!cookies_.empty()) in.headers.emplace_back("Cookie", Encoded(cookies_, "; "));
  request_ = Request();
  BuildRequest(in, ViewOfClient(in, {}), ParseTarget(in.target).value(), request_);
  for (const auto& [name, value] : variables_) request_.SetServerVariable(name, value);
}

FakeHost& FakeHost::Get(std::string_view url) {
  NewRequest("GET", url);
  return *this;
}

FakeHost& FakeHost::PostForm(std::string_view url, const FormFields& fields) {
  return PostBody(url, "application/x-www-form-urlencoded", Encoded(fields, "&"));
}

FakeHost& FakeHost::PostBody(std::string_view url, std::string content_type, std::string body) {
  NewRequest("POST", url);
  incoming_.headers = {{"Content-Type", std::move(content_type)}};
  incoming_.body = std::move(body);
  Rebuild();
  return *this;
}

FakeHost& FakeHost::Cookie(std::string name, std::string value) {
  auto it = std::find_if(cookies_.begin(), cookies_.end(),
                         [&](const auto& cookie) { return cookie.first == name; });
  if (it != cookies_.end()) {
    it->second = std::move(value);
  } else {
    cookies_.emplace_back(std::move(name), std::move(value));
  }
  Rebuild();
  return *this;
}

FakeHost& FakeHost::RemoteAddr(std::string address) {
  incoming_.remote_addr = std::move(address);
  Rebuild();
  return *this;
}

FakeHost& FakeHost::ServerVariable(std::string name, std::string value) {
  variables_.emplace_back(std::move(name), std::move(value));
  Rebuild();
  return *this;
}

std::string FakeHost::ResponseCookie(std::string_view name) const {
  auto it = response_.cookies().find(name);
  return it == response_.cookies().end() ? "" : it->second.value;
}

void FakeHost::SignIn(const std::string& name, const std::string& password) {
  session_.Set("Login", Variant(int16_t{1}));
  session_.Set("UserName", Variant(name));
  session_.Set("Password", Variant(password));
}

void FakeHost::Configure(std::initializer_list<std::pair<std::string, std::string>> values) {
  for (const auto& [key, value] : values) application_.Set(key, Variant(value));
}

}  // namespace cb::test
