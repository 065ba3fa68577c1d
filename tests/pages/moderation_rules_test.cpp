// The permission table of post editing and moderation (tests/data/decisions.txt, with the home
// page addresses of the thread view), and the refusal order of each editing and
// moderation page as data: each case breaks its own rule and every later one, so only the order
// picks the answer.
#include "posting/moderation_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browse/post_renderer.h"
#include "support/case_table.h"

namespace cb {
namespace {

TEST(ModerationRules, PermissionTable) {
  using Texts = std::vector<std::string>;
  test::CheckCaseTable(
      "decisions.txt",
      {{"MayActOnPost",
        [](const Texts& a) {
          const auto role = static_cast<int16_t>(std::stoi(a[0]));
          Texts out;
          for (PostAction action :
               {PostAction::kEdit, PostAction::kDeleteThroughEdit, PostAction::kModerate}) {
            out.push_back(test::Yes(MayActOnPost(role, a[1] == "yes", action))[0]);
          }
          return out;
        }},
       {"HomePageAddress", [](const Texts& a) { return Texts{HomePageAddress(a.at(0))}; }}});
}

// The facts of the tables: a bad number, a missing post, a reply, a topic (a guest acting), the
// author's own post, and a post that anybody with the right may act on.
constexpr PostFacts kBadNumber{.number_ok = false, .admitted = false};
constexpr PostFacts kMissing{.admitted = false};
constexpr PostFacts kReply{.found = true};
constexpr PostFacts kTopic{.found = true, .is_topic = true};
constexpr PostFacts kPrivateTopic{.found = true, .is_topic = true, .admitted = false};
constexpr PostFacts kOwnTopic{.found = true, .is_topic = true, .role = role::kMember, .own = true};
constexpr PostFacts kAllowedTopic{.found = true, .is_topic = true, .role = role::kAdministrator};

constexpr Decision kProceed{};
constexpr Decision kPrivate{Verdict::kPrivateForum, nullptr};
constexpr Decision Refused(const char* message) { return {Verdict::kRefuse, message}; }
constexpr Decision kBadParameters = Refused("参数错误！");
constexpr const char* kNoModeratorRight =
    "对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输入用户名和"
    "口令！";
constexpr const char* kNotRegistered =
    "对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！";

void ExpectDecision(const Decision& actual, const Decision& expected) {
  EXPECT_EQ(actual.verdict, expected.verdict);
  EXPECT_STREQ(actual.message, expected.message);
}

TEST(ModerationRules, EditFormOrder) {
  const std::pair<PostFacts, Decision> cases[] = {
      {{.number_ok = false, .forum_ok = false, .admitted = false}, Refused("参数错误")},
      {{.forum_ok = false, .admitted = false},
       Refused("对不起，该论坛不存在，可能是你输错了url或正好管理员刚刚删除了该论坛！")},
      {kMissing, kPrivate},
      {{}, Refused("该贴子已不存在，可能被其他人删除！")},
      {kReply, kProceed},  // the form is shown to anybody
  };
  for (const auto& [facts, expected] : cases) ExpectDecision(DecideEditForm(facts), expected);
}

TEST(ModerationRules, SubmitEditOrder) {
  const Decision not_member = Refused("对不起，您不是本论坛的用户，请先注册后再使用！");
  const Decision no_body = Refused("内容不能为空！你也可以按浏览器的后退按钮进行修改！");
  const PostFacts others{.found = true, .role = role::kMember};
  const EditSubmission blank{.subject_blank = true, .body_blank = true};
  const EditSubmission deleting{.deleting = true, .subject_blank = true, .body_blank = true};
  struct Case {
    const char* name;
    PostFacts facts;
    EditSubmission edit;
    Decision expected;
  };
  const Case cases[] = {
      {"number", kBadNumber, blank, kBadParameters},
      {"missing", kMissing, blank, kBadParameters},
      {"private", kPrivateTopic, blank, kPrivate},
      {"subject", kTopic, blank, Refused("主题不能为空！")},
      {"reply needs no subject", kReply, blank, no_body},
      {"body", kTopic, {.body_blank = true}, no_body},
      {"edit, not a member", kTopic, {}, not_member},
      {"edit, another's post",
       others,
       {},
       Refused("您没有权限编辑该贴子，该贴子只能为管理员、版主或原作者才可编辑！")},
      {"edit, own post", {.found = true, .role = role::kMember, .own = true}, {}, kProceed},
      {"delete, private", kPrivateTopic, deleting, kPrivate},
      {"delete ignores blank fields", kTopic, deleting, not_member},
      {"delete, another's post", others, deleting,
       Refused("对不起，你没有删除该贴子的权限，只有管理员、版主或贴子的原作者才能删除它！")},
      {"delete, own topic", kOwnTopic, deleting, kProceed},
      {"delete, moderator", {.found = true, .role = role::kModerator}, deleting, kProceed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideSubmitEdit(c.facts, c.edit), c.expected);
  }
}

// The pages on a whole topic share their first steps; a reply's number is no topic.
const std::vector<std::pair<PostFacts, Decision>> kTopicSteps = {
    {kBadNumber, kBadParameters},
    {kMissing, kBadParameters},
    {{.found = true, .admitted = false}, kBadParameters},
    {kPrivateTopic, kPrivate},
};

TEST(ModerationRules, DeleteTopicOrder) {
  std::vector<std::pair<PostFacts, Decision>> cases = kTopicSteps;
  cases.insert(cases.end(),
               {{kTopic, Refused(kNotRegistered)},
                {kOwnTopic, Refused(kNoModeratorRight)},
                {{.found = true, .is_topic = true, .role = role::kModerator}, kProceed}});
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectDecision(DecideDeleteTopic(cases[i].first, true), cases[i].second);
  }
  // The identification form needs no identity.
  ExpectDecision(DecideDeleteTopic(kTopic, false), kProceed);
  ExpectDecision(DecideDeleteTopic(kReply, false), kBadParameters);
}

TEST(ModerationRules, CloseThreadOrder) {
  ExpectDecision(DecideCloseThread(kAllowedTopic, false, true, "close"), kBadParameters);
  for (size_t i = 0; i < kTopicSteps.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectDecision(DecideCloseThread(kTopicSteps[i].first, true, true, "x"), kTopicSteps[i].second);
  }
  struct Case {
    PostFacts facts;
    bool posted;
    const char* which;
    Decision expected;
  };
  const Case cases[] = {
      {kTopic, false, "", kProceed},
      {kTopic, true, "closed", kBadParameters},
      {kTopic, true, "close", Refused(kNotRegistered)},
      {kOwnTopic, true, "open", Refused(kNoModeratorRight)},
      {kAllowedTopic, true, "open", kProceed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.which);
    ExpectDecision(DecideCloseThread(c.facts, true, c.posted, c.which), c.expected);
  }
}

TEST(ModerationRules, TransferOrder) {
  for (size_t i = 0; i < kTopicSteps.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectDecision(DecideTransfer(kTopicSteps[i].first, {.posted = true}), kTopicSteps[i].second);
  }
  // A request to move (the destination valid or not, archived before) or to archive.
  const TransferRequest move{.posted = true, .destination_ok = true};
  const TransferRequest archive{.posted = true, .archive = true, .destination_ok = true};
  const TransferRequest archived_before{
      .posted = true, .archive = true, .destination_ok = true, .already_archived = true};
  struct Case {
    const char* name;
    PostFacts facts;
    TransferRequest request;
    Decision expected;
  };
  const Case cases[] = {
      {"form", kTopic, {}, kProceed},
      {"no forum",
       kTopic,
       {.posted = true, .already_archived = true},
       Refused("请您选择转移目的地，按返回按钮重新选择！")},
      {"no archive",
       kTopic,
       {.posted = true, .archive = true, .already_archived = true},
       Refused("请您选择归档档案，请按返回按钮重新选择！")},
      {"move, not a member", kTopic, move, Refused("对不起，您不是本论坛的注册用户，请先注册！")},
      {"archive, member", kOwnTopic, archived_before,
       Refused("对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！")},
      {"archived before", kAllowedTopic, archived_before,
       Refused("对不起，该主题已经存在于档案中，请选择其他主题！")},
      {"archive", kAllowedTopic, archive, kProceed},
      {"move",
       kAllowedTopic,
       {.posted = true, .destination_ok = true, .already_archived = true},
       kProceed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(DecideTransfer(c.facts, c.request), c.expected);
  }
}

TEST(ModerationRules, CopyPostOrder) {
  const std::pair<PostFacts, Decision> cases[] = {
      {kBadNumber, kBadParameters},
      {kMissing, Refused("不存在该贴子！")},
      {{.found = true, .admitted = false}, kPrivate},
      {kReply, kProceed},  // a reply too, and for anybody
  };
  for (const auto& [facts, expected] : cases) ExpectDecision(DecideCopyPost(facts), expected);
}

}  // namespace
}  // namespace cb
