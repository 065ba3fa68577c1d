// The upload form parser on well-formed bodies, each malformed form and the boundaries; the rules
// for the client's file name and the file's size.
#include <gtest/gtest.h>

#include <string>

#include "upload/file_name.h"
#include "upload/multipart.h"

namespace cb {
namespace {

constexpr const char* kType = "multipart/form-data; boundary=XyZ";

std::string Field(const std::string& name, const std::string& value) {
  return "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}
std::string File(const std::string& name, const std::string& file, const std::string& bytes) {
  return "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n";
}
const std::string kEnd = "--XyZ--\r\n";
const std::string kForm = Field("username", "mod") + Field("password", "pw") +
                          File("image", "a.jpg", "AB\r\nCD") + kEnd;

// What the parser found: "ok", "complete", then each part as name=content or name[file]=content.
std::string Summary(const MultipartBody& body) {
  std::string out = std::string(body.ok() ? "ok" : "no") + (body.complete() ? " complete" : "");
  for (const MultipartPart& p : body.parts()) {
    out += " | " + p.name + (p.is_file ? "[" + p.filename + "]" : "") + "=" + std::string(p.content);
  }
  return out;
}

struct ParseCase {
  const char* what;
  std::string type;
  std::string body;
  std::string expected;
};

TEST(MultipartBody, SplitsWhatIsWellFormedAndNothingElse) {
  const std::string quoted = "multipart/form-data; charset=gbk; boundary=\"XyZ\"";
  const ParseCase cases[] = {
      {"a browser's form", kType, kForm,
       "ok complete | username=mod | password=pw | image[a.jpg]=AB\r\nCD"},
      {"an empty form", kType, kEnd, "ok complete"},
      {"a quoted boundary and other parameters", quoted, Field("a", "1") + kEnd,
       "ok complete | a=1"},
      {"the boundary inside content without a line break before it", kType,
       Field("a", "x--XyZ--") + kEnd, "ok complete | a=x--XyZ--"},
      {"empty values and an empty file name", kType, Field("a", "") + File("f", "", "") + kEnd,
       "ok complete | a= | f[]="},
      {"header names in any case, extra headers first", kType,
       "--XyZ\r\nX-Note: 1\r\ncontent-disposition: FORM-DATA; name=a\r\n\r\nv\r\n" + kEnd,
       "ok complete | a=v"},
      {"cut inside the file: the file is lost", kType, kForm.substr(0, kForm.size() - 12),
       "ok | username=mod | password=pw"},
      {"cut before the closing dashes", kType, kForm.substr(0, kForm.size() - 4),
       "ok | username=mod | password=pw | image[a.jpg]=AB\r\nCD"},
      {"a delimiter followed by something else ends the body", kType,
       Field("a", "1") + "--XyZjunk\r\n" + Field("b", "2") + kEnd, "ok | a=1"},
      {"a part without a disposition is skipped", kType,
       "--XyZ\r\nContent-Type: text/plain\r\n\r\nv\r\n" + Field("b", "2") + kEnd,
       "ok complete | b=2"},
      {"a part without a blank line is skipped", kType,
       "--XyZ\r\nContent-Disposition: form-data; name=a\r\n" + Field("b", "2") + kEnd,
       "ok complete | b=2"},
      {"a part with an open quote is skipped", kType,
       "--XyZ\r\nContent-Disposition: form-data; name=\"a\r\n\r\nv\r\n" + Field("b", "2") + kEnd,
       "ok complete | b=2"},
      {"a disposition other than form-data is skipped", kType,
       "--XyZ\r\nContent-Disposition: attachment; name=a\r\n\r\nv\r\n" + kEnd, "ok complete"},
      {"a part with no header at all is skipped", kType, "--XyZ\r\n\r\nv\r\n" + kEnd,
       "ok complete"},
      {"no boundary in the content type", "multipart/form-data", kForm, "no"},
      {"an empty boundary", "multipart/form-data; boundary=", kForm, "no"},
      {"a boundary of 71 characters", "multipart/form-data; boundary=" + std::string(71, 'b'),
       "--" + std::string(71, 'b') + "--", "no"},
      {"not a multipart type", "application/x-www-form-urlencoded", kForm, "no"},
      {"another boundary in the body", "multipart/form-data; boundary=Other", kForm, "no"},
      {"a body that does not start with the boundary", kType, "\r\n" + kForm, "no"},
      {"line feeds without carriage returns", kType,
       "--XyZ\nContent-Disposition: form-data; name=a\n\nv\n--XyZ--\n", "no"},
      {"an empty body", kType, "", "no"},
      {"the boundary alone", kType, "--XyZ", "no"},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(Summary(MultipartBody(c.body, c.type)), c.expected) << c.what;
  }
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

TEST(UploadFileName, KeepsOnlyNamesThatStayInTheFolderAndCannotRun) {
  constexpr const char* kForbidden = "js,vbs,dll,asp,exe,cgi,php,jsp,php3";
  const std::pair<std::string, const char*> cases[] = {
      {"a.jpg", "a.jpg"},
      {"照片 1.JPG", "照片 1.JPG"},
      {"C:\\photos\\a.jpg", "a.jpg"},
      {"photos\\a.jpg", "a.jpg"},
      {"a..b.jpg", "a..b.jpg"},
      {"x.php5", "x.php5"},
      {"asp", "asp"},
      {"..\\a.jpg", nullptr},
      {"C:\\photos\\..\\a.jpg", nullptr},
      {"../a.jpg", nullptr},
      {"a/b.jpg", nullptr},
      {"/etc/passwd", nullptr},
      {std::string("a\0.jpg", 6), nullptr},
      {"a\n.jpg", nullptr},
      {"C:a.jpg", nullptr},
      {"x.asp", nullptr},
      {"x.ASP", nullptr},
      {"x.Php3", nullptr},
      {"x.asp.jpg", nullptr},
      {"x.jpg.exe", nullptr},
      {"x.asp;.jpg", nullptr},
      {".htaccess", nullptr},
      {"a.jpg.", nullptr},
      {"a.jpg ", nullptr},
      {"100%.jpg", nullptr},
      {"a<b>.jpg", nullptr},
      {"photos\\", nullptr},
      {"", nullptr},
      {std::string(197, 'a') + ".jpg", nullptr},
      {std::string(196, 'a') + ".jpg", "*"},
  };
  for (const auto& [client, expected] : cases) {
    std::optional<std::string> name = SafeUploadName(client, kForbidden);
    if (expected == nullptr) {
      EXPECT_FALSE(name.has_value()) << client;
    } else {
      EXPECT_EQ(name.value_or("(refused)"), std::string(expected) == "*" ? client : expected);
    }
  }
}

TEST(UploadFileName, SizeLimitCountsFromTheFirstToTheLastByte) {
  constexpr double kMax = 2097152;
  const std::tuple<size_t, double, bool> cases[] = {
      {0, kMax, false},       {1, kMax, true},  {2097152, kMax, true},
      {2097153, kMax, true},  {2097154, kMax, false}, {50000000, 0, true},
  };
  for (const auto& [size, max, fits] : cases) {
    EXPECT_EQ(FitsMaxFileSize(size, max), fits) << size << " of " << max;
  }
}

}  // namespace
}  // namespace cb
