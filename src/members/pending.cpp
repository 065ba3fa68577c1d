// Methods of this folder that this release does not offer yet: each page answers with the honest
// "not available yet" page, each procedure raises an error that the calling page reports. Delete a
// line here when its method is written in its own file.
#include "frame/corkboard.h"

namespace cb {

Variant Corkboard::GetSubscibeList(const Variant&) {
  RaiseNotAvailable("Corkboard.GetSubscibeList");
}
void Corkboard::CorkboardOption() { WriteNotAvailablePage("Corkboard.CorkboardOption"); }
void Corkboard::Profile() { WriteNotAvailablePage("Corkboard.Profile"); }
void Corkboard::ViewUser() { WriteNotAvailablePage("Corkboard.ViewUser"); }
void Corkboard::lostpw() { WriteNotAvailablePage("Corkboard.lostpw"); }
void Corkboard::Favor() { WriteNotAvailablePage("Corkboard.Favor"); }
void Corkboard::Showfavor() { WriteNotAvailablePage("Corkboard.Showfavor"); }
void Corkboard::subscibe() { WriteNotAvailablePage("Corkboard.subscibe"); }
void Corkboard::SendThread() { WriteNotAvailablePage("Corkboard.SendThread"); }
void Corkboard::IcqMessage() { WriteNotAvailablePage("Corkboard.IcqMessage"); }

}  // namespace cb
