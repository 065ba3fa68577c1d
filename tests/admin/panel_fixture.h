// A small board for the control-panel tests: two forums (技术, moderated by "mod"; 闲聊), an
// administrator, a moderator and a member, a topic with a reply in each forum, an announcement
// by each of the moderator and the administrator; helpers to post as one of them and to compare
// the board's counters with a recount.
#pragma once

#include <filesystem>

#include "admin/admin.h"
#include "host/static_files.h"
#include "pages/moderation_fixture.h"
#include "store/connection.h"
#include "support/page_test.h"
#include "support/recount.h"

namespace cb::test {

inline constexpr Actor kBoss{"boss", "pw1"};  // administrator
inline constexpr Actor kMod{"mod", "pw2"};    // moderator of 技术
inline constexpr Actor kJoe{"joe", "pw3"};    // member
inline constexpr const char* kOwnForum = "技术";
inline constexpr const char* kOtherForum = "闲聊";

struct PanelBoard : HostedBoard {
  int64_t own_topic = 0, own_reply = 0, other_topic = 0, other_reply = 0;
  int64_t own_announce = 0, other_announce = 0;

  PanelBoard() {
    host.Configure({{"BBName", "测试论坛"}});
    board.AddCatalogForum("电脑", kOwnForum, {.descript = "技术讨论", .sequence = 1});
    board.AddCatalogForum("生活", kOtherForum, {.descript = "随便聊", .sequence = 2});
    board.AddMember(kBoss.name, kBoss.password, {.status = "administrator"});
    board.AddMember(kMod.name, kMod.password, {.status = "Moderater", .email = "mod@example.com"});
    board.AddMember(kJoe.name, kJoe.password);
    board.AddModerator(kOwnForum, kMod.name);
    const DateTime earlier = host.clock().Now().AddDays(-3);
    own_topic = board.AddTopic(kOwnForum, kJoe.name, "编译器", "怎么装 [b]g++[/b]？", earlier);
    own_reply = board.AddReply(own_topic, kBoss.name, "Re: 编译器", "apt-get <install>");
    other_topic = board.AddTopic(kOtherForum, kJoe.name, "天气", "下雨了", earlier);
    other_reply = board.AddReply(other_topic, kMod.name, "Re: 天气", "带伞");
    const DateTime today = host.clock().Now().DateOnly();
    own_announce =
        board.AddAnnouncement(kOwnForum, kMod.name, "版规", "请文明发言", today, today.AddDays(7));
    other_announce =
        board.AddAnnouncement(kOtherForum, kBoss.name, "通知", "周末维护", today, today.AddDays(7));
  }

  // The control-panel sign-in kept in the session, as an earlier step leaves it.
  void SignedIn(const Actor& p) {
    host.session().Set("UserNamecp", Variant(p.name));
    host.session().Set("Passwordcp", Variant(p.password));
  }
  std::string Post(void (Admin::*page)(), const std::string& url, FormFields fields,
                   const Actor* who) {
    if (who != nullptr) {
      fields.emplace_back("UserName", who->name);
      fields.emplace_back("Password", who->password);
    }
    return host.PostForm(url, fields).Run(page);
  }
  std::string Get(void (Admin::*page)(), const std::string& url) { return host.Get(url).Run(page); }
  Variant Scalar(const std::string& sql) { return board.Scalar(sql); }
  long Count(const std::string& sql) { return board.Scalar(sql).CLng(); }
  // The rows of a query, one line each, the fields ended by "|".
  std::string Rows(const std::string& sql) { return test::Rows(board, sql); }
  static std::string Id(int64_t id) { return std::to_string(id); }

  // Every derived counter against a full recount from post: "" when they all agree.
  std::string CounterMismatch() { return CounterDisagreements(board); }
};

// A file's bytes ("" when missing).
inline std::string ReadAll(const std::filesystem::path& p) {
  return SiteFolder::ReadFile(p).value_or("");
}

// The Admin error page's own ending: a refusal, not a step's page.
inline bool IsRefusal(const std::string& page) {
  return page.find("</h3></h3></td></tr></table>") != std::string::npos;
}

}  // namespace cb::test
