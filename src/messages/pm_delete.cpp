// Deleting ticked messages from the inbox (DeletePM) or the outbox (DeleteOutbox). Each copy is
// deleted alone, and only from the member's own box, whatever numbers the form carries.
#include "frame/procedures.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"
#include "store/connection.h"
#include "store/recordset.h"

namespace cb {

void PM::DeletePM() { DeleteMessages(kInbox); }
void PM::DeleteOutbox() { DeleteMessages(kOutbox); }

void PM::DeleteMessages(const BoxKind& box) {
  RunAction([&] {
    const ValueCollection& form = Request_().form();
    std::vector<std::string> values;
    for (int i = 1; i <= form.Count("delete"); ++i) values.push_back(form.Item("delete", i).Str());
    const std::vector<int32_t> numbers = MessageNumbers(values);
    if (numbers.empty()) Refuse("请选择您想删除的记录，按浏览器的后退按钮可重新处理！");
    bool can_post = false;
    if (!MemberSignsIn(can_post)) Refuse(kAccountProblem);
    const std::string owner = SqlQuote(Variant(Member()));
    for (int32_t n : numbers) {
      Con().Execute(box.delete_query + std::to_string(n) + " and " + box.owner + "='" + owner +
                    "'");
    }
    Wait("您选择的悄悄话已经被删除！", box.back, "悄悄话首页", 2);
  });
}

}  // namespace cb
