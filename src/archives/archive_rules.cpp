// The refusal orders of the archive pages and the address list of the mail-a-post page.
#include "archives/archive_rules.h"

#include "frame/procedures.h"
#include "runtime/convert.h"

namespace cb {

namespace {

constexpr Decision kProceed{};
constexpr Decision Refusal(const char* message) { return {Verdict::kRefuse, message}; }

constexpr const char* kBadNumber = "参数错误！";
constexpr const char* kMovedNotMember = "对不起，您不是本论坛的注册用户，请先注册！";
constexpr const char* kMovedNoRight =
    "对不起，您没有执行该操作的权限，该操作需要版主或管理员级别的权限！";
constexpr const char* kNoPost = "该贴子已不存在，可能被其他人删除！";

// The steps every page on one archived thread starts with: a thread is known by its topic.
bool ThreadKnown(const ArchivedFacts& f) { return f.number_ok && f.found && f.is_topic; }

Decision ModeratorChecks(const ArchivedFacts& f, const char* not_member, const char* no_right) {
  if (f.role == role::kNotMember) return Refusal(not_member);
  if (!MayActOnPost(f.role, f.own, PostAction::kModerate)) return Refusal(no_right);
  return kProceed;
}

bool PlainAddress(const std::string& address) {
  const size_t at = address.find('@');
  if (at == std::string::npos || at == 0 || at + 1 == address.size()) return false;
  if (address.find('@', at + 1) != std::string::npos) return false;
  for (unsigned char c : address) {
    if (c <= 0x20 || c == 0x7f) return false;
    for (char bad : {'<', '>', '"', '(', ')', ';', ':', '\\', '[', ']'}) {
      if (c == static_cast<unsigned char>(bad)) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<int16_t> ArchivePageNumber(const Variant& value) {
  if (value.Str().empty()) return 1;
  if (!ToLong(value)) return std::nullopt;
  return value.CInt();
}

Decision DecideTransferArchive(const ArchivedFacts& f, bool target_ok, bool already_there) {
  if (!ThreadKnown(f)) return Refusal(kBadNumber);
  if (!f.posted) return kProceed;
  if (!target_ok) return Refusal("请您选择归档档案，请按返回按钮重新选择！");
  if (Decision d = ModeratorChecks(f, kMovedNotMember, kMovedNoRight); d != kProceed) return d;
  if (already_there) return Refusal("对不起，该主题已经存在于档案中，请选择其他主题！");
  return kProceed;
}

Decision DecideDeleteArchive(const ArchivedFacts& f) {
  if (!ThreadKnown(f)) return Refusal(kBadNumber);
  if (!f.posted) return kProceed;
  return ModeratorChecks(
      f, "对不起，你不是我们的注册用户，请先注册。按后退按钮重新输入用户名和口令！",
      "对不起，您没有执行该操作的权限，该权限需要您有版主或管理员的许可。按后退按钮重新输入用户名和"
      "口令！");
}

Decision DecideArchiveEditForm(const ArchivedFacts& f) {
  if (!f.number_ok) return Refusal("参数错误!");
  if (!f.found) return Refusal(kNoPost);
  return kProceed;
}

Decision DecideArchiveSubmitEdit(const ArchivedFacts& f, const EditSubmission& e) {
  if (!f.number_ok) return Refusal(kBadNumber);
  if (!f.found) return Refusal(kNoPost);
  if (f.role == role::kNotMember) return Refusal("对不起，您不是本论坛的用户，请先注册后再使用！");
  if (!MayActOnPost(f.role, f.own,
                    e.deleting ? PostAction::kDeleteThroughEdit : PostAction::kEdit)) {
    return Refusal(
        "对不起，你没有编辑或删除该贴子的权限，只有管理员、版主或贴子的原作者才能编辑或删除它！");
  }
  if (e.deleting) return kProceed;
  if (f.is_topic && e.subject_blank) return Refusal("主题不能为空！ ");
  if (e.body_blank) return Refusal("主题内容不能为空！你也可以按浏览器的后退按钮进行修改！");
  return kProceed;
}

Decision DecideRestoreArchive(const ArchivedFacts& f, bool target_ok, bool still_live) {
  if (!ThreadKnown(f)) return Refusal(kBadNumber);
  if (!f.posted) return kProceed;
  if (!target_ok) return Refusal("请您选择转移目的地，按返回按钮重新选择！");
  if (Decision d = ModeratorChecks(f, kMovedNotMember, kMovedNoRight); d != kProceed) return d;
  if (still_live) return Refusal("对不起，该话题仍在论坛中，不能恢复！");
  return kProceed;
}

int16_t WeakerRole(int16_t from_forum, int16_t to_forum) {
  if (from_forum == role::kNotMember || to_forum == role::kNotMember) return role::kNotMember;
  const auto moderates = [](int16_t r) {
    return r == role::kAdministrator || r == role::kModerator;
  };
  return moderates(from_forum) && moderates(to_forum) ? from_forum : role::kMember;
}

std::vector<std::string> SplitAddresses(std::string_view field) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= field.size()) {
    size_t comma = field.find(',', start);
    if (comma == std::string_view::npos) comma = field.size();
    std::string item = Trim(field.substr(start, comma - start));
    if (!item.empty()) out.push_back(std::move(item));
    start = comma + 1;
  }
  return out;
}

Decision DecidePack(const PackFacts& f, const std::vector<std::string>& addresses) {
  constexpr const char* kBadAddress = "请输入合法电子邮件地址!";
  if (!f.number_ok) return Refusal("参数错误");
  if (addresses.empty()) return Refusal(kBadAddress);
  for (const std::string& a : addresses) {
    if (!PlainAddress(a)) return Refusal(kBadAddress);
  }
  if (addresses.size() > kMaxPackRecipients) {
    return Refusal("对不起，一封邮件最多只能发送给10个电子邮件地址！");
  }
  if (!f.found) return Refusal("贴子不存在");
  if (!f.admitted) return {Verdict::kPrivateForum, nullptr};
  return kProceed;
}

}  // namespace cb
