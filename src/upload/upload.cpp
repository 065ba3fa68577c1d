// The upload form's fields and file, and the rules for where and under which name a file lands.
#include "upload/upload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "admin/panel.h"
#include "admin/permissions.h"
#include "frame/settings.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"
#include "runtime/percent.h"

namespace cb {

namespace fs = std::filesystem;

namespace {

bool IsInside(const fs::path& root, const fs::path& p) {
  const std::string& r = root.native();
  const std::string& s = p.native();
  return s.size() > r.size() && s.compare(0, r.size(), r) == 0 && s[r.size()] == '/';
}

}  // namespace

Upload::Upload(const Request& request)
    : body_(request.Body(), request.ServerVariables("CONTENT_TYPE").Str()) {}

std::string Upload::GetTheValue(std::string_view name) const {
  const MultipartPart* part = body_.Find(name);
  return part == nullptr ? std::string() : GbkToUtf8(part->content);
}

std::string Upload::SaveTheFile(std::string_view name) {
  const MultipartPart* part = body_.Find(name);
  if (part == nullptr || !part->is_file || SavePath.empty()) return "";
  std::optional<std::string> file = SafeUploadName(GbkToUtf8(part->filename), ForbiddenExtensions);
  if (!file || !FitsMaxFileSize(part->content.size(), MaxFileSize)) return "";
  return ReplaceFile(SavePath, *file, part->content) ? *file : "";
}

bool ReplaceFile(const fs::path& folder, const std::string& name, std::string_view bytes) {
  std::string temp = (folder / ".upload-XXXXXX").string();
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool written = fchmod(fd, 0644) == 0;
  for (size_t done = 0; written && done < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = close(fd) == 0 && written;
  std::error_code ec;
  if (written) fs::rename(temp, folder / name, ec);
  if (!written || ec) {
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

fs::path UploadRoot(const Settings& s) {
  fs::path base(s.UploadBaseDir);
  if (base.is_relative() && !s.DataDir.empty()) base = fs::path(s.DataDir) / base;
  return base;
}

bool UploadRootIsApart(const fs::path& root, const std::string& data_dir) {
  std::error_code ec;
  const fs::path real_root = fs::weakly_canonical(root, ec);
  if (ec) return false;
  const fs::path data = fs::weakly_canonical(data_dir, ec);
  if (ec) return false;
  return real_root != data && !IsInside(real_root, data);
}

std::optional<fs::path> MemberUploadFolder(const fs::path& root, std::string_view uploaddir) {
  std::string dir(uploaddir);
  for (char& c : dir) {
    if (c == '\\') c = '/';
  }
  if (dir.empty() || !IsSafeUploadDir(dir)) return std::nullopt;
  std::error_code ec;
  fs::create_directories(root, ec);
  fs::path at = fs::canonical(root, ec);
  if (ec) return std::nullopt;
  const fs::path real_root = at;
  // One step at a time, each checked before the next is made, so that a link in the way cannot
  // lead a new folder outside the root.
  for (const fs::path& step : fs::path(dir)) {
    if (step.empty() || step == ".") continue;
    fs::create_directory(at / step, ec);
    if (ec) return std::nullopt;
    at = fs::canonical(at / step, ec);
    if (ec || !IsInside(real_root, at) || !fs::is_directory(at, ec)) return std::nullopt;
  }
  if (at == real_root) return std::nullopt;
  return at;
}


const char* UploadRefusal(const UploadAccount& account) {
  const std::string role = ToLower(account.status);
  return FirstRefusal({
      {!account.found, "对不起，您不是我们的注册用户，不能执行该操作！"},
      {role != "moderater" && role != "administrator", "对不起，您没有执行该操作的权限！"},
      {account.uploaddir.empty(),
       "对不起，管理员还没有为您设定上传目录，您不能上传文件，请联系管理员！"},
  });
}

std::string EncodePath(std::string_view path) {
  std::string out;
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      AppendPercentEscape(c, out);
    }
  }
  return out;
}

}  // namespace cb
