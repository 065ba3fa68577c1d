// Page fragments shared by more than one class: the texts of the pager and of the wait and error
// pages, so that Corkboard, Admin and PM write the same markup from one place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/settings.h"

namespace cb {

// The pager under a paged list (nothing when page_count < 2). script is the page's own address;
// addon is appended to every link's query as given (callers URL-encode their values).
std::string PagerText(const Settings& s, std::string_view script, int32_t record_count,
                      int16_t page, int16_t page_count, int16_t page_size, std::string_view addon);

// The wait page after its head: the message, the link and the refresh after waittime seconds.
std::string WaitText(std::string_view tip, std::string_view url, std::string_view target,
                     uint8_t waittime);

// What pages show through ErrorForm when CheckForum finds no forum.
extern const char* const kNoForumMessage;

// The body of the error page of each class, after its head.
std::string CorkboardErrorText(const Settings& s, std::string_view message);
std::string PmErrorText(const Settings& s, std::string_view message);
std::string AdminErrorText(const Settings& s, std::string_view message);

}  // namespace cb
