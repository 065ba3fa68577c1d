// The corkboard program: "serve" runs the board's HTTP server; "user add" creates an account;
// "migrate" copies a board into PostgreSQL; "backup" copies a serving board to a file.
// Reads the configuration, registers the data sources, prepares the database, then serves.
#include <malloc.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "board/routes.h"
#include "browse/online_share.h"
#include "frame/settings.h"
#include "frame/view_counts.h"
#include "host/config.h"
#include "host/net/http_server.h"
#include "mail/mass_mail.h"
#include "host/router.h"
#include "mail/mail_queue.h"
#include "runtime/script_error.h"
#include "store/board_copy.h"
#include "store/board_setup.h"
#include "store/data_sources.h"
#include "store/shared_state.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  corkboard serve [--listen HOST:PORT] [--data DIR] [--config FILE] [--site DIR] "
    "[--threads N] [--workers N]\n"
    "  corkboard user add NAME PASSWORD [--role administrator|moderater] [--data DIR] "
    "[--config FILE]\n"
    "  corkboard migrate --from sqlite:FILE --to postgresql://USER@HOST/DB\n"
    "  corkboard backup DEST [--data DIR] [--config FILE]\n";

constexpr const char* kDefaultDataSource = "Corkboard";
// The folder of the data folder where notices wait for the mail server.
constexpr const char* kMailQueueFolder = "mailqueue";
// The application values that cache menus; emptying one empties it in every process.
const std::vector<std::string> kCachedMenus = {"ForumAndArchiveList", "ArchiveList"};

// The data source the pages open: the DSN setting, "Corkboard" unless configured.
std::string BoardDataSource(const cb::HostConfig& cfg) {
  std::string dsn;
  for (const auto& [key, value] : cfg.app_values) {
    if (cb::Router::Key(key) == "dsn") dsn = value;
  }
  return dsn.empty() ? kDefaultDataSource : dsn;
}

// Every configured data source; the board's own one defaults to <data>/corkboard.db.
std::map<std::string, std::string, cb::NoCaseLess> BoardSources(const cb::HostConfig& cfg) {
  auto sources = cb::ResolvedDataSources(cfg);
  const std::string dsn = BoardDataSource(cfg);
  if (sources.find(dsn) == sources.end()) {
    sources[dsn] = "sqlite:" + (std::filesystem::absolute(cfg.data_dir) / "corkboard.db").string();
  }
  return sources;
}

// Registers every configured data source.
std::string PrepareStore(const cb::HostConfig& cfg) {
  std::filesystem::create_directories(cfg.data_dir);
  const std::string dsn = BoardDataSource(cfg);
  for (const auto& [name, spec] : BoardSources(cfg)) {
    cb::RegisterDataSource(name, cb::ParseDataSourceSpec(spec));
  }
  return "Provider=MSDASQL.1;USER ID=;PASSWORD=;DATA SOURCE=" + dsn;
}

