// The archive pages' refusal orders per role and action, the combined role of a restore, and the
// mail-a-post page's address list.
#include "archives/archive_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cb {
namespace {

std::string Said(const Decision& d) {
  if (d.verdict == Verdict::kProceed) return "ok";
  if (d.verdict == Verdict::kPrivateForum) return "private";
  return d.message;
}

constexpr const char* kBad = "参数错误！";
constexpr const char* kMovedGuest = "对不起，您不是本论坛的注册用户，请先注册！";
constexpr const char* kMovedNoRight =
    "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";
constexpr const char* kDeleteGuest =
    "对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！";
constexpr const char* kDeleteNoRight =
    "对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输入用户名和"
    "口令！";
constexpr const char* kEditGuest = "对不起，您不是本论坛的用户，请先注册后再使用！";
constexpr const char* kEditNoRight =
    "对不起，你没有编辑或删除该贴子的权限，只有管理员、版主或贴子的原作者才能编辑或删除它！";

// Each kind of visitor against each action on one archived post, the target and the edit valid.
TEST(ArchiveRules, AccessPerRoleAndAction) {
  using F = ArchivedFacts;
  const F topic{.found = true, .is_topic = true, .posted = true};
  auto with = [&](int16_t r, bool own = false) {
    F f = topic;
    f.role = r;
    f.own = own;
    return f;
  };
  F form = topic;
  form.posted = false;
  F reply = with(role::kAdministrator);
  reply.is_topic = false;
  F missing = with(role::kAdministrator);
  missing.found = false;
  struct Case {
    const char* name;
    F f;
    const char *move, *remove, *restore, *edit;
  };
  const Case cases[] = {
      {"form", form, "ok", "ok", "ok", kEditGuest},
      {"missing", missing, kBad, kBad, kBad, "该贴子已不存在，可能被其他人删除！"},
      {"a reply", reply, kBad, kBad, kBad, "ok"},
      {"guest", with(role::kNotMember), kMovedGuest, kDeleteGuest, kMovedGuest, kEditGuest},
      {"member", with(role::kMember), kMovedNoRight, kDeleteNoRight, kMovedNoRight, kEditNoRight},
      {"author", with(role::kMember, true), kMovedNoRight, kDeleteNoRight, kMovedNoRight, "ok"},
      {"moderator", with(role::kModerator), "ok", "ok", "ok", "ok"},
      {"administrator", with(role::kAdministrator), "ok", "ok", "ok", "ok"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Said(DecideTransferArchive(c.f, true, false)), c.move);
    EXPECT_EQ(Said(DecideDeleteArchive(c.f)), c.remove);
    EXPECT_EQ(Said(DecideRestoreArchive(c.f, true, false)), c.restore);
    EXPECT_EQ(Said(DecideArchiveSubmitEdit(c.f, {})), c.edit);
    EXPECT_EQ(Said(DecideArchiveSubmitEdit(c.f, {.deleting = true})), c.edit);
  }
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

TEST(ArchiveRules, ARestoreNeedsBothForums) {
  constexpr int16_t kNone = role::kNotMember, kMember = role::kMember, kMod = role::kModerator,
                    kAdmin = role::kAdministrator;
  const int16_t cases[][3] = {{kAdmin, kAdmin, kAdmin}, {kMod, kMod, kMod},
                              {kMod, kMember, kMember}, {kMember, kMod, kMember},
                              {kNone, kMod, kNone},     {kMod, kNone, kNone}};
  for (const auto& c : cases) EXPECT_EQ(WeakerRole(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST(ArchiveRules, PackAddresses) {
  EXPECT_EQ(SplitAddresses(" a@b.c , d@e.f,,"), (std::vector<std::string>{"a@b.c", "d@e.f"}));
  const char* kBadAddress = "请输入合法电子邮件地址!";
  const PackFacts post{.number_ok = true, .found = true};
  struct Case {
    const char* name;
    PackFacts f;
    std::vector<std::string> to;
    std::string expected;
  };
  const Case cases[] = {
      {"two addresses", post, {"a@b.c", "d@e.f"}, "ok"},
      {"bad number first", {.number_ok = false}, {}, "参数错误"},
      {"no address", post, {}, kBadAddress},
      {"without @", post, {"a@b.c", "ab.c"}, kBadAddress},
      {"a header in the address", post, {"a@b.c\r\nBcc: x@y.z"}, kBadAddress},
      {"a second address inside one", post, {"a@b.c <d@e.f>"}, kBadAddress},
      {"two @", post, {"a@b@c"}, kBadAddress},
      {"eleven", post, std::vector<std::string>(11, "a@b.c"),
       "对不起，一封邮件最多只能发送给10个电子邮件地址！"},
      {"addresses before the post", {.number_ok = true}, {"a"}, kBadAddress},
      {"missing post", {.number_ok = true}, {"a@b.c"}, "贴子不存在"},
      {"private forum",
       {.number_ok = true, .found = true, .admitted = false},
       {"a@b.c"},
       "private"},
  };
  for (const Case& c : cases) EXPECT_EQ(Said(DecidePack(c.f, c.to)), c.expected) << c.name;
}

}  // namespace
}  // namespace cb
