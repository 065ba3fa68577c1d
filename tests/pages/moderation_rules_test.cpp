// The permission table of post editing and moderation, and the refusal order of each editing and
// moderation page as data: each case breaks its own rule and every later one, so only the order
// picks the answer.
#include "posting/moderation_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cb {
namespace {

TEST(ModerationRules, PermissionTable) {
  struct Case {
    int16_t role;
    bool own;
    bool edit, delete_through_edit, moderate;
  };
  const Case cases[] = {
      {role::kNotMember, true, false, false, false},
      {role::kNotMember, false, false, false, false},
      {role::kMember, true, true, true, false},
      {role::kMember, false, false, false, false},
      {role::kModerator, false, true, true, true},
      {role::kModerator, true, true, true, true},
      {role::kAdministrator, false, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.role) + (c.own ? " own" : " other"));
    EXPECT_EQ(MayActOnPost(c.role, c.own, PostAction::kEdit), c.edit);
    EXPECT_EQ(MayActOnPost(c.role, c.own, PostAction::kDeleteThroughEdit), c.delete_through_edit);
    EXPECT_EQ(MayActOnPost(c.role, c.own, PostAction::kModerate), c.moderate);
  }
}

// Facts under which every page proceeds: a topic of a public forum, an administrator acting.
PostFacts AllowedTopic() { return {.found = true, .is_topic = true, .role = role::kAdministrator}; }

constexpr Decision kProceed{};
constexpr Decision kPrivate{Verdict::kPrivateForum, nullptr};
Decision Refused(const char* message) { return {Verdict::kRefuse, message}; }

void ExpectDecision(const Decision& actual, const Decision& expected) {
  EXPECT_EQ(actual.verdict, expected.verdict);
  EXPECT_STREQ(actual.message, expected.message);
}

TEST(ModerationRules, EditFormOrder) {
  struct Case {
    PostFacts facts;
    Decision expected;
  };
  const Case cases[] = {
      {{.number_ok = false, .forum_ok = false, .admitted = false}, Refused("参数错误")},
      {{.forum_ok = false, .admitted = false},
       Refused("对不起，该论坛不存在，可能是你输错了url或正好管理员刚刚删除了该论坛！")},
      {{.admitted = false}, kPrivate},
      {{}, Refused("该贴子已不存在，可能被其他人删除！")},
      {{.found = true}, kProceed},  // the form is shown to anybody
  };
  for (const Case& c : cases) ExpectDecision(DecideEditForm(c.facts), c.expected);
}

TEST(ModerationRules, SubmitEditOrder) {
  const char* kNotMember = "对不起，您不是本论坛的用户，请先注册后再使用！";
  struct Case {
    const char* name;
    PostFacts facts;
    EditSubmission edit;
    Decision expected;
  };
  const EditSubmission blank{.subject_blank = true, .body_blank = true};
  const EditSubmission deleting{.deleting = true, .subject_blank = true, .body_blank = true};
  const PostFacts stranger{.found = true, .is_topic = true, .admitted = false};
  const Case cases[] = {
      {"number", {.number_ok = false, .admitted = false}, blank, Refused("参数错误！")},
      {"missing", {.admitted = false}, blank, Refused("参数错误！")},
      {"private", stranger, blank, kPrivate},
      {"subject", {.found = true, .is_topic = true}, blank, Refused("主题不能为空！")},
      {"reply needs no subject",
       {.found = true},
       blank,
       Refused("内容不能为空！你也可以按浏览器的后退按钮进行修改！")},
      {"body",
       {.found = true, .is_topic = true},
       {.body_blank = true},
       Refused("内容不能为空！你也可以按浏览器的后退按钮进行修改！")},
      {"edit, not a member", {.found = true, .is_topic = true}, {}, Refused(kNotMember)},
      {"edit, another's post",
       {.found = true, .role = role::kMember},
       {},
       Refused("您没有权限编辑该贴子，该贴子只能为管理员、版主或原作者才可编辑！")},
      {"edit, own post", {.found = true, .role = role::kMember, .own = true}, {}, kProceed},
      {"delete, private", stranger, deleting, kPrivate},
      {"delete ignores blank fields",
       {.found = true, .is_topic = true},
       deleting,
       Refused(kNotMember)},
      {"delete, another's post",
       {.found = true, .role = role::kMember},
       deleting,
       Refused("对不起，你没有删除该贴子的权限，只有管理员、版主或贴子的原作者才能删除它！")},
      {"delete, own topic",
       {.found = true, .is_topic = true, .role = role::kMember, .own = true},
       deleting,
       kProceed},
      {"delete, moderator", {.found = true, .role = role::kModerator}, deleting, kProceed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideSubmitEdit(c.facts, c.edit), c.expected);
  }
}

