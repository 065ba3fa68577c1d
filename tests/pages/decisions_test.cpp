// The pages' decide functions as data: in each table a case breaks its own rule and every later
// one, so only the order picks the answer (text cases: tests/data/decisions.txt).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "browse/online.h"
#include "browse/post_renderer.h"
#include "browse/thread_view.h"
#include "members/registration.h"
#include "posting/moderation_rules.h"
#include "posting/post_form.h"
#include "posting/replies.h"
#include "support/case_table.h"

namespace cb {
namespace {

// The facts with one change applied.
template <class Facts, class Change>
Facts With(Facts facts, Change change) {
  change(facts);
  return facts;
}

// Each case's facts stop at its stop (nullopt: nothing stops them).
template <class Facts, class Stop>
void ExpectStops(const std::vector<std::pair<Facts, std::optional<Stop>>>& cases,
                 std::optional<Stop> (*decide)(const Facts&)) {
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(decide(cases[i].first), cases[i].second) << "case " << i;
  }
}

TEST(Decisions, Registration) {
  const RegistrationFacts ok{.email_register = false,
                             .name_field = " 小明abc ",
                             .password = "pw",
                             .password2 = "pw",
                             .user = "小明abc",
                             .email = "a@b.c",
                             .oicq = "123",
                             .icq = "",
                             .email_taken = false,
                             .name_taken = false};
  auto with = [&](auto change) { return With(ok, change); };
  // starts: the refusal's first words (nullptr: no refusal)
  const auto check = [](const char* name, const RegistrationFacts& facts, const char* starts) {
    const std::optional<const char*> refusal = RegistrationRefusal(facts);
    if (!starts) {
      EXPECT_FALSE(refusal) << name << ": " << *refusal;
    } else {
      ASSERT_TRUE(refusal) << name;
      EXPECT_EQ(std::string(*refusal).rfind(starts, 0), 0u) << name << ": " << *refusal;
    }
  };
  check("passes", ok, nullptr);
  check("bad name before everything",
        with([](auto& f) { f.name_field = "a_b", f.password = "", f.name_taken = true; }),
        "用户名输入错误");
  check("empty password", with([](auto& f) { f.password = ""; }), "口令不能为空");
  check("passwords differ", with([](auto& f) { f.password2 = "PW"; }), "两口令输入不符");
  check("mailed password: fields ignored",
        with([](auto& f) { f.email_register = true, f.password = "", f.password2 = "x"; }),
        nullptr);
  check("no address", with([](auto& f) { f.email = ""; }), "你必须输入一个Email地址");
  check("no dot", with([](auto& f) { f.email = "a@b"; }), "你输入的Email地址不合法");
  check("no at sign", with([](auto& f) { f.email = "a.b"; }), "你输入的Email地址不合法");
  check("letters in a number", with([](auto& f) { f.icq = "12a"; }), "ICQ 和 OICQ");
  check("address taken before name taken",
        with([](auto& f) { f.email_taken = true, f.name_taken = true; }),
        "您输入的 EMail 已经有人使用");
  check("name taken", with([](auto& f) { f.name_taken = true; }), "用户名称同已有用户重复");
  check("register not read yet", with([](auto& f) { f.email_taken.reset(), f.name_taken.reset(); }),
        nullptr);
}

TEST(Decisions, Posting) {
  // Every fact known and fine, as after a reply's last read.
  const SubmitFacts ok{.flood_free = true,
                       .member = true,
                       .may_post = true,
                       .topic = true,
                       .forum = true,
                       .admitted = true,
                       .closed = false};
  auto with = [&](auto change) { return With(ok, change); };
  ExpectStops<SubmitFacts, PostStop>(
      {
          {ok, std::nullopt},
          {with([](auto& f) { f.address_allowed = false, f.named = false; }), PostStop::kAddress},
          {with([](auto& f) { f.named = false, f.has_content = false; }),
           PostStop::kNameAndPassword},
          {with([](auto& f) { f.has_content = false, f.flood_free = false; }), PostStop::kEmpty},
          {with([](auto& f) { f.flood_free = false, f.member = false; }), PostStop::kFlood},
          {with([](auto& f) { f.member = false, f.may_post = false; }), PostStop::kNotMember},
          {with([](auto& f) { f.may_post = false, f.topic = false; }), PostStop::kBarred},
          {with([](auto& f) { f.topic = false, f.forum = false; }), PostStop::kNoTopic},
          {with([](auto& f) { f.forum = false, f.admitted = false; }), PostStop::kNoForum},
          {with([](auto& f) { f.admitted = false, f.closed = true; }), PostStop::kPrivate},
          {with([](auto& f) { f.closed = true; }), PostStop::kClosed},
          // A new topic reads neither the topic nor its state.
          {with([](auto& f) { f.topic.reset(), f.closed.reset(); }), std::nullopt},
          // Before the flood check: only the form's facts count.
          {SubmitFacts{}, std::nullopt},
      },
      SubmitRefusal);
}

// The other refusal texts are in the posting pages' golden files; a remote address is text.
TEST(Decisions, RefusedAddressIsText) {
  EXPECT_EQ(SubmitRefusalText(PostStop::kAddress, Settings(), "1.2.3.<4>", false),
            "对不起，你的 ip 地址 1.2.3.&lt;4&gt; 已经被列入 IP "
            "拒绝列表！您不能发表或回复任何话题。如果要取消此 IP 拒绝，请和论坛管理员联系！");
}

TEST(Decisions, ReplyForm) {
  const ReplyFormFacts ok{.parameters_ok = true,
                          .forum = true,
                          .admitted = true,
                          .topic = true,
                          .topic_forum_admitted = true,
                          .closed = false};
  auto with = [&](auto change) { return With(ok, change); };
  ExpectStops<ReplyFormFacts, ReplyFormStop>(
      {
          {ok, std::nullopt},
          {with([](auto& f) { f.parameters_ok = false, f.forum = false; }),
           ReplyFormStop::kBadParameters},
          {with([](auto& f) { f.forum = false, f.admitted = false; }), ReplyFormStop::kNoForum},
          {with([](auto& f) { f.admitted = false, f.topic = false; }), ReplyFormStop::kPrivate},
          {with([](auto& f) { f.topic = false, f.topic_forum_admitted = false; }),
           ReplyFormStop::kNoTopic},
          {with([](auto& f) { f.topic_forum_admitted = false, f.closed = true; }),
           ReplyFormStop::kTopicPrivate},
          {with([](auto& f) { f.closed = true; }), ReplyFormStop::kClosed},
          {with([](auto& f) { f.topic_forum_admitted.reset(); }), std::nullopt},
      },
      ReplyFormRefusal);
}

TEST(Decisions, ThreadView) {
  const ThreadFacts walk{.id_ok = true,
                         .walk = true,
                         .walk_forum = "休闲",
                         .go = "newer",
                         .neighbour = true,
                         .found = true,
                         .reply = false,
                         .forum = true,
                         .admitted = true};
  auto with = [&](auto change) { return With(walk, change); };
  ExpectStops<ThreadFacts, ThreadStop>(
      {
          {walk, std::nullopt},
          {with([](auto& f) { f.id_ok = false, f.walk_forum = ""; }), ThreadStop::kBadId},
          {with([](auto& f) { f.walk_forum = ""; }), ThreadStop::kBadWalk},
          {with([](auto& f) { f.go = "sideways"; }), ThreadStop::kBadWalk},
          {with([](auto& f) { f.neighbour = false, f.found = false; }), ThreadStop::kNoNewer},
          {with([](auto& f) { f.go = "older", f.neighbour = false; }), ThreadStop::kNoOlder},
          {with([](auto& f) { f.found = false, f.forum = false; }), ThreadStop::kNoTopic},
          {with([](auto& f) { f.reply = true, f.forum = false; }), ThreadStop::kReply},
          {with([](auto& f) { f.forum = false, f.admitted = false; }), ThreadStop::kNoForum},
          {with([](auto& f) { f.admitted = false; }), ThreadStop::kPrivate},
          // An ordinary view: no walk, whatever "forum" and "go" hold.
          {ThreadFacts{.id_ok = true, .found = true, .reply = false}, std::nullopt},
      },
      ThreadRefusal);
}

TEST(Decisions, AddressLookup) {
  const AddressFacts ok{.topic_ok = true, .guarded = false, .role = int16_t{2}, .post = true};
  auto with = [&](auto change) { return With(ok, change); };
  ExpectStops<AddressFacts, AddressStop>(
      {
          {ok, std::nullopt},
          {with([](auto& f) { f.role = int16_t{1}; }), std::nullopt},
          {with([](auto& f) { f.topic_ok = false, f.guarded = true; }), AddressStop::kBadTopic},
          {with([](auto& f) { f.guarded = true, f.role = int16_t{-1}; }), AddressStop::kGuarded},
          {with([](auto& f) { f.role = int16_t{-1}, f.post = false; }), AddressStop::kNotMember},
          {with([](auto& f) { f.role = int16_t{0}, f.post = false; }), AddressStop::kNoRight},
          {with([](auto& f) { f.post = false; }), AddressStop::kNoPost},
          {AddressFacts{.topic_ok = true}, std::nullopt},
      },
      AddressRefusal);
}

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
  const auto check = [](const char* name, const PostFacts& facts, const EditSubmission& edit,
                        const Decision& expected) {
    SCOPED_TRACE(name);
    ExpectDecision(DecideSubmitEdit(facts, edit), expected);
  };
  check("number", kBadNumber, blank, kBadParameters);
  check("missing", kMissing, blank, kBadParameters);
  check("private", kPrivateTopic, blank, kPrivate);
  check("subject", kTopic, blank, Refused("主题不能为空！"));
  check("reply needs no subject", kReply, blank, no_body);
  check("body", kTopic, {.body_blank = true}, no_body);
  check("edit, not a member", kTopic, {}, not_member);
  check("edit, another's post", others, {},
        Refused("您没有权限编辑该贴子，该贴子只能为管理员、版主或原作者才可编辑！"));
  check("edit, own post", {.found = true, .role = role::kMember, .own = true}, {}, kProceed);
  check("delete, private", kPrivateTopic, deleting, kPrivate);
  check("delete ignores blank fields", kTopic, deleting, not_member);
  check("delete, another's post", others, deleting,
        Refused("对不起，你没有删除该贴子的权限，只有管理员、版主或贴子的原作者才能删除它！"));
  check("delete, own topic", kOwnTopic, deleting, kProceed);
  check("delete, moderator", {.found = true, .role = role::kModerator}, deleting, kProceed);
}

