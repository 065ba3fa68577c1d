// Methods of this folder that this release does not offer yet: each page answers with the honest
// "not available yet" page, each procedure raises an error that the calling page reports. Delete a
// line here when its method is written in its own file.
#include <string>

#include "messages/pm.h"

namespace cb {

void PM::Login() { WriteNotAvailablePage("PM.Login"); }
void PM::inbox() { WriteNotAvailablePage("PM.inbox"); }
void PM::outbox() { WriteNotAvailablePage("PM.outbox"); }
void PM::IgnoreList() { WriteNotAvailablePage("PM.IgnoreList"); }
void PM::AddToIgnoreList() { WriteNotAvailablePage("PM.AddToIgnoreList"); }
void PM::DeleteIgnoreList() { WriteNotAvailablePage("PM.DeleteIgnoreList"); }
void PM::PostPM() { WriteNotAvailablePage("PM.PostPM"); }
void PM::ReplyPM() { WriteNotAvailablePage("PM.ReplyPM"); }
void PM::DeletePM() { WriteNotAvailablePage("PM.DeletePM"); }
void PM::DeleteOutbox() { WriteNotAvailablePage("PM.DeleteOutbox"); }
void PM::newpm() { WriteNotAvailablePage("PM.newpm"); }
void PM::ViewPM(const std::string&) { WriteNotAvailablePage("PM.ViewPM"); }
bool PM::PostSubmitCheck() { RaiseNotAvailable("PM.PostSubmitCheck"); }
std::string PM::GetNavbar() { RaiseNotAvailable("PM.GetNavbar"); }
void PM::SignInCheck() { WriteNotAvailablePage("PM.SignInCheck"); }

}  // namespace cb
