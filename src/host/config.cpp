// The host's configuration file and command-line flags.
#include "host/config.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/convert.h"

namespace cb {

namespace {

std::string_view Strip(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

template <class T>
T ParseNumberIn(std::string_view text, T low, T high, const std::string& what) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw ConfigError(what + ": not a number in range: \"" + std::string(text) + "\"");
  }
  return value;
}

void SetListen(std::string_view text, HostConfig& cfg, const std::string& what) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    throw ConfigError(what + ": Listen must be HOST:PORT, got \"" + std::string(text) + "\"");
  }
  std::string_view host = text.substr(0, colon);
  // [::1]:8080
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  cfg.listen_host = std::string(host);
  cfg.listen_port = ParseNumberIn<uint16_t>(text.substr(colon + 1), 0, 65535, what);
}

constexpr std::string_view kDataSourcePrefix = "DataSource.";

// The host keys; every key also becomes an application value.
void ApplyKey(std::string_view key, std::string_view value, HostConfig& cfg,
              const std::string& what) {
  if (EqualsNoCase(key, "Listen")) {
    SetListen(value, cfg, what);
  } else if (EqualsNoCase(key, "DataDir")) {
    cfg.data_dir = std::string(value);
  } else if (EqualsNoCase(key, "SiteDir")) {
    cfg.site_dir = std::string(value);
  } else if (EqualsNoCase(key, "Threads")) {
    cfg.threads = ParseNumberIn<int>(value, 1, 256, what);
  } else if (EqualsNoCase(key, "Workers")) {
    cfg.workers = ParseNumberIn<int>(value, 0, 1024, what);
  } else if (EqualsNoCase(key, "WorkerQueue")) {
    cfg.worker_queue = ParseNumberIn<size_t>(value, 0, 1000000, what);
  } else if (EqualsNoCase(key, "MaxBodyBytes")) {
    cfg.max_body_bytes = ParseNumberIn<size_t>(value, 1024, size_t{1} << 30, what);
  } else if (EqualsNoCase(key, "MaxUploadBytes")) {
    cfg.max_upload_bytes = ParseNumberIn<size_t>(value, 1024, size_t{1} << 30, what);
  } else if (EqualsNoCase(key, "SessionTimeout")) {
    cfg.session_timeout = std::chrono::minutes(ParseNumberIn<int>(value, 1, 24 * 60, what));
  } else if (EqualsNoCase(key, "MaxConnections")) {
    cfg.max_connections = ParseNumberIn<size_t>(value, 0, 1000000, what);
  } else if (EqualsNoCase(key, "MaxSessions")) {
    cfg.max_sessions = ParseNumberIn<size_t>(value, 100, 100000000, what);
  } else if (EqualsNoCase(key, "SessionsPerAddress")) {
    cfg.sessions_per_address = ParseNumberIn<size_t>(value, 1, 100000000, what);
  } else if (EqualsNoCase(key, "TrustedProxy")) {
    cfg.trusted_proxies.clear();
    for (std::string_view rest = value; !rest.empty();) {
      size_t comma = rest.find(',');
      std::string_view one = Strip(rest.substr(0, comma));
      if (!one.empty()) cfg.trusted_proxies.emplace_back(one);
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
  } else if (key.size() > kDataSourcePrefix.size() &&
             EqualsNoCase(key.substr(0, kDataSourcePrefix.size()), kDataSourcePrefix)) {
    bool postgres = value.substr(0, 13) == "postgresql://" || value.substr(0, 11) == "postgres://";
    if (!postgres && (value.substr(0, 7) != "sqlite:" || value.size() == 7)) {
      throw ConfigError(what + ": a data source is sqlite:<path> or postgresql://..., got \"" +
                        std::string(value) + "\"");
    }
    cfg.data_sources.insert_or_assign(std::string(key.substr(kDataSourcePrefix.size())),
                                      std::string(value));
  }
}

void SetValue(std::string_view key, std::string_view value, HostConfig& cfg,
              const std::string& what) {
  ApplyKey(key, value, cfg, what);
  cfg.app_values.emplace_back(std::string(key), std::string(value));
}

}  // namespace