// The pages on a whole topic share their first steps; a reply's number is no topic.
const std::vector<std::pair<PostFacts, Decision>> kTopicSteps = {
    {kBadNumber, kBadParameters},
    {kMissing, kBadParameters},
    {{.found = true, .admitted = false}, kBadParameters},
    {kPrivateTopic, kPrivate},
};

// Each step of kTopicSteps through decide.
template <class Decide>
void ExpectTopicSteps(Decide decide) {
  for (const auto& [facts, expected] : kTopicSteps) ExpectDecision(decide(facts), expected);
}

TEST(ModerationRules, DeleteTopicOrder) {
  std::vector<std::pair<PostFacts, Decision>> cases = kTopicSteps;
  cases.insert(cases.end(),
               {{kTopic, Refused(kNotRegistered)},
                {kOwnTopic, Refused(kNoModeratorRight)},
                {{.found = true, .is_topic = true, .role = role::kModerator}, kProceed}});
  for (const auto& [facts, expected] : cases)
    ExpectDecision(DecideDeleteTopic(facts, true), expected);
  // The identification form needs no identity.
  ExpectDecision(DecideDeleteTopic(kTopic, false), kProceed);
  ExpectDecision(DecideDeleteTopic(kReply, false), kBadParameters);
}

TEST(ModerationRules, CloseThreadOrder) {
  ExpectDecision(DecideCloseThread(kAllowedTopic, false, true, "close"), kBadParameters);
  ExpectTopicSteps([](const PostFacts& f) { return DecideCloseThread(f, true, true, "x"); });
  const auto check = [](const PostFacts& facts, bool posted, const char* which,
                        const Decision& expected) {
    SCOPED_TRACE(which);
    ExpectDecision(DecideCloseThread(facts, true, posted, which), expected);
  };
  check(kTopic, false, "", kProceed);
  check(kTopic, true, "closed", kBadParameters);
  check(kTopic, true, "close", Refused(kNotRegistered));
  check(kOwnTopic, true, "open", Refused(kNoModeratorRight));
  check(kAllowedTopic, true, "open", kProceed);
}

