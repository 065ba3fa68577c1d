// Methods that this release does not offer yet. Each page answers with the honest "not available
// yet" page; each procedure raises an error that the calling page reports. Delete a line here when
// its method is written in its own file.
#include "admin/admin.h"
#include "frame/corkboard.h"
#include "messages/pm.h"
#include "runtime/script_error.h"

namespace cb {

namespace {

[[noreturn]] void Missing(const char* name) {
  throw ScriptError(err::kInvalidProcedureCall, std::string(name) + " 尚未开放");
}

}  // namespace

// ---- Corkboard
Variant Corkboard::GetSubscibeList(const Variant&) { Missing("Corkboard.GetSubscibeList"); }
void Corkboard::CorkboardOption() { NotAvailableYet("Corkboard.CorkboardOption"); }
void Corkboard::ArchiveContent() { NotAvailableYet("Corkboard.ArchiveContent"); }
void Corkboard::ArchiveList() { NotAvailableYet("Corkboard.ArchiveList"); }
void Corkboard::DeleteArchive() { NotAvailableYet("Corkboard.DeleteArchive"); }
void Corkboard::Pack() { NotAvailableYet("Corkboard.Pack"); }
void Corkboard::TransferArchive() { NotAvailableYet("Corkboard.TransferArchive"); }
void Corkboard::ArchiveEditPost() { NotAvailableYet("Corkboard.ArchiveEditPost"); }
void Corkboard::ArchiveSubmitEdit() { NotAvailableYet("Corkboard.ArchiveSubmitEdit"); }
void Corkboard::CloseThread() { NotAvailableYet("Corkboard.CloseThread"); }
void Corkboard::CopyPost() { NotAvailableYet("Corkboard.CopyPost"); }
void Corkboard::DeletePost() { NotAvailableYet("Corkboard.DeletePost"); }
void Corkboard::Transfer() { NotAvailableYet("Corkboard.Transfer"); }
void Corkboard::Favor() { NotAvailableYet("Corkboard.Favor"); }
void Corkboard::Showfavor() { NotAvailableYet("Corkboard.Showfavor"); }
void Corkboard::subscibe() { NotAvailableYet("Corkboard.subscibe"); }
void Corkboard::lostpw() { NotAvailableYet("Corkboard.lostpw"); }
void Corkboard::SendThread() { NotAvailableYet("Corkboard.SendThread"); }
void Corkboard::Profile() { NotAvailableYet("Corkboard.Profile"); }
void Corkboard::ViewUser() { NotAvailableYet("Corkboard.ViewUser"); }
void Corkboard::HotTopic() { NotAvailableYet("Corkboard.HotTopic"); }
void Corkboard::MoreReply() { NotAvailableYet("Corkboard.MoreReply"); }
void Corkboard::NewlyTopic() { NotAvailableYet("Corkboard.NewlyTopic"); }
void Corkboard::Top() { NotAvailableYet("Corkboard.Top"); }
void Corkboard::Getannounce() { NotAvailableYet("Corkboard.Getannounce"); }
void Corkboard::MemberList() { NotAvailableYet("Corkboard.MemberList"); }
void Corkboard::Search() { NotAvailableYet("Corkboard.Search"); }
void Corkboard::EditPost() { NotAvailableYet("Corkboard.EditPost"); }
void Corkboard::SubmitEdit() { NotAvailableYet("Corkboard.SubmitEdit"); }
void Corkboard::IcqMessage() { NotAvailableYet("Corkboard.IcqMessage"); }

// ---- Admin
void Admin::DataMaintenance() { NotAvailableYet("Admin.DataMaintenance"); }
void Admin::FileUp() { NotAvailableYet("Admin.FileUp"); }
void Admin::ImportAccount() { NotAvailableYet("Admin.ImportAccount"); }
void Admin::Announce() { NotAvailableYet("Admin.Announce"); }
void Admin::Archives() { NotAvailableYet("Admin.Archives"); }
void Admin::Edit() { NotAvailableYet("Admin.Edit"); }
void Admin::EMail() { NotAvailableYet("Admin.EMail"); }
void Admin::Forum() { NotAvailableYet("Admin.Forum"); }
void Admin::JsCode() { NotAvailableYet("Admin.JsCode"); }
void Admin::MonthPostAnalyzer() { NotAvailableYet("Admin.MonthPostAnalyzer"); }
void Admin::Permissions() { NotAvailableYet("Admin.Permissions"); }
void Admin::Index() { NotAvailableYet("Admin.Index"); }
std::string Admin::PM() { Missing("Admin.PM"); }
bool Admin::IsAdministrator(std::string&, std::string&, Connection&) { Missing("Admin.IsAdministrator"); }

// ---- PM
void PM::Login() { NotAvailableYet("PM.Login"); }
void PM::inbox() { NotAvailableYet("PM.inbox"); }
void PM::outbox() { NotAvailableYet("PM.outbox"); }
void PM::IgnoreList() { NotAvailableYet("PM.IgnoreList"); }
void PM::AddToIgnoreList() { NotAvailableYet("PM.AddToIgnoreList"); }
void PM::DeleteIgnoreList() { NotAvailableYet("PM.DeleteIgnoreList"); }
void PM::PostPM() { NotAvailableYet("PM.PostPM"); }
void PM::ReplyPM() { NotAvailableYet("PM.ReplyPM"); }
void PM::DeletePM() { NotAvailableYet("PM.DeletePM"); }
void PM::DeleteOutbox() { NotAvailableYet("PM.DeleteOutbox"); }
void PM::newpm() { NotAvailableYet("PM.newpm"); }
void PM::ViewPM(const std::string&) { NotAvailableYet("PM.ViewPM"); }
bool PM::PostSubmitCheck() { Missing("PM.PostSubmitCheck"); }
std::string PM::GetNavbar() { Missing("PM.GetNavbar"); }
void PM::SignInCheck() { NotAvailableYet("PM.SignInCheck"); }

}  // namespace cb
