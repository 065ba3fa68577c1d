// The runtime error every layer raises: a number, a description and a source, which the page
// error convention turns into the error page ("错误号：…<br>错误描述：…<br>错误来源：…").
#pragma once

#include <stdexcept>
#include <string>

namespace cb {

// Error numbers this program reports. The legacy host's own numbers where one exists; database
// errors carry the provider's generic failure code and the backend's text.
namespace err {
constexpr long kInvalidProcedureCall = 5;
constexpr long kOverflow = 6;
constexpr long kSubscriptOutOfRange = 9;
constexpr long kTypeMismatch = 13;
constexpr long kInvalidUseOfNull = 94;
constexpr long kDatabase = -2147217900;       // 0x80040E14: the statement failed
constexpr long kDatabaseOpen = -2147467259;   // 0x80004005: the data source could not be opened
constexpr long kRecordsetState = 3704;        // operation not allowed when the object is closed
constexpr long kNoCurrentRecord = 3021;       // either BOF or EOF is true
constexpr long kItemNotFound = 3265;          // no field of that name
constexpr long kMail = -2146697203;           // mail component failure
}  // namespace err

class ScriptError : public std::runtime_error {
 public:
  ScriptError(long number, std::string description, std::string source = "Corkboard")
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        source_(std::move(source)) {}
  long number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

 private:
  long number_;
  std::string description_;
  std::string source_;
};

}  // namespace cb
