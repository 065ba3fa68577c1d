// The pages' decide functions as data: each table sets the facts of one stop and checks that the
// first rule in the page's order decides, and that facts not read yet stop nothing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "browse/online.h"
#include "browse/thread_view.h"
#include "members/registration.h"
#include "posting/post_form.h"
#include "posting/replies.h"

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
  struct Case {
    const char* name;
    RegistrationFacts facts;
    const char* starts;  // nullptr: no refusal
  };
  auto with = [&](auto change) { return With(ok, change); };
  const Case cases[] = {
      {"passes", ok, nullptr},
      {"bad name before everything",
       with([](auto& f) { f.name_field = "a_b", f.password = "", f.name_taken = true; }),
       "用户名输入错误"},
      {"empty password", with([](auto& f) { f.password = ""; }), "口令不能为空"},
      {"passwords differ", with([](auto& f) { f.password2 = "PW"; }), "两口令输入不符"},
      {"mailed password: fields ignored",
       with([](auto& f) { f.email_register = true, f.password = "", f.password2 = "x"; }), nullptr},
      {"no address", with([](auto& f) { f.email = ""; }), "你必须输入一个Email地址"},
      {"no dot", with([](auto& f) { f.email = "a@b"; }), "你输入的Email地址不合法"},
      {"no at sign", with([](auto& f) { f.email = "a.b"; }), "你输入的Email地址不合法"},
      {"letters in a number", with([](auto& f) { f.icq = "12a"; }), "ICQ 和 OICQ"},
      {"address taken before name taken",
       with([](auto& f) { f.email_taken = true, f.name_taken = true; }),
       "您输入的 EMail 已经有人使用"},
      {"name taken", with([](auto& f) { f.name_taken = true; }), "用户名称同已有用户重复"},
      {"register not read yet", with([](auto& f) { f.email_taken.reset(), f.name_taken.reset(); }),
       nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<const char*> refusal = RegistrationRefusal(c.facts);
    if (!c.starts) {
      EXPECT_FALSE(refusal) << c.name << ": " << *refusal;
    } else {
      ASSERT_TRUE(refusal) << c.name;
      EXPECT_EQ(std::string(*refusal).rfind(c.starts, 0), 0u) << c.name << ": " << *refusal;
    }
  }
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

}  // namespace
}  // namespace cb
