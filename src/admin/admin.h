// The Admin class: the control panel pages (admin/*.asp). Sub-pages are named area_action.
#pragma once

#include <string>

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
};

// admin/pm.asp: the form on a GET; on a POST, Admin.PM's answer ("" is success).
void AdminPmPage(ScriptingContext& ctx);

}  // namespace cb
