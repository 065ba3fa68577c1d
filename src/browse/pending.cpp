// Methods of this folder that this release does not offer yet: each page answers with the honest
// "not available yet" page, each procedure raises an error that the calling page reports. Delete a
// line here when its method is written in its own file.
#include "frame/corkboard.h"

namespace cb {

void Corkboard::HotTopic() { WriteNotAvailablePage("Corkboard.HotTopic"); }
void Corkboard::MoreReply() { WriteNotAvailablePage("Corkboard.MoreReply"); }
void Corkboard::NewlyTopic() { WriteNotAvailablePage("Corkboard.NewlyTopic"); }
void Corkboard::Top() { WriteNotAvailablePage("Corkboard.Top"); }
void Corkboard::Getannounce() { WriteNotAvailablePage("Corkboard.Getannounce"); }
void Corkboard::Search() { WriteNotAvailablePage("Corkboard.Search"); }

}  // namespace cb
