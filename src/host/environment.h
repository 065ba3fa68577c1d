// The outside world as the host and the pages reach it: the clocks, randomness, the board's
// folders and the mail transport. The server runs on the real ones; a test replaces any of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/outcome.h"
#include "runtime/random.h"

namespace cb {

// Carries one composed mail away. The board's own transports (SMTP, the outbox folder) come with
// the mail component and follow the SmtpServer setting; one installed in the environment takes
// their place for every mail of the board (a test's recorder, a queue).
class MailTransport {
 public:
  virtual ~MailTransport() = default;
  // message: the whole mail (headers, blank line, body; CRLF lines) from the envelope sender to
  // every recipient address. A failure's reason reaches the page as the mail component's text.
  virtual Outcome Deliver(const std::string& from, const std::vector<std::string>& recipients,
                          const std::string& message) = 0;
};

struct Environment {
  const Clock* clock = &SystemClock::Shared();      // "now" for pages and mails; idle times
  Random* random = &SecureRandom::Shared();         // session ids, passwords, mail and file names
  std::string data_dir = "data";                    // --data: database, outbox, generated files
  std::string site_dir = "site";                    // --site: the static files
  std::shared_ptr<MailTransport> mail_transport{};  // none: the SmtpServer setting decides

  DateTime Now() const { return clock->Now(); }
};

// The name the pages and tests knew it by.
using HostServices = Environment;

}  // namespace cb