// A page of a long list is a few hundred kilobytes built in growing strings. Above the allocator's
// default 128 KiB each such buffer was a fresh mapping, and freed memory went back to the kernel
// at once, so every page paid its page faults again (half the CPU of a deep topic list). Large
// blocks now come from the heap and freed memory stays for the next page.
void KeepPageBuffers() {
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

int Serve(const std::vector<std::string>& args) {
  KeepPageBuffers();
  cb::HostConfig cfg = cb::ConfigFromArgs(args);
  const std::string connection = PrepareStore(cfg);
  cb::SeedResult seed = cb::SeedNewBoard(connection);
  if (seed.created) {
    std::fprintf(stderr,
                 "corkboard: new board created with the forum \"%s\" in \"%s\".\n"
                 "corkboard: administrator \"%s\", password \"%s\" (shown only this once).\n",
                 seed.forum.c_str(), seed.catalog.c_str(), seed.admin_name.c_str(),
                 seed.admin_password.c_str());
  }
  cb::Application app;
  cb::FillApplication(cfg, app);
  // A PostgreSQL board may be served by several processes: they share sessions, attempt tables,
  // the online table and the emptying of the menus (nothing to share on SQLite).
  std::shared_ptr<cb::SharedState> shared =
      cb::OpenSharedState(cb::ParseDataSourceSpec(BoardSources(cfg)[BoardDataSource(cfg)]));
  app.Share(shared, kCachedMenus);
  cb::Router router;
  cb::AddBoardRoutes(router);
  // Mails link to BBURL; without one, to the listening address (port 0 is known once bound).
  if (cfg.listen_port != 0) cb::DefaultBoardUrl(app, cfg.listen_host, cfg.listen_port);
  // Notices wait here to be sent in the background; it outlives the server, whose pages queue.
  const std::filesystem::path queue_folder = std::filesystem::path(cfg.data_dir) / kMailQueueFolder;
  auto mail_queue = std::make_shared<cb::MailQueue>(queue_folder.string());
  cb::Environment env;
  env.mail_queue = mail_queue;
  cb::HttpServer server(cfg, app, std::move(router), env);
  server.Start();
  cb::DefaultBoardUrl(app, cfg.listen_host, server.port());
  // A mass mailing cut short by the last stop goes on with the addresses it had not reached.
  cb::MassMailQueue::Board().Resume(cfg.data_dir);
  std::fprintf(stderr, "corkboard: serving http://%s:%u/ (data in %s)\n", cfg.listen_host.c_str(),
               static_cast<unsigned>(cfg.listen_port), cfg.data_dir.c_str());
  int code = 0;
  {
    // Made after the server's start and ended before the mail queue: its end writes the last views.
    cb::ViewCountWriter view_counts;
    std::unique_ptr<cb::OnlineSharer> online;
    if (shared) online = std::make_unique<cb::OnlineSharer>(app, shared);
    code = server.Run();
  }
  mail_queue->Stop();  // the pages have ended: what they queued is tried once more
  return code;
}

// corkboard user add NAME PASSWORD [--role R] [--data DIR] [--config FILE]
int UserAdd(const std::vector<std::string>& args) {
  if (args.size() < 3 || args[0] != "add") {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string role;
  std::vector<std::string> host_args;
  for (size_t i = 3; i < args.size(); ++i) {
    if (args[i] == "--role" && i + 1 < args.size()) {
      role = args[++i];
    } else {
      host_args.push_back(args[i]);
    }
  }
  cb::HostConfig cfg = cb::ConfigFromArgs(host_args);
  const std::string connection = PrepareStore(cfg);
  cb::AddUser(connection, args[1], args[2], role);
  std::fprintf(stderr, "corkboard: added %s%s%s\n", args[1].c_str(), role.empty() ? "" : " as ",
               role.c_str());
  return 0;
}

// corkboard migrate --from sqlite:FILE --to postgresql://...
int Migrate(const std::vector<std::string>& args) {
  std::string from, to;
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--from") from = args[i + 1];
    if (args[i] == "--to") to = args[i + 1];
  }
  if (from.empty() || to.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  auto counts = cb::CopyBoard(cb::ParseDataSourceSpec(from), cb::ParseDataSourceSpec(to),
                              [](const std::string& line) {
                                std::fprintf(stderr, "corkboard: copied %s\n", line.c_str());
                              });
  std::fprintf(stderr, "corkboard: %zu tables copied; every row count checked and equal.\n",
               counts.size());
  return 0;
}

// corkboard backup DEST [--data DIR] [--config FILE]
int Backup(const std::vector<std::string>& args) {
  if (args.empty() || args[0].rfind("--", 0) == 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  cb::HostConfig cfg = cb::ConfigFromArgs({args.begin() + 1, args.end()});
  std::string spec = BoardSources(cfg)[BoardDataSource(cfg)];
  cb::BackupBoard(cb::ParseDataSourceSpec(spec), args[0]);
  std::fprintf(stderr, "corkboard: backup written to %s\n", args[0].c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (!args.empty() && args[0] == "serve") return Serve({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "user") return UserAdd({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "migrate") return Migrate({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "backup") return Backup({args.begin() + 1, args.end()});
    std::fputs(kUsage, stderr);
    return 2;
  } catch (const cb::ScriptError& e) {
    std::fprintf(stderr, "corkboard: %s\n", e.description().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corkboard: %s\n", e.what());
    return 1;
  }
}
