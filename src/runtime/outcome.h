// Outcome: the result of an operation that may fail in an expected way (a mail the server
// refuses, a folder that cannot be made): success, or the reason as a text fit to show. Faults
// that abandon a page are ScriptError instead.
#pragma once

#include <string>
#include <utility>

namespace cb {

class [[nodiscard]] Outcome {
 public:
  Outcome() = default;  // success
  static Outcome Failure(std::string reason) {
    Outcome o;
    o.failed_ = true;
    o.reason_ = std::move(reason);
    return o;
  }
  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& reason() const { return reason_; }

 private:
  bool failed_ = false;
  std::string reason_;
};

}  // namespace cb
