// The host's configuration: a UTF-8 file of "Key = Value" lines that become application values,
// the host options read from the same keys, and command-line flags that override them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/context.h"

namespace cb {

class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct HostConfig {
  std::string listen_host = "127.0.0.1";
  uint16_t listen_port = 8080;
  std::string data_dir = "data";
  std::string site_dir = "site";
  int threads = 2;  // network threads: they read requests and write answers, never run a page
  // Page workers (0: twice the processors) and the requests that may wait while all are busy;
  // beyond that a request is answered 503 at once.
  int workers = 0;
  size_t worker_queue = 256;
  std::chrono::minutes session_timeout{20};
  std::chrono::milliseconds request_timeout{30000};  // a request must arrive within this
  size_t max_header_bytes = 16 * 1024;
  size_t max_body_bytes = 256 * 1024;         // a form's body: the longest post fits many times
  size_t max_upload_bytes = 3 * 1024 * 1024;  // the upload page's: its 2 MiB file with the form
  bool access_log = true;                     // one line per request on stderr
  // Open connections at most; 0 takes the descriptor limit less room for files and databases.
  size_t max_connections = 0;
  // Sessions kept at most, in total and per visitor address (the least recently used go first).
  size_t max_sessions = 100000;
  size_t sessions_per_address = 200;
  // Addresses of reverse proxies whose X-Forwarded-For, -Proto and -Host headers are believed.
  std::vector<std::string> trusted_proxies;

  // DataSource.<Name> = sqlite:<path>, as written; see ResolvedDataSources.
  std::map<std::string, std::string, NoCaseLess> data_sources;
  // Every line of the file, in order: each becomes an application value.
  std::vector<std::pair<std::string, std::string>> app_values;
};

// Reads the lines of a configuration text into cfg. Raises ConfigError naming the line.
void ParseConfigText(std::string_view text, HostConfig& cfg, std::string_view origin = "config");
// Reads a configuration file into cfg. Raises ConfigError when it cannot be read or parsed.
void LoadConfigFile(const std::string& path, HostConfig& cfg);

// The configuration of a command line: "--config FILE" is read first, then the flags override it:
// --listen HOST:PORT, --data DIR, --site DIR, --threads N, --workers N, --session-timeout MINUTES,
// --request-timeout SECONDS, --max-body BYTES, --max-upload BYTES, --set KEY=VALUE (an application
// value),
// --quiet (no access log). Raises ConfigError on an unknown flag or a bad value.
HostConfig ConfigFromArgs(const std::vector<std::string>& args);

// The data sources with their paths made absolute: a relative sqlite path is taken from data_dir.
// "Corkboard" -> "sqlite:/srv/board/data/corkboard.db".
std::map<std::string, std::string, NoCaseLess> ResolvedDataSources(const HostConfig& cfg);

// Stores every configured value as an application value (later lines win).
void FillApplication(const HostConfig& cfg, Application& app);

}  // namespace cb
