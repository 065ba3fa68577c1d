// The honest page of a method that this release does not offer yet, for the three classes.
#include "admin/admin.h"
#include "frame/corkboard.h"
#include "messages/pm.h"

namespace cb {

void Corkboard::NotAvailableYet(const char* page_name) { WriteNotAvailablePage(page_name); }
void Admin::NotAvailableYet(const char* page_name) { WriteNotAvailablePage(page_name); }
void PM::NotAvailableYet(const char* page_name) { WriteNotAvailablePage(page_name); }

}  // namespace cb