void ParseConfigText(std::string_view text, HostConfig& cfg, std::string_view origin) {
  int number = 0;
  for (size_t pos = 0; pos <= text.size();) {
    size_t end = std::min(text.find('\n', pos), text.size());
    std::string_view line = Strip(text.substr(pos, end - pos));
    pos = end + 1;
    if (++number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line = Strip(line.substr(3));
    if (line.empty() || line.front() == '#') continue;
    std::string what = std::string(origin) + ":" + std::to_string(number);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) throw ConfigError(what + ": expected Key = Value");
    std::string_view key = Strip(line.substr(0, eq));
    if (key.empty()) throw ConfigError(what + ": empty key");
    SetValue(key, Strip(line.substr(eq + 1)), cfg, what);
  }
}

void LoadConfigFile(const std::string& path, HostConfig& cfg) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ConfigError("cannot read the configuration file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  ParseConfigText(text.str(), cfg, path);
}

HostConfig ConfigFromArgs(const std::vector<std::string>& args) {
  HostConfig cfg;
  // The file first, wherever --config stands, so that every flag overrides it.
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--config") {
      if (i + 1 >= args.size()) throw ConfigError("--config needs a file");
      LoadConfigFile(args[i + 1], cfg);
    }
  }
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--quiet") {
      cfg.access_log = false;
      continue;
    }
    if (i + 1 >= args.size()) throw ConfigError(flag + " needs a value");
    const std::string& value = args[++i];
    if (flag == "--config") {
      continue;
    } else if (flag == "--listen") {
      SetListen(value, cfg, flag);
    } else if (flag == "--data") {
      cfg.data_dir = value;
    } else if (flag == "--site") {
      cfg.site_dir = value;
    } else if (flag == "--threads") {
      cfg.threads = ParseNumberIn<int>(value, 1, 256, flag);
    } else if (flag == "--workers") {
      cfg.workers = ParseNumberIn<int>(value, 0, 1024, flag);
    } else if (flag == "--session-timeout") {
      cfg.session_timeout = std::chrono::minutes(ParseNumberIn<int>(value, 1, 24 * 60, flag));
    } else if (flag == "--request-timeout") {
      cfg.request_timeout = std::chrono::seconds(ParseNumberIn<int>(value, 1, 3600, flag));
    } else if (flag == "--max-body") {
      cfg.max_body_bytes = ParseNumberIn<size_t>(value, 1024, size_t{1} << 30, flag);
    } else if (flag == "--max-upload") {
      cfg.max_upload_bytes = ParseNumberIn<size_t>(value, 1024, size_t{1} << 30, flag);
    } else if (flag == "--set") {
      size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) throw ConfigError("--set needs KEY=VALUE");
      SetValue(Strip(std::string_view(value).substr(0, eq)),
               Strip(std::string_view(value).substr(eq + 1)), cfg, flag);
    } else {
      throw ConfigError("unknown option " + flag);
    }
  }
  return cfg;
}

std::map<std::string, std::string, NoCaseLess> ResolvedDataSources(const HostConfig& cfg) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string, NoCaseLess> out;
  for (const auto& [name, spec] : cfg.data_sources) {
    if (spec.rfind("sqlite:", 0) != 0) {  // a database server's address stands as it is
      out.emplace(name, spec);
      continue;
    }
    fs::path path(spec.substr(7));
    // ":memory:" and the like are SQLite's own names, not files.
    if (path.is_relative() && spec[7] != ':') path = fs::absolute(fs::path(cfg.data_dir) / path);
    out.emplace(name, "sqlite:" + path.lexically_normal().string());
  }
  return out;
}

void FillApplication(const HostConfig& cfg, Application& app) {
  for (const auto& [key, value] : cfg.app_values) app.Set(key, Variant(value));
}

}  // namespace cb
