// The permission table and the refusal orders of the editing and moderation pages.
#include "posting/moderation_rules.h"

namespace cb {

namespace {

constexpr Decision kProceed{};
constexpr Decision kPrivate{Verdict::kPrivateForum, nullptr};

constexpr Decision Refusal(const char* message) { return {Verdict::kRefuse, message}; }

constexpr const char* kBadNumber = "参数错误！";
constexpr const char* kNoForum =
    "对不起，该论坛不存在，可能是你输错了url或正好管理员刚刚删除了该论坛！";

// The refusals of the pages that ask for a moderator's identity (DeletePost, CloseThread).
constexpr const char* kAuthorizeNotMember =
    "对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！";
constexpr const char* kAuthorizeNoRight =
    "对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输入用户名和口"
    "令！";

// The two refusals of the moving page.
constexpr const char* kTransferNotMember = "对不起，您不是本论坛的注册用户，请先注册！";
constexpr const char* kTransferNoRight =
    "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";

// The steps every page on an existing topic starts with.
Decision TopicChecks(const PostFacts& f) {
  if (!f.number_ok || !f.found || !f.is_topic) return Refusal(kBadNumber);
  if (!f.admitted) return kPrivate;
  return kProceed;
}

Decision ModeratorChecks(const PostFacts& f, const char* not_member, const char* no_right) {
  if (f.role == role::kNotMember) return Refusal(not_member);
  if (!MayActOnPost(f.role, f.own, PostAction::kModerate)) return Refusal(no_right);
  return kProceed;
}

}  // namespace

bool MayActOnPost(int16_t acting_role, bool own, PostAction action) {
  switch (acting_role) {
    case role::kAdministrator:
    case role::kModerator:
      return true;
    case role::kMember:
      return own && action != PostAction::kModerate;
    default:
      return false;
  }
}

Decision DecideEditForm(const PostFacts& f) {
  if (!f.number_ok) return Refusal("参数错误");
  if (!f.forum_ok) return Refusal(kNoForum);
  if (!f.admitted) return kPrivate;
  if (!f.found) return Refusal("该贴子已不存在，可能被其他人删除！");
  return kProceed;
}

Decision DecideSubmitEdit(const PostFacts& f, const EditSubmission& e) {
  constexpr const char* kNotMember = "对不起，您不是本论坛的用户，请先注册后再使用！";
  if (!f.number_ok || !f.found) return Refusal(kBadNumber);
  if (!f.admitted) return kPrivate;
  if (e.deleting) {
    if (f.role == role::kNotMember) return Refusal(kNotMember);
    if (!MayActOnPost(f.role, f.own, PostAction::kDeleteThroughEdit)) {
      return Refusal("对不起，你没有删除该贴子的权限，只有管理员、版主或贴子的原作者才能删除它！");
    }
    return kProceed;
  }
  if (f.is_topic && e.subject_blank) return Refusal("主题不能为空！");
  if (e.body_blank) return Refusal("内容不能为空！你也可以按浏览器的后退按钮进行修改！");
  if (f.role == role::kNotMember) return Refusal(kNotMember);
  if (!MayActOnPost(f.role, f.own, PostAction::kEdit)) {
    return Refusal("您没有权限编辑该贴子，该贴子只能为管理员、版主或原作者才可编辑！");
  }
  return kProceed;
}

Decision DecideDeleteTopic(const PostFacts& f, bool posted) {
  if (Decision d = TopicChecks(f); d != kProceed || !posted) return d;
  return ModeratorChecks(f, kAuthorizeNotMember, kAuthorizeNoRight);
}

Decision DecideCloseThread(const PostFacts& f, bool action_ok, bool posted,
                           const std::string& which) {
  if (!action_ok) return Refusal(kBadNumber);
  if (Decision d = TopicChecks(f); d != kProceed || !posted) return d;
  if (which != "close" && which != "open") return Refusal(kBadNumber);
  return ModeratorChecks(f, kAuthorizeNotMember, kAuthorizeNoRight);
}

Decision DecideTransfer(const PostFacts& f, const TransferRequest& t) {
  if (Decision d = TopicChecks(f); d != kProceed || !t.posted) return d;
  if (!t.destination_ok) {
    return Refusal(t.archive ? "请您选择归档档案，请按返回按钮重新选择！"
                             : "请您选择转移目的地，按返回按钮重新选择！");
  }
  if (Decision d = ModeratorChecks(f, kTransferNotMember, kTransferNoRight); d != kProceed) {
    return d;
  }
  if (t.archive && t.already_archived) {
    return Refusal("对不起，该主题已经存在于档案中，请选择其他主题！");
  }
  return kProceed;
}

Decision DecideCopyPost(const PostFacts& f) {
  if (!f.number_ok) return Refusal(kBadNumber);
  if (!f.found) return Refusal("不存在该贴子！");
  if (!f.admitted) return kPrivate;
  return kProceed;
}

}  // namespace cb