TEST(ModerationRules, TransferOrder) {
  ExpectTopicSteps([](const PostFacts& f) { return DecideTransfer(f, {.posted = true}); });
  // A request to move (the destination valid or not, archived before) or to archive.
  const TransferRequest move{.posted = true, .destination_ok = true};
  const TransferRequest archive{.posted = true, .archive = true, .destination_ok = true};
  const TransferRequest archived_before{
      .posted = true, .archive = true, .destination_ok = true, .already_archived = true};
  const auto check = [](const char* name, const PostFacts& facts, const TransferRequest& request,
                        const Decision& expected) {
    SCOPED_TRACE(name);
    ExpectDecision(DecideTransfer(facts, request), expected);
  };
  check("form", kTopic, {}, kProceed);
  check("no forum", kTopic, {.posted = true, .already_archived = true},
        Refused("请您选择转移目的地，按返回按钮重新选择！"));
  check("no archive", kTopic, {.posted = true, .archive = true, .already_archived = true},
        Refused("请您选择归档档案，请按返回按钮重新选择！"));
  check("move, not a member", kTopic, move, Refused("对不起，您不是本论坛的注册用户，请先注册！"));
  check("archive, member", kOwnTopic, archived_before,
        Refused("对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！"));
  check("archived before", kAllowedTopic, archived_before,
        Refused("对不起，该主题已经存在于档案中，请选择其他主题！"));
  check("archive", kAllowedTopic, archive, kProceed);
  check("move", kAllowedTopic, {.posted = true, .destination_ok = true, .already_archived = true},
        kProceed);
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
