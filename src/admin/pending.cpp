// Methods of this folder that this release does not offer yet: each page answers with the honest
// "not available yet" page, each procedure raises an error that the calling page reports. Delete a
// line here when its method is written in its own file.
#include <string>

#include "admin/admin.h"

namespace cb {

void Admin::Archives() { WriteNotAvailablePage("Admin.Archives"); }

}  // namespace cb
