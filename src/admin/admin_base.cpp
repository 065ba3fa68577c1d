// The Admin class's own error page: the head and the message as a heading, without the logo.
#include "admin/admin.h"
#include "frame/fragments.h"
#include "frame/page_frame.h"

namespace cb {

void Admin::ErrorForm(const Variant& errormessage) {
  Response_().Clear();
  Response_() << WritePageHead(S(), S().BBName) << AdminErrorText(S(), errormessage.Str());
}

}  // namespace cb
