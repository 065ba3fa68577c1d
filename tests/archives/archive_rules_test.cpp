// The archive pages' refusal orders per role and action, the combined role of a restore, and the
// mail-a-post page's address list.
#include "archives/archive_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cb {
namespace {

constexpr int16_t kNone = role::kNotMember;
constexpr int16_t kMember = role::kMember;
constexpr int16_t kAdmin = role::kAdministrator;
constexpr int16_t kMod = role::kModerator;

std::string Said(const Decision& d) {
  if (d.verdict == Verdict::kProceed) return "proceed";
  if (d.verdict == Verdict::kPrivateForum) return "private";
  return d.message;
}

ArchivedFacts Topic(int16_t role, bool posted = true, bool own = false) {
  return {.number_ok = true,
          .found = true,
          .is_topic = true,
          .posted = posted,
          .role = role,
          .own = own};
}

constexpr const char* kMovedNotMember = "对不起，您不是本论坛的注册用户，请先注册！";
constexpr const char* kMovedNoRight =
    "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";

TEST(ArchiveRules, TransferArchive) {
  ArchivedFacts reply = Topic(kAdmin);
  reply.is_topic = false;
  ArchivedFacts bad_number = Topic(kAdmin);
  bad_number.number_ok = false;
  struct Case {
    const char* name;
    ArchivedFacts f;
    bool target_ok;
    bool already_there;
    std::string expected;
  };
  const Case cases[] = {
      {"form for anyone", Topic(kNone, false), false, false, "proceed"},
      {"bad number", bad_number, true, false, "参数错误！"},
      {"a reply", reply, true, false, "参数错误！"},
      {"no target before rights", Topic(kNone), false, false,
       "请您选择归档档案，请按返回按钮重新选择！"},
      {"guest", Topic(kNone), true, false, kMovedNotMember},
      {"member, even the author", Topic(kMember, true, true), true, false, kMovedNoRight},
      {"moderator", Topic(kMod), true, false, "proceed"},
      {"administrator", Topic(kAdmin), true, false, "proceed"},
      {"already there after rights", Topic(kAdmin), true, true,
       "对不起，该主题已经存在于档案中，请选择其他主题！"},
      {"already there, no rights", Topic(kMember), true, true, kMovedNoRight},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Said(DecideTransferArchive(c.f, c.target_ok, c.already_there)), c.expected) << c.name;
  }
}

TEST(ArchiveRules, DeleteAndRestore) {
  ArchivedFacts missing = Topic(kAdmin);
  missing.found = false;
  const char* kDeleteNotMember =
      "对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！";
  const char* kDeleteNoRight =
      "对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输入用户名和"
      "口令！";
  struct Case {
    const char* name;
    ArchivedFacts f;
    std::string deleted;
    std::string restored;  // with an existing target, nothing live
  };
  const Case cases[] = {
      {"form", Topic(kNone, false), "proceed", "proceed"},
      {"missing", missing, "参数错误！", "参数错误！"},
      {"guest", Topic(kNone), kDeleteNotMember, kMovedNotMember},
      {"author", Topic(kMember, true, true), kDeleteNoRight, kMovedNoRight},
      {"moderator", Topic(kMod), "proceed", "proceed"},
      {"administrator", Topic(kAdmin), "proceed", "proceed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Said(DecideDeleteArchive(c.f)), c.deleted) << c.name;
    EXPECT_EQ(Said(DecideRestoreArchive(c.f, true, false)), c.restored) << c.name;
  }
  EXPECT_EQ(Said(DecideRestoreArchive(Topic(kNone), false, false)),
            "请您选择转移目的地，按返回按钮重新选择！");
  EXPECT_EQ(Said(DecideRestoreArchive(Topic(kMember), true, true)), kMovedNoRight);
  EXPECT_EQ(Said(DecideRestoreArchive(Topic(kMod), true, true)),
            "对不起，该话题仍在论坛中，不能恢复！");
}

TEST(ArchiveRules, WeakerRoleOfARestore) {
  struct Case {
    int16_t from, to, expected;
  };
  const Case cases[] = {
      {kAdmin, kAdmin, kAdmin},    {kMod, kMod, kMod},   {kMod, kMember, kMember},
      {kMember, kMod, kMember},    {kNone, kMod, kNone}, {kMod, kNone, kNone},
      {kMember, kMember, kMember},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WeakerRole(c.from, c.to), c.expected) << c.from << " " << c.to;
  }
}

