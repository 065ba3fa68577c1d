// The editing and moderation pages' test board: two public forums and a private one, a member
// who writes, another who replies, a moderator of the first forum only and an administrator, and
// threads posted at distinct times so that every "newest" is unambiguous.
#pragma once

#include "support/page_test.h"
#include "support/recount.h"

namespace cb::test {

constexpr const char* kForumA = "灌水乐园";
constexpr const char* kForumB = "技术讨论";
constexpr const char* kSecret = "密室";

struct Actor {
  const char* name;
  const char* password;
};
constexpr Actor kGuest{"", ""};
constexpr Actor kBob{"bob", "pw"};  // writes the thread of forum A
constexpr Actor kCarol{"carol", "pw"};
constexpr Actor kModA{"moda", "pw"};  // moderates forum A only
constexpr Actor kAdmin{"admin", "pw"};

struct ModerationBoard : HostedBoard {
  int64_t topic = 0;      // bob's, in A: "你好"
  int64_t reply = 0;      // carol's reply to it
  int64_t own_reply = 0;  // bob's reply to it, the newest
  int64_t other = 0;      // carol's topic in B
  int64_t secret = 0;     // bob's topic in the private forum

  static DateTime At(int day) { return DateTime::FromParts(2024, 5, day, 9, 30, 0); }

  ModerationBoard() {
    host.Configure({{"BBName", "测试论坛"}});
    board.AddCatalogForum("休闲", kForumA);
    board.AddCatalogForum("休闲", kForumB);
    board.AddCatalogForum("休闲", kSecret, {.restrict = "private"});
    board.AddMember("bob", "pw");
    board.AddMember("carol", "pw");
    board.AddMember("moda", "pw", {.status = "Moderater"});
    board.AddMember("admin", "pw", {.status = "administrator"});
    board.AddModerator(kForumA, "moda");
    topic = board.AddTopic(kForumA, "bob", "你好", "第一帖 <b>不是标记</b> & :)", At(1));
    reply = board.AddReply(topic, "carol", "你好", "回复 :)", At(2));
    own_reply = board.AddReply(topic, "bob", "你好", "再回复", At(3));
    other = board.AddTopic(kForumB, "carol", "B 的话题", "B 的内容", At(4));
    secret = board.AddTopic(kSecret, "bob", "秘密", "不可外传", At(5));
    board.Exec("update post set hits=7 where postid=" + Id(topic) + " or parentid=" + Id(topic));
  }

  static std::string Id(int64_t id) { return std::to_string(id); }
  // Topic number 70000, past the 16-bit range, by bob, posted on day 6.
  void AddTopic70000(const std::string& forum, const std::string& message) {
    board.Exec(
        "insert into post (postid,forumname,username,subject,message,posttime) values (70000,'" +
        forum + "','bob','大号','" + message + "','" + At(6).YmdHms() + "')");
  }
  Variant Column(int64_t post, const std::string& column) {
    return board.Scalar("select " + column + " from post where postid=" + Id(post));
  }
  int64_t Count(const std::string& where) {
    return board.Scalar("select count(*) from post where " + where).CLng();
  }
  std::string Rows(const std::string& sql) { return test::Rows(board, sql); }
  // A snapshot of every row of post, to show that a refused action changed nothing.
  std::string Posts() { return Rows("select * from post order by postid"); }
  // Posts a form as actor (an empty actor posts no identity fields).
  std::string Post(void (Corkboard::*page)(), const std::string& url, FormFields form,
                   const Actor& actor) {
    if (*actor.name) {
      form.emplace_back("UserName", actor.name);
      form.emplace_back("Password", actor.password);
    }
    return host.PostForm(url, form).Run(page);
  }
  std::string Get(void (Corkboard::*page)(), const std::string& url) {
    return host.Get(url).Run(page);
  }
};

}  // namespace cb::test
