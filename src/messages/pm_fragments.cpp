// The fragments of the private-message pages: error page, wait page, pager and the "CLUB" top.
#include "frame/fragments.h"
#include "frame/page_frame.h"
#include "messages/pm.h"
#include "messages/pm_pages.h"

namespace cb {

void PM::ErrorForm(const Variant& errormessage) {
  Response_().Clear();
  Response_() << WritePageHead(S(), S().BBName) << PmErrorText(S(), errormessage.Str());
}

void PM::Wait(const std::string& tip, const std::string& url, const std::string& target,
              uint8_t waittime) {
  Response_().Clear();
  Response_() << WritePageHead(S(), S().BBName) << WaitText(tip, url, target, waittime)
              << "</body></html>";
}

void PM::PageStyle(int32_t intRecordCount, int16_t intPage, int16_t intPageCount,
                   int16_t intPageSize, const std::string& Addon) {
  Response_() << PagerText(S(), Request_().ServerVariables("script_name").Str(), intRecordCount,
                           intPage, intPageCount, intPageSize, Addon);
}

std::string PM::PmClubHeader() {
  return "<table border=0 width=" + S().TableWidth + "><tr><td align=center>" + S().Logo +
         "</td></tr><tr><td align=right>" + kPmNavbar + "</td></tr></table>";
}

}  // namespace cb
