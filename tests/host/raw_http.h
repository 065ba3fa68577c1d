// A tiny blocking HTTP client over a plain socket for the server tests: it sends exactly the bytes
// a test writes (malformed requests included) and reads one response at a time.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/convert.h"

namespace cb::test {

struct RawResponse {
  int status = 0;
  std::multimap<std::string, std::string> headers;  // names lower-cased
  std::string body;
  std::string Header(const std::string& name) const {
    auto it = headers.find(ToLower(name));
    return it == headers.end() ? std::string() : it->second;
  }
};

class RawClient {
 public:
  explicit RawClient(uint16_t port) { Connect(port); }
  // A socket not yet connected: made while descriptors are to spare, connected later.
  RawClient() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {}
  ~RawClient() { Close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }

  bool Connect(uint16_t port) {
    if (fd_ < 0) fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) Close();
    return connected();
  }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  // Reads one response (Content-Length bodies; a body without length runs to the close).
  // Empty when the connection closes first or nothing arrives within timeout_ms.
  std::optional<RawResponse> Read(bool head = false, int timeout_ms = 5000) {
    size_t end;
    while ((end = buf_.find("\r\n\r\n")) == std::string::npos) {
      if (!Fill(timeout_ms)) return std::nullopt;
    }
    RawResponse r;
    std::string_view head_text(buf_.data(), end);
    size_t line_end = head_text.find("\r\n");
    std::string_view status_line = head_text.substr(0, line_end);
    if (status_line.size() < 12) return std::nullopt;
    r.status = std::stoi(std::string(status_line.substr(9, 3)));
    while (line_end != std::string_view::npos) {
      head_text.remove_prefix(line_end + 2);
      line_end = head_text.find("\r\n");
      std::string_view line = head_text.substr(0, line_end);
      size_t colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      std::string value(line.substr(colon + 1));
      value.erase(0, value.find_first_not_of(' '));
      r.headers.emplace(ToLower(line.substr(0, colon)), value);
    }
    buf_.erase(0, end + 4);
    std::string length = r.Header("content-length");
    if (head || r.status == 304 || r.status == 204 || r.status / 100 == 1) return r;
    if (!length.empty()) {
      size_t n = std::stoul(length);
      while (buf_.size() < n) {
        if (!Fill(timeout_ms)) return std::nullopt;
      }
      r.body = buf_.substr(0, n);
      buf_.erase(0, n);
    } else {
      while (Fill(timeout_ms)) {
      }
      r.body = std::move(buf_);
      buf_.clear();
    }
    return r;
  }

  // Sends request and reads its answer: status 0 when none came.
  RawResponse Ask(std::string_view request) {
    if (!Send(request)) return {};
    return Read().value_or(RawResponse{});
  }

  // True when the server closes the connection within timeout_ms (pending bytes are skipped).
  bool ClosedWithin(int timeout_ms) {
    while (Fill(timeout_ms)) {
    }
    return eof_;
  }

 private:
  bool Fill(int timeout_ms) {
    if (fd_ < 0 || eof_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char chunk[8192];
    ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
      eof_ = true;
      return false;
    }
    buf_.append(chunk, static_cast<size_t>(n));
    return true;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
  bool eof_ = false;
  std::string buf_;
};

// One request on a fresh connection.
inline std::optional<RawResponse> Fetch(uint16_t port, std::string_view raw_request) {
  RawClient client(port);
  if (!client.Send(raw_request)) return std::nullopt;
  return client.Read();
}

// One request on a fresh connection: status 0 when no answer came.
inline RawResponse Ask(uint16_t port, std::string_view raw_request) {
  return Fetch(port, raw_request).value_or(RawResponse{});
}

inline std::string GetRequest(std::string_view target, std::string_view extra_headers = "") {
  return "GET " + std::string(target) + " HTTP/1.1\r\nHost: localhost\r\n" +
         std::string(extra_headers) + "\r\n";
}

// A POST of a url-encoded form; extra_headers end each line with CRLF.
inline std::string PostRequest(std::string_view target, std::string_view form,
                               std::string_view extra_headers = "") {
  return "POST " + std::string(target) +
         " HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: " +
         std::to_string(form.size()) + "\r\n" + std::string(extra_headers) + "\r\n" +
         std::string(form);
}

}  // namespace cb::test
