// The archive pages' decisions per role and action, the combined role of a restore and the
// mail-a-post page's address list (tests/data/archive_rules.txt), and their refusal orders.
#include "archives/archive_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/case_table.h"

namespace cb {
namespace {

std::string Said(const Decision& d) {
  if (d.verdict == Verdict::kProceed) return "ok";
  if (d.verdict == Verdict::kPrivateForum) return "private";
  return d.message;
}

constexpr const char* kMovedNoRight =
    "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";
constexpr const char* kEditNoRight =
    "对不起，你没有编辑或删除该贴子的权限，只有管理员、版主或贴子的原作者才能编辑或删除它！";

int16_t RoleOf(const std::string& word) {
  const std::map<std::string, int16_t> roles = {{"guest", role::kNotMember},
                                                {"member", role::kMember},
                                                {"moderator", role::kModerator},
                                                {"administrator", role::kAdministrator}};
  return roles.at(word);
}

// The facts a case names: flags and a role, separated by blanks.
ArchivedFacts FactsOf(const std::string& words) {
  ArchivedFacts f;
  std::istringstream in(words);
  for (std::string w; in >> w;) {
    if (w == "found")
      f.found = true;
    else if (w == "topic")
      f.is_topic = true;
    else if (w == "posted")
      f.posted = true;
    else if (w == "own")
      f.own = true;
    else
      f.role = RoleOf(w);
  }
  return f;
}

TEST(ArchiveRules, CasesOfTheDataFile) {
  using Texts = std::vector<std::string>;
  test::CheckCaseTable(
      "archive_rules.txt",
      {{"access",
        [](const Texts& a) {
          const ArchivedFacts f = FactsOf(a.at(0));
          const std::string edit = Said(DecideArchiveSubmitEdit(f, {}));
          EXPECT_EQ(Said(DecideArchiveSubmitEdit(f, {.deleting = true})), edit) << a.at(0);
          return Texts{Said(DecideTransferArchive(f, true, false)), Said(DecideDeleteArchive(f)),
                       Said(DecideRestoreArchive(f, true, false)), edit};
        }},
       {"WeakerRole",
        [](const Texts& a) {
          const int16_t weaker = WeakerRole(RoleOf(a.at(0)), RoleOf(a.at(1)));
          for (const char* name : {"guest", "member", "moderator", "administrator"}) {
            if (RoleOf(name) == weaker) return Texts{name};
          }
          return Texts{std::to_string(weaker)};
        }},
       {"pack", [](const Texts& a) {
          const auto slash = std::find(a.begin(), a.end(), "/");
          const PackFacts f{.number_ok = std::find(a.begin(), slash, "number_ok") != slash,
                            .found = std::find(a.begin(), slash, "found") != slash,
                            .admitted = std::find(a.begin(), slash, "admitted") != slash};
          return Texts{Said(DecidePack(f, {slash + 1, a.end()}))};
        }}});
  EXPECT_EQ(SplitAddresses(" a@b.c , d@e.f,,"), (std::vector<std::string>{"a@b.c", "d@e.f"}));
}

TEST(ArchiveRules, RefusalOrders) {
  const ArchivedFacts member{
      .found = true, .is_topic = true, .posted = true, .role = role::kMember};
  ArchivedFacts admin = member;
  admin.role = role::kAdministrator;
  ArchivedFacts admin_reply = admin;
  admin_reply.is_topic = false;
  // The destination before the rights, the rights before "already there".
  EXPECT_EQ(Said(DecideTransferArchive(member, false, true)),
            "请您选择归档档案，请按返回按钮重新选择！");
  EXPECT_EQ(Said(DecideTransferArchive(member, true, true)), kMovedNoRight);
  EXPECT_EQ(Said(DecideTransferArchive(admin, true, true)),
            "对不起，该主题已经存在于档案中，请选择其他主题！");
  EXPECT_EQ(Said(DecideRestoreArchive(member, false, true)),
            "请您选择转移目的地，按返回按钮重新选择！");
  EXPECT_EQ(Said(DecideRestoreArchive(member, true, true)), kMovedNoRight);
  EXPECT_EQ(Said(DecideRestoreArchive(admin, true, true)), "对不起，该话题仍在论坛中，不能恢复！");
  // The rights before empty fields; a reply's subject does not count.
  EXPECT_EQ(Said(DecideArchiveSubmitEdit(member, {.subject_blank = true})), kEditNoRight);
  EXPECT_EQ(Said(DecideArchiveSubmitEdit(admin, {.subject_blank = true})), "主题不能为空！ ");
  EXPECT_EQ(Said(DecideArchiveSubmitEdit(admin_reply, {.subject_blank = true})), "ok");
  EXPECT_EQ(Said(DecideArchiveSubmitEdit(admin, {.body_blank = true})),
            "主题内容不能为空！你也可以按浏览器的后退按钮进行修改！");
  EXPECT_EQ(Said(DecideArchiveSubmitEdit(admin, {.deleting = true, .subject_blank = true})), "ok");
  EXPECT_EQ(Said(DecideArchiveEditForm({.number_ok = false})), "参数错误!");
}

}  // namespace
}  // namespace cb
