// The corkboard program: "serve" runs the board's HTTP server; "user add" creates an account.
// Reads the configuration, registers the data sources, prepares the database, then serves.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "host/config.h"
#include "host/net/http_server.h"
#include "host/router.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  corkboard serve [--listen HOST:PORT] [--data DIR] [--config FILE] [--site DIR] "
    "[--threads N]\n"
    "  corkboard user add NAME PASSWORD [--role administrator|moderater] [--data DIR]\n";

int Serve(const std::vector<std::string>& args) {
  cb::HostConfig cfg = cb::ConfigFromArgs(args);
  cb::Application app;
  cb::FillApplication(cfg, app);
  cb::Router router;
  cb::AddBoardRoutes(router);
  cb::HttpServer server(cfg, app, std::move(router));
  return server.Run();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (!args.empty() && args[0] == "serve") {
      return Serve({args.begin() + 1, args.end()});
    }
    std::fputs(kUsage, stderr);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corkboard: %s\n", e.what());
    return 1;
  }
}