// The pages on a whole topic share their first steps; a reply's number is no topic.
struct TopicCase {
  const char* name;
  PostFacts facts;
  Decision expected;
};
std::vector<TopicCase> TopicSteps() {
  return {
      {"number", {.number_ok = false, .admitted = false}, Refused("参数错误！")},
      {"missing", {.admitted = false}, Refused("参数错误！")},
      {"a reply", {.found = true, .admitted = false}, Refused("参数错误！")},
      {"private", {.found = true, .is_topic = true, .admitted = false}, kPrivate},
  };
}

TEST(ModerationRules, DeleteTopicOrder) {
  const char* kNotMember =
      "对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！";
  const char* kNoRight =
      "对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输入用户名和"
      "口令！";
  std::vector<TopicCase> cases = TopicSteps();
  cases.push_back({"not a member", {.found = true, .is_topic = true}, Refused(kNotMember)});
  cases.push_back({"own topic, member",
                   {.found = true, .is_topic = true, .role = role::kMember, .own = true},
                   Refused(kNoRight)});
  cases.push_back(
      {"moderator", {.found = true, .is_topic = true, .role = role::kModerator}, kProceed});
  for (const TopicCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideDeleteTopic(c.facts, true), c.expected);
  }
  // The identification form needs no identity.
  ExpectDecision(DecideDeleteTopic({.found = true, .is_topic = true}, false), kProceed);
  ExpectDecision(DecideDeleteTopic({.found = true}, false), Refused("参数错误！"));
}

TEST(ModerationRules, CloseThreadOrder) {
  ExpectDecision(DecideCloseThread(AllowedTopic(), false, true, "close"), Refused("参数错误！"));
  for (const TopicCase& c : TopicSteps()) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideCloseThread(c.facts, true, true, "x"), c.expected);
  }
  struct Case {
    PostFacts facts;
    bool posted;
    const char* which;
    Decision expected;
  };
  const PostFacts member{.found = true, .is_topic = true, .role = role::kMember, .own = true};
  const Case cases[] = {
      {{.found = true, .is_topic = true}, false, "", kProceed},
      {{.found = true, .is_topic = true}, true, "closed", Refused("参数错误！")},
      {{.found = true, .is_topic = true},
       true,
       "close",
       Refused("对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！")},
      {member, true, "open",
       Refused("对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输"
               "入用户名和口令！")},
      {AllowedTopic(), true, "open", kProceed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.which);
    ExpectDecision(DecideCloseThread(c.facts, true, c.posted, c.which), c.expected);
  }
}

TEST(ModerationRules, TransferOrder) {
  for (const TopicCase& c : TopicSteps()) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideTransfer(c.facts, {.posted = true}), c.expected);
  }
  const char* kNotMember = "对不起，您不是本论坛的注册用户，请先注册！";
  const char* kNoRight = "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";
  const char* kTwice = "对不起，该主题已经存在于档案中，请选择其他主题！";
  const PostFacts guest{.found = true, .is_topic = true};
  const PostFacts member{.found = true, .is_topic = true, .role = role::kMember, .own = true};
  struct Case {
    const char* name;
    PostFacts facts;
    TransferRequest request;
    Decision expected;
  };
  const Case cases[] = {
      {"form", guest, {}, kProceed},
      {"no forum",
       guest,
       {.posted = true, .already_archived = true},
       Refused("请您选择转移目的地，按返回按钮重新选择！")},
      {"no archive",
       guest,
       {.posted = true, .archive = true, .already_archived = true},
       Refused("请您选择归档档案，请按返回按钮重新选择！")},
      {"move, not a member", guest, {.posted = true, .destination_ok = true}, Refused(kNotMember)},
      {"archive, member",
       member,
       {.posted = true, .archive = true, .destination_ok = true, .already_archived = true},
       Refused(kNoRight)},
      {"archived before",
       AllowedTopic(),
       {.posted = true, .archive = true, .destination_ok = true, .already_archived = true},
       Refused(kTwice)},
      {"archive",
       AllowedTopic(),
       {.posted = true, .archive = true, .destination_ok = true},
       kProceed},
      {"move",
       AllowedTopic(),
       {.posted = true, .destination_ok = true, .already_archived = true},
       kProceed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideTransfer(c.facts, c.request), c.expected);
  }
}

TEST(ModerationRules, CopyPostOrder) {
  struct Case {
    PostFacts facts;
    Decision expected;
  };
  const Case cases[] = {
      {{.number_ok = false, .admitted = false}, Refused("参数错误！")},
      {{.admitted = false}, Refused("不存在该贴子！")},
      {{.found = true, .admitted = false}, kPrivate},
      {{.found = true}, kProceed},  // a reply too, and for anybody
  };
  for (const Case& c : cases) ExpectDecision(DecideCopyPost(c.facts), c.expected);
}

}  // namespace
}  // namespace cb
