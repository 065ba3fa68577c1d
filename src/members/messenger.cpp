// The messenger page: the small window the thread view's messenger icon opens, showing the
// member's messenger number so that a visitor can copy it into his own messenger.
#include <string>

#include "frame/corkboard.h"
#include "frame/page_frame.h"
#include "frame/procedures.h"

namespace cb {

void Corkboard::IcqMessage() {
  RunPage(
      [&] {
        const Settings& s = S();
        Response& out = Response_();
        out << WritePageHead(s, s.BBName);
        // Registration keeps only digits; anything else did not come from a post's icon.
        const std::string uin = Request_()("UIN").Str();
        if (uin.empty() || !CheckMessengerNumber(uin)) Refuse(Variant("参数错误！"));
        out << "<br><center><b>ICQ 号码：</b>" << uin  // digits only, checked above
            << "<br><br><a href=javascript:window.close()>关闭窗口</a></center>";
      },
      [&] { Response_() << S().Copyright << "</body></html>"; });
}

}  // namespace cb
