// upload.asp: who may upload, what a refused upload leaves behind (nothing, anywhere), the file
// saved into the member's own folder and replaced whole, and how the board serves it.
#include <filesystem>
#include <fstream>

#include "admin/panel_fixture.h"
#include "support/page_test.h"
#include "upload/published.h"
#include "upload/upload.h"

namespace cb {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

constexpr const char* kType = "multipart/form-data; boundary=----Form7";

std::string Field(const std::string& name, const std::string& value) {
  return "------Form7\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}

// The upload form as a browser sends it: the sign-in fields, then the file.
std::string UploadBody(const std::string& name, const std::string& password,
                       const std::string& file, const std::string& bytes) {
  return Field("username", name) + Field("password", password) +
         "------Form7\r\nContent-Disposition: form-data; name=\"image\"; filename=\"" + file +
         "\"\r\nContent-Type: image/png\r\n\r\n" + bytes + "\r\n------Form7--\r\n";
}

// Every file below a folder, as paths relative to it.
std::vector<std::string> FilesBelow(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) out.push_back(fs::relative(entry.path(), root).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct FileUpPage : test::Fixture<test::PanelBoard> {
  fs::path data{host.services().data_dir};

  FileUpPage() {
    board.Exec("update register set uploaddir='modfiles' where username='mod'");
    board.Exec("update register set uploaddir='bossfiles' where username='boss'");
  }
  std::string Send(const std::string& body, const char* type = kType) {
    return host.PostBody("/admin/upload.asp", type, body).Run(&Admin::FileUp);
  }
};

TEST_F(FileUpPage, FormIsPrefilledFromThePanelSignIn) {
  SignedIn(test::kMod);
  EXPECT_GOLDEN("upload/form", Get(&Admin::FileUp, "/admin/upload.asp"));
}

TEST_F(FileUpPage, SavesIntoTheMembersOwnFolderAndReplacesWhole) {
  const std::string page = Send(UploadBody("mod", "pw2", "C:\\图片\\logo.png", "PNG\r\n1234567"));
  EXPECT_TRUE(Has(page,
                  "文件 logo.png 已经成功上传到modfiles目录！<br><a "
                  "href=\"../upload/modfiles/logo.png\" target=_blank>logo.png</a>"))
      << page;
  EXPECT_EQ(ReadAll(data / "upload" / "modfiles" / "logo.png"), "PNG\r\n1234567");
  Send(UploadBody("mod", "pw2", "logo.png", "new"));
  EXPECT_EQ(ReadAll(data / "upload" / "modfiles" / "logo.png"), "new");
  // A refused file leaves the stored one as it was.
  Send(UploadBody("mod", "pw2", "logo.png", ""));
  EXPECT_EQ(ReadAll(data / "upload" / "modfiles" / "logo.png"), "new");
  // The largest file accepted.
  EXPECT_TRUE(
      Has(Send(UploadBody("mod", "pw2", "big.png", std::string(2097153, 'y'))), "已经成功上传"));
  EXPECT_EQ(FilesBelow(data),
            (std::vector<std::string>{"upload/modfiles/big.png", "upload/modfiles/logo.png"}));
  EXPECT_EQ(fs::file_size(data / "upload" / "modfiles" / "big.png"), 2097153u);
}

TEST_F(FileUpPage, RefusesWithThePagesTextsAndWritesNothing) {
  board.Exec("update register set uploaddir='../../escape' where username='boss'");
  board.AddMember("mod2", "pw4", {.status = "moderater"});
  const std::string big(2097154, 'x');
  const std::string body = UploadBody("mod", "pw2", "a.png", "png");
  std::vector<std::pair<std::string, std::string>> cases;
  for (auto table = test::ReadCaseTable("file_up.txt");
       const test::TextCase& c : table["refused"]) {
    cases.emplace_back(UploadBody(c.in.at(0), c.in.at(1), c.in.at(2), c.in.at(3)), c.out.at(0));
  }
  cases.insert(cases.end(),
               {
                   {UploadBody("mod", "pw2", "big.png", big), "文件上传失败！"},
                   {body.substr(0, body.size() - 30), "文件上传失败！"},  // cut inside the file
                   {body.substr(0, 60), "对不起，您不是我们的注册用户"},  // cut inside the sign-in
                   {Field("username", "mod") + Field("password", "pw2") + "------Form7--\r\n",
                    "文件上传失败！"},
               });
  for (const auto& [sent, message] : cases) {
    const std::string page = Send(sent);
    EXPECT_TRUE(test::IsRefusal(page) && Has(page, message)) << message << "\n" << page;
  }
  for (const char* type : {"multipart/form-data", "text/plain"}) {
    EXPECT_TRUE(Has(Send(body, type), "对不起，您不是我们的注册用户")) << type;
  }
  EXPECT_FALSE(fs::exists(data / "escape"));
  EXPECT_FALSE(fs::exists(data.parent_path() / "escape"));
  const std::vector<std::string> files = FilesBelow(data);
  EXPECT_TRUE(files.empty()) << files.front();
}

TEST_F(FileUpPage, UploadsAreServedAsFilesThatCannotRunScript) {
  Send(UploadBody("mod", "pw2", "logo.png", "PNG"));
  Send(UploadBody("mod", "pw2", "page.html", "<script>alert(1)</script>"));
  fs::create_directories(data / "generated" / "js");
  std::ofstream(data / "secret.txt") << "secret";
  std::ofstream(data / "generated" / "js" / "1.js") << "document.write(\"x\");";
  for (auto table = test::ReadCaseTable("file_up.txt"); const test::TextCase& c : table["served"]) {
    const std::string& address = c.in.at(0);
    const bool upload = address.starts_with("/upload/");
    host.Get(address);
    host.response() = Response();
    (upload ? ServeUploadedFile : ServeNewsScript)(host.context());
    const Response& r = host.response();
    EXPECT_EQ(std::to_string(r.status()), c.out.at(0)) << c.where;
    EXPECT_EQ(r.content_type(), c.out.at(1)) << c.where;
    if (c.out.at(2) != "-") {
      EXPECT_EQ(r.body(), c.out.at(2)) << c.where;
    }
    if (r.status() == 200 && upload) {
      using Headers = std::vector<std::pair<std::string, std::string>>;
      Headers expected = {{"X-Content-Type-Options", "nosniff"},
                          {"Content-Security-Policy", "sandbox"}};
      if (r.content_type() == "application/octet-stream") {
        expected.emplace_back("Content-Disposition", "attachment");
      }
      EXPECT_EQ(r.headers(), expected) << c.where;
    }
  }
  // An upload root that holds the data folder publishes nothing.
  host.Configure({{"UploadBaseDir", "."}});
  host.Get("/upload/secret.txt");
  host.response() = Response();
  ServeUploadedFile(host.context());
  EXPECT_EQ(host.response().status(), 404);
  EXPECT_TRUE(Has(Send(UploadBody("mod", "pw2", "png", "PNG")), "文件上传失败！"));
}

}  // namespace
}  // namespace cb
