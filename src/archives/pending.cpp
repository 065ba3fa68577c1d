// Methods of this folder that this release does not offer yet: each page answers with the honest
// "not available yet" page, each procedure raises an error that the calling page reports. Delete a
// line here when its method is written in its own file.
#include "frame/corkboard.h"

namespace cb {

void Corkboard::ArchiveContent() { WriteNotAvailablePage("Corkboard.ArchiveContent"); }
void Corkboard::ArchiveList() { WriteNotAvailablePage("Corkboard.ArchiveList"); }
void Corkboard::DeleteArchive() { WriteNotAvailablePage("Corkboard.DeleteArchive"); }
void Corkboard::Pack() { WriteNotAvailablePage("Corkboard.Pack"); }
void Corkboard::TransferArchive() { WriteNotAvailablePage("Corkboard.TransferArchive"); }
void Corkboard::ArchiveEditPost() { WriteNotAvailablePage("Corkboard.ArchiveEditPost"); }
void Corkboard::ArchiveSubmitEdit() { WriteNotAvailablePage("Corkboard.ArchiveSubmitEdit"); }

}  // namespace cb
