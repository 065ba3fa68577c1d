// The Admin class: the control panel pages (admin/*.asp). Sub-pages are named area_action.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "admin/panel.h"
#include "frame/page_base.h"
#include "host/context.h"

namespace cb {

class Connection;

class Admin : public PageBase {
 public:
  void DataMaintenance();
  void FileUp();
  void ImportAccount();
  void Announce();
  void Archives();
  void Edit();
  void EMail();
  void Forum();
  void JsCode();
  void MonthPostAnalyzer();
  void Permissions();
  std::string PM();
  bool IsAdministrator(std::string& UserName, std::string& Password, Connection& con);
  void ErrorForm(const Variant& errormessage) override;
  void Index();  // the control panel's front page
  bool isAdminOrModerater(std::string& UserName, std::string& Password, Connection& con,
                          std::string& ForumList, bool* Administrator = nullptr);

  // Thread editing and pruning (edit.asp)
  // The forum choices come from the identity that passed the step's check: forum names may hold
  // the "," that joins a forum list.
  void Edit_Edit();
  void Edit_Prune();
  void edit_prunesuer(Connection& con);
  void Edit_AdminEditThisForum(Connection& con);
  void Edit_GetEditThreads(Connection& con, int32_t& Topic);
  void Edit_EditPost(Connection& con, int32_t& Topic);
  void Edit_EditSubject(Connection& con);
  void Edit_DeleteThread(Connection& con);
  void Edit_DeletePost(Connection& con, std::string& PruneStyle);
  void Edit_DoMeassageEdit();
  // Announcements (announce.asp)
  void Announce_CreateAnnouncement();
  void Announce_EditAnnouncement(Connection& con);
  void Announce_submitAnncedit(Connection& con);
  void Announce_SubmitAnnounce(Connection& con);
  void Announce_ReViewAnnounce(Connection& con);
  // Permissions (member.asp)
  void Permissions_GetMatchs(Connection& con);
  void Permissions_updatepermiss(Connection& con);
  void Permissions_getbio4admin(Connection& con);
  void Permissions_SubmitEdit(Connection& con);

 private:
  // The control-panel check behind IsAdministrator and isAdminOrModerater: the sign-in guard and
  // the member's own row. Leaves panel_ holding who passed.
  bool CheckPanelIdentity(std::string& UserName, std::string& Password, Connection& con);
  // A passed check's session values (a new identity also gets a new session id).
  void RememberPanelSignIn(const std::string& UserName, const std::string& Password);
  // The control panel's sign-in values kept in the session (empty when none).
  PanelCredentials SessionCredentials() const;
  PanelCredentials PostedCredentials() const;
  // The sign-in rows of a panel form, pre-filled from the session.
  std::string CredentialRows(int password_size) const;
  // The step's own text: head with the page's title, the content, and nothing after it.
  void WritePanelHead(const std::string& title);

  // Forum management steps (forum.asp)
  void Forum_Start();
  void Forum_Summary(Connection& con, PanelCredentials who);
  void Forum_SetForums(Connection& con);
  void Forum_AddForums(Connection& con);
  void Forum_AddNewForum(Connection& con);
  void Forum_GetForum(Connection& con);
  void Forum_SubmitEdit(Connection& con);
  // Thread editing: a moderator acts only in a forum of his list.
  void RequireForum(const std::string& forum, const Variant& refusal);
  // The topic named by the request value "topic", in a forum of the identity's.
  TopicHead RequestedTopic(Connection& con);
  // The forum choice of the three forum-choice forms.
  std::string ForumSelect() const;
  // edit.asp's steps that change posts.
  void Edit_SubmitPrune(Connection& con);
  void Edit_SubmitEditSubject(Connection& con);
  void Edit_DoDeleteThread(Connection& con);

  PanelIdentity panel_;
};

// admin/pm.asp: the form on a GET; on a POST, Admin.PM's answer ("" is success).
void AdminPmPage(ScriptingContext& ctx);

}  // namespace cb
