// Registration's checks as data, apart from the page so that tests drive them.
#pragma once

#include <optional>
#include <string>

namespace cb {

// What RegSubmit knows of a registration at each step; the facts read from the register stay
// empty until read.
struct RegistrationFacts {
  bool email_register = true;  // the EMailRegister setting: no password fields on the form
  std::string name_field{};    // "UserName" as sent
  std::string password{};      // "Password" and "Password2" as sent
  std::string password2{};
  std::string user{};  // "UserName" trimmed
  std::string email{};
  std::string oicq{};                 // trimmed
  std::string icq{};                  // trimmed
  std::optional<bool> email_taken{};  // read only when EMailCheck holds
  std::optional<bool> name_taken{};
};

// The first refusal, in the order RegSubmit checks, as the error page's message; none when the
// registration may go on.
std::optional<const char*> RegistrationRefusal(const RegistrationFacts& f);

}  // namespace cb
