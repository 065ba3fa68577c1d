// Methods of this folder that this release does not offer yet: each page answers with the honest
// "not available yet" page, each procedure raises an error that the calling page reports. Delete a
// line here when its method is written in its own file.
#include "frame/corkboard.h"

namespace cb {

void Corkboard::IcqMessage() { WriteNotAvailablePage("Corkboard.IcqMessage"); }

}  // namespace cb
