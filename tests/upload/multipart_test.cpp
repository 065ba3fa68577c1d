// The upload form parser on well-formed bodies, each malformed form and the boundaries; the rules
// for the client's file name and the file's size (their cases: tests/data/upload.txt).
#include "upload/multipart.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_table.h"
#include "upload/file_name.h"

namespace cb {
namespace {

constexpr const char* kType = "multipart/form-data; boundary=XyZ";

std::string Field(const std::string& name, const std::string& value) {
  return "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}
const std::string kEnd = "--XyZ--\r\n";

// What the parser found: "ok", "complete", then each part as name=content or name[file]=content.
std::string Summary(const MultipartBody& body) {
  std::string out = std::string(body.ok() ? "ok" : "no") + (body.complete() ? " complete" : "");
  for (const MultipartPart& p : body.parts()) {
    out += " | " + p.name + (p.is_file ? "[" + p.filename + "]" : "") + "=" + std::string(p.content);
  }
  return out;
}

TEST(MultipartBody, CasesOfTheDataFile) {
  using Texts = std::vector<std::string>;
  test::CheckCaseTable(
      "upload.txt",
      {{"parse", [](const Texts& a) { return Texts{Summary(MultipartBody(a.at(1), a.at(0)))}; }},
       {"SafeUploadName",
        [](const Texts& a) {
          return Texts{
              SafeUploadName(a.at(0), "js,vbs,dll,asp,exe,cgi,php,jsp,php3").value_or("refused")};
        }},
       {"FitsMaxFileSize", [](const Texts& a) {
          return test::Yes(FitsMaxFileSize(std::stoul(a.at(0)), std::stod(a.at(1))));
        }}});
  // The longest name kept, and one character more.
  const std::string longest = std::string(196, 'a') + ".jpg";
  EXPECT_EQ(SafeUploadName(longest, ""), longest);
  EXPECT_EQ(SafeUploadName("a" + longest, ""), std::nullopt);
}

TEST(MultipartBody, FindsFieldsByTheirExactName) {
  const std::string body = Field("a", "first") + Field("a", "second") + kEnd;
  const MultipartBody parsed(body, kType);
  ASSERT_NE(parsed.Find("a"), nullptr);
  EXPECT_EQ(parsed.Find("a")->content, "first");
  EXPECT_EQ(parsed.Find("A"), nullptr);
  EXPECT_EQ(parsed.Find("missing"), nullptr);
}

TEST(MultipartBody, StopsCountingPartsAtTheLimit) {
  std::string body;
  for (size_t i = 0; i < MultipartBody::kMaxParts + 5; ++i) body += Field("f", "v");
  EXPECT_EQ(MultipartBody(body + kEnd, kType).parts().size(), MultipartBody::kMaxParts);
}

}  // namespace
}  // namespace cb
