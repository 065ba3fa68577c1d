// The mailbox tops, the refusal texts and the pure decisions of the private-message pages.
#include "messages/pm_pages.h"

#include "frame/page_frame.h"
#include "frame/procedures.h"
#include "posting/post_form.h"
#include "runtime/convert.h"

namespace cb {

const char* const kPmNavbar =
    "<p><a href=pm.asp?action=newpm>新悄悄话</a>&nbsp;|&nbsp;"
    "<a href=pm.asp?action=inbox>收件箱</a>&nbsp;|&nbsp;"
    "<a href=pm.asp?action=outbox>发件箱</a>&nbsp;|&nbsp;"
    "<a href=pm.asp?action=IgnoreList>拒绝列表</a>&nbsp;|&nbsp;"
    "<a href=member.asp>成员列表</a>&nbsp;</p>";
const char* const kListTitleCell =
    "<td><p><font class=bbtitle>　　　　悄　悄　话 　　　　</font></p>";
const char* const kPageTitleCell = "<td><p><b>　　　　悄　悄　话 　　　　</b></p>";

const char* const kAccountProblem = "对不起，由于账号问题，你不能进行该操作！";
const char* const kSignInBarred =
    "对不起，您已经被禁止在本论坛发表话题，因此，同时你也不能使用论坛的悄悄话功能，具体信息，"
    "请联系论坛管理员！";

std::string MailboxTop(const Settings& s, const char* title_cell, const std::string& club_header) {
  if (s.BBSTYLE == "CBK") {
    return "<table border=0 width=" + s.TableWidth + "><tr><td>" + s.Logo + "</td>" + title_cell +
           kPmNavbar + "</td></tr></table>";
  }
  if (s.BBSTYLE == "CLUB") return club_header;
  return "";
}

PostRefusal DecidePostPM(const PostFacts& f) {
  if (!f.address_allowed) return PostRefusal::kAddress;
  if (f.recipient.empty() || f.subject.empty() || f.message.empty()) return PostRefusal::kEmpty;
  if (!f.account_ok) return PostRefusal::kAccount;
  if (!f.can_post) return PostRefusal::kBarred;
  if (!f.submit_due) return PostRefusal::kFlood;
  if (!f.recipient_exists) return PostRefusal::kNoRecipient;
  if (f.ignored) return PostRefusal::kIgnored;
  return PostRefusal::kNone;
}

std::string PostRefusalMessage(PostRefusal r, const Settings& s, std::string_view address,
                               std::string_view recipient) {
  switch (r) {
    case PostRefusal::kNone:
      return "";
    case PostRefusal::kAddress:
      return kRefusedAddressStart + HtmlSafe(address) + kRefusedAddressEnd;
    case PostRefusal::kEmpty:
      return "发送给，主题，留言均不能为空！按后退按钮可重新处理！";
    case PostRefusal::kAccount:
      return kAccountProblem;
    case PostRefusal::kBarred:
      return kSignInBarred;
    case PostRefusal::kFlood:
      return FloodMessage(s);
    case PostRefusal::kNoRecipient:
      return "对不起，你发送给的用户并不存在，按浏览器的后退按钮可重新处理！";
    case PostRefusal::kIgnored: {
      const std::string name = HtmlSafe(recipient);
      return "对不起，您已经被" + name + "加入到悄悄话拒绝列表，在" + name +
             "没有把您从拒绝列表中删除前，悄悄话不能发送！";
    }
  }
  return "";
}

IgnoreRefusal DecideAddIgnore(std::string_view member, std::string_view name,
                              std::string_view canonical, bool already_listed) {
  // Names compare without regard to case everywhere else, so "Alice" is alice herself too.
  if (EqualsNoCase(name, member) || (!canonical.empty() && EqualsNoCase(canonical, member))) {
    return IgnoreRefusal::kSelf;
  }
  if (canonical.empty()) return IgnoreRefusal::kNoMember;
  if (already_listed) return IgnoreRefusal::kAlreadyListed;
  return IgnoreRefusal::kNone;
}

const char* IgnoreRefusalMessage(IgnoreRefusal r) {
  switch (r) {
    case IgnoreRefusal::kNone:
      return "";
    case IgnoreRefusal::kSelf:
      return "您不能把自己加入自己的拒绝列表";
    case IgnoreRefusal::kNoMember:
      return "没有该用户！";
    case IgnoreRefusal::kAlreadyListed:
      return "该用户已经在您的拒绝列表中！";
  }
  return "";
}

std::vector<int32_t> MessageNumbers(const std::vector<std::string>& values) {
  std::vector<int32_t> numbers;
  for (const std::string& v : values) {
    const Variant value(v);
    if (ToLong(value)) numbers.push_back(value.CLng());
  }
  return numbers;
}

std::string LongDateText(int year, int month, int day) {
  return std::to_string(year) + "年" + std::to_string(month) + "月" + std::to_string(day) + "日";
}

}  // namespace cb
