// Configuration: the Key = Value file, host keys, data sources, flags over the file.
#include "host/config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/case_table.h"
#include "support/test_env.h"

namespace cb {
namespace {

TEST(ConfigTest, EveryLineBecomesAnApplicationValue) {
  HostConfig cfg;
  ParseConfigText(
      "\xEF\xBB\xBF# board\n"
      "BBName = 测试论坛\r\n"
      "\n"
      "   # indented comment\n"
      "Copyright = <p align=center>a = b</p>\n"
      "Password =\n"
      "PageSize=30",
      cfg);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"BBName", "测试论坛"},
      {"Copyright", "<p align=center>a = b</p>"},
      {"Password", ""},
      {"PageSize", "30"}};
  EXPECT_EQ(cfg.app_values, expected);
  Application app;
  FillApplication(cfg, app);
  EXPECT_EQ(app.Get("bbname").Str(), "测试论坛");
  EXPECT_EQ(app.Get("PAGESIZE").Str(), "30");
  EXPECT_FALSE(app.Get("Password").IsEmpty());
}

TEST(ConfigTest, HostKeysSetTheHostOptions) {
  HostConfig cfg;
  ParseConfigText(
      "listen = 0.0.0.0:9090\nDataDir = /srv/board\nSiteDir = /srv/site\nThreads = 6\n"
      "SessionTimeout = 45\nDataSource.Corkboard = sqlite:corkboard.db\n"
      "DataSource.Other = sqlite:/abs/other.db\nTrustedProxy = 127.0.0.1, ::1 ,\n"
      "DataSource.Big = postgresql://board@db.example/corkboard\n"
      "MaxConnections = 500\nMaxSessions = 5000\nSessionsPerAddress = 50\n"
      "Workers = 8\nWorkerQueue = 40\nMaxBodyBytes = 65536\nMaxUploadBytes = 10485760\n",
      cfg);
  EXPECT_EQ(cfg.workers, 8);
  EXPECT_EQ(cfg.worker_queue, 40u);
  EXPECT_EQ(cfg.max_body_bytes, 65536u);
  EXPECT_EQ(cfg.max_upload_bytes, 10485760u);
  EXPECT_EQ(cfg.trusted_proxies, (std::vector<std::string>{"127.0.0.1", "::1"}));
  EXPECT_EQ(cfg.max_connections, 500u);
  EXPECT_EQ(cfg.max_sessions, 5000u);
  EXPECT_EQ(cfg.sessions_per_address, 50u);
  EXPECT_EQ(cfg.listen_host, "0.0.0.0");
  EXPECT_EQ(cfg.listen_port, 9090);
  EXPECT_EQ(cfg.data_dir, "/srv/board");
  EXPECT_EQ(cfg.site_dir, "/srv/site");
  EXPECT_EQ(cfg.threads, 6);
  EXPECT_EQ(cfg.session_timeout, std::chrono::minutes(45));
  auto sources = ResolvedDataSources(cfg);
  EXPECT_EQ(sources["corkboard"], "sqlite:/srv/board/corkboard.db");
  EXPECT_EQ(sources["Other"], "sqlite:/abs/other.db");
  EXPECT_EQ(sources["big"], "postgresql://board@db.example/corkboard");
}

TEST(ConfigTest, BadLinesNameTheirLine) {
  for (auto table = test::ReadCaseTable("host.txt");
       const test::TextCase& c : table["config_error"]) {
    HostConfig cfg;
    EXPECT_THAT([&] { ParseConfigText(c.in.at(0), cfg); },
                ::testing::ThrowsMessage<ConfigError>(::testing::HasSubstr(c.out.at(0))))
        << c.where;
  }
}

TEST(ConfigTest, FlagsOverrideTheFileWhereverItStands) {
  const test::ScratchDir scratch("cbcfg");
  const std::filesystem::path& dir = scratch.path();
  std::string file = (dir / "board.conf").string();
  std::ofstream(file) << "Listen = 127.0.0.1:8080\nDataDir = from-file\nThreads = 2\n"
                         "DataSource.Corkboard = sqlite:board.db\nBBName = 文件\n";
  HostConfig cfg = ConfigFromArgs({"--data", dir.string(), "--listen", "[::1]:0", "--config", file,
                                   "--set", "BBName = 命令行", "--quiet"});
  EXPECT_EQ(cfg.listen_host, "::1");
  EXPECT_EQ(cfg.listen_port, 0);
  EXPECT_EQ(cfg.data_dir, dir.string());
  EXPECT_EQ(cfg.threads, 2);
  EXPECT_FALSE(cfg.access_log);
  EXPECT_EQ(ResolvedDataSources(cfg)["Corkboard"], "sqlite:" + (dir / "board.db").string());
  Application app;
  FillApplication(cfg, app);
  EXPECT_EQ(app.Get("BBName").Str(), "命令行");

  EXPECT_THROW(ConfigFromArgs({"--bogus", "1"}), ConfigError);
  EXPECT_THROW(ConfigFromArgs({"--threads"}), ConfigError);
  EXPECT_THROW(ConfigFromArgs({"--config", (dir / "missing.conf").string()}), ConfigError);
}

}  // namespace
}  // namespace cb
