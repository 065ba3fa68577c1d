// The real board as a child process for the durability tests: started on a free port with its
// own data folder (and a PostgreSQL board when the tests run on a cluster), killed or stopped,
// and posted to over HTTP as visitors from many addresses.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/raw_http.h"
#include "runtime/gbk.h"
#include "support/test_env.h"

extern char** environ;

namespace cb::test {

inline uint16_t FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// A POST of a url-encoded form on a fresh connection, as the visitor at `address` behind the
// trusted proxy (holding the session id `session`, if any). Empty when the connection closes or
// nothing arrives within 30 s.
inline std::optional<RawResponse> PostForm(uint16_t port, const std::string& target,
                                           const std::string& form, const std::string& address,
                                           const std::string& session = "") {
  RawClient client(port);
  const std::string headers = "X-Forwarded-For: " + address + "\r\nConnection: close\r\n" +
                              (session.empty() ? "" : "Cookie: CBSESSION=" + session + "\r\n");
  if (!client.Send(PostRequest(target, form, headers))) return std::nullopt;
  return client.Read(false, 30000);
}

// A page's text in UTF-8 (pages are sent in GBK).
inline std::string PageText(const RawResponse& r) { return GbkToUtf8(r.body); }

class BoardProcess {
 public:
  // data: the data folder; sets: --set values (the data source among them).
  BoardProcess(std::filesystem::path data, std::vector<std::string> sets)
      : data_(std::move(data)), sets_(std::move(sets)) {
    sets_.insert(sets_.begin(), {"TrustedProxy=127.0.0.1", "SmtpServer=dir:outbox"});
  }
  ~BoardProcess() { Kill(); }

  // Starts the board on a fresh port and waits until it answers; false after 60 s.
  bool Start() {
    port_ = FreePort();
    const std::string listen = "127.0.0.1:" + std::to_string(port_);
    const std::string site = std::string(CORKBOARD_SOURCE_DIR) + "/site";
    std::vector<std::string> args = {CORKBOARD_BIN, "serve",        "--quiet", "--listen", listen,
                                     "--data",      data_.string(), "--site",  site};
    for (const std::string& s : sets_) args.insert(args.end(), {"--set", s});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const std::string log = (data_ / "server.log").string();
    posix_spawn_file_actions_addopen(&files, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int rc = posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0) return false;
    return Eventually(
        [&] {
          auto r = Fetch(port_, GetRequest("/default.asp"));
          return r && r->status == 200;
        },
        std::chrono::seconds(60));
  }

  // SIGKILL: no chance to finish anything.
  void Kill() { End(SIGKILL); }
  // SIGTERM, as a service manager stops it; true when it exited 0.
  bool Stop() { return End(SIGTERM) == 0; }

  uint16_t port() const { return port_; }

 private:
  int End(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::filesystem::path data_;
  std::vector<std::string> sets_;
  pid_t pid_ = 0;
  uint16_t port_ = 0;
};

}  // namespace cb::test