TEST(ArchiveRules, SubmitEdit) {
  const char* kNoRight =
      "对不起，你没有编辑或删除该贴子的权限，只有管理员、版主或贴子的原作者才能编辑或删除它！";
  ArchivedFacts reply = Topic(kMember, true, true);
  reply.is_topic = false;
  ArchivedFacts missing = Topic(kAdmin);
  missing.found = false;
  const EditSubmission edit{};
  const EditSubmission remove{.deleting = true, .subject_blank = true, .body_blank = true};
  const EditSubmission blank_subject{.subject_blank = true};
  const EditSubmission blank_body{.body_blank = true};
  struct Case {
    const char* name;
    ArchivedFacts f;
    EditSubmission e;
    std::string expected;
  };
  const Case cases[] = {
      {"missing", missing, edit, "该贴子已不存在，可能被其他人删除！"},
      {"guest", Topic(kNone), edit, "对不起，您不是本论坛的用户，请先注册后再使用！"},
      {"another member", Topic(kMember), edit, kNoRight},
      {"another member deleting", Topic(kMember), remove, kNoRight},
      {"author", Topic(kMember, true, true), edit, "proceed"},
      {"author deleting", Topic(kMember, true, true), remove, "proceed"},
      {"moderator of the forum", Topic(kMod), edit, "proceed"},
      {"rights before blanks", Topic(kMember), blank_subject, kNoRight},
      {"topic without subject", Topic(kAdmin), blank_subject, "主题不能为空！ "},
      {"reply without subject", reply, blank_subject, "proceed"},
      {"without message", reply, blank_body,
       "主题内容不能为空！你也可以按浏览器的后退按钮进行修改！"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Said(DecideArchiveSubmitEdit(c.f, c.e)), c.expected) << c.name;
  }
  ArchivedFacts bad = Topic(kAdmin);
  bad.number_ok = false;
  EXPECT_EQ(Said(DecideArchiveEditForm(bad)), "参数错误!");
  EXPECT_EQ(Said(DecideArchiveEditForm(missing)), "该贴子已不存在，可能被其他人删除！");
  EXPECT_EQ(Said(DecideArchiveEditForm(reply)), "proceed");
}

TEST(ArchiveRules, SplitAddresses) {
  EXPECT_EQ(SplitAddresses(" a@b.c , d@e.f,,"), (std::vector<std::string>{"a@b.c", "d@e.f"}));
  EXPECT_EQ(SplitAddresses(""), std::vector<std::string>{});
  EXPECT_EQ(SplitAddresses("x"), std::vector<std::string>{"x"});
}

TEST(ArchiveRules, Pack) {
  const char* kBad = "请输入合法电子邮件地址!";
  const PackFacts post{.number_ok = true, .found = true};
  struct Case {
    const char* name;
    PackFacts f;
    std::vector<std::string> to;
    std::string expected;
  };
  const std::vector<std::string> eleven(11, "a@b.c");
  const Case cases[] = {
      {"two addresses", post, {"a@b.c", "d@e.f"}, "proceed"},
      {"bad number first", {.number_ok = false}, {}, "参数错误"},
      {"no address", post, {}, kBad},
      {"without @", post, {"a@b.c", "ab.c"}, kBad},
      {"a header in the address", post, {"a@b.c\r\nBcc: x@y.z"}, kBad},
      {"a second address inside one", post, {"a@b.c <d@e.f>"}, kBad},
      {"two @", post, {"a@b@c"}, kBad},
      {"eleven addresses", post, eleven, "对不起，一封邮件最多只能发送给10个电子邮件地址！"},
      {"addresses before the post", {.number_ok = true, .found = false}, {"a"}, kBad},
      {"missing post", {.number_ok = true, .found = false}, {"a@b.c"}, "贴子不存在"},
      {"private forum",
       {.number_ok = true, .found = true, .admitted = false},
       {"a@b.c"},
       "private"},
  };
  for (const Case& c : cases) EXPECT_EQ(Said(DecidePack(c.f, c.to)), c.expected) << c.name;
}

}  // namespace
}  // namespace cb
