// Upload: one upload request's form fields and its file, and where uploads may be written: the
// file names the board accepts, the size limit, the upload root and each member's folder in it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/context.h"
#include "upload/file_name.h"
#include "upload/multipart.h"

namespace cb {

struct Settings;

// Reads the request's body as multipart/form-data once; GetTheValue and SaveTheFile then look up
// its fields. Field texts and file names arrive in the board's character set (GBK) and are
// returned as UTF-8.
class Upload {
 public:
  explicit Upload(const Request& request);

  // Comma-separated extensions never saved, compared without regard to letter case.
  std::string ForbiddenExtensions;
  // Bytes; 0 means no limit. A file is saved when its last index minus its first is at most this.
  double MaxFileSize = 0;
  // The folder files are saved into; empty saves nothing.
  std::string SavePath;

  // The text of the named field (exact name), or "" when there is none.
  std::string GetTheValue(std::string_view name) const;
  // Saves the named file field into SavePath under the client's file name and returns that name;
  // "" when nothing was saved (no such field, a refused name, an empty or oversized file, a
  // failed write). A refused file leaves a stored file of the same name as it was.
  std::string SaveTheFile(std::string_view name);

 private:
  MultipartBody body_;
};

// Writes bytes as folder/name, replacing a file of that name completely: a new file is written
// beside it and renamed over it, so a reader sees the old file or the new one, never a mixture,
// and a link of that name is replaced rather than followed. False when it cannot be written.
bool ReplaceFile(const std::filesystem::path& folder, const std::string& name,
                 std::string_view bytes);

// The upload root: the UploadBaseDir setting, a relative one taken inside the data folder.
std::filesystem::path UploadRoot(const Settings& s);

// The upload root lies apart from the board's own files: it is neither the data folder nor a folder
// that holds it, so neither an upload nor the address upload/ reaches the database.
bool UploadRootIsApart(const std::filesystem::path& root, const std::string& data_dir);

// The member's own folder under the root (created when missing), or nothing when his upload folder
// is empty, would leave the root (an absolute path, a drive, a ".." step), or leads out of it
// through a link. A "\" in the stored folder separates folders like "/".
std::optional<std::filesystem::path> MemberUploadFolder(const std::filesystem::path& root,
                                                        std::string_view uploaddir);

// The upload page's sign-in refusal for the member's row, in the page's order: no row, a role
// other than moderator or administrator, no upload folder; nullptr when he may upload.
struct UploadAccount {
  bool found = false;
  std::string status;  // as stored
  std::string uploaddir;
};
const char* UploadRefusal(const UploadAccount& account);

// A path as an address: every byte but ASCII letters, digits, "-._~" and "/" as "%XX" (the
// bytes of UTF-8 text, as browsers send them).
std::string EncodePath(std::string_view path);

}  // namespace cb
