// The decisions of the announcement centre that need no database: an announcement's subject, text
// and dates, and the forums it may be published to.
#pragma once

#include <string>
#include <vector>

#include "runtime/datetime.h"

namespace cb {

// The fields of the announcement form as posted.
struct AnnouncementDraft {
  std::string subject;
  std::string content;
  std::string start_year, start_month, start_day;
  std::string end_year, end_month, end_day;
};

// Refused when the subject or the text is missing, or a date is no date of the calendar.
struct AnnouncementCheck {
  const char* refusal = nullptr;
  DateTime start;
  DateTime end;
};
AnnouncementCheck CheckAnnouncement(const AnnouncementDraft& draft);

// The forums chosen must all be among those the publisher manages.
const char* AnnouncementForumsRefusal(const std::vector<std::string>& managed,
                                      const std::vector<std::string>& chosen);

}  // namespace cb
