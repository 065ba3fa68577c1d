// Serving the published kinds of files from the data folder through the site folder's safe lookup.
#include "upload/published.h"

#include <filesystem>
#include <optional>

#include "frame/settings.h"
#include "host/static_files.h"
#include "runtime/convert.h"
#include "upload/upload.h"

namespace cb {

namespace {

// The file below root that the request's address names after "/<prefix>/"; nothing (and a 404
// page) when there is none or the address tries to leave root.
std::optional<std::string> FindPublished(ScriptingContext& ctx, const std::filesystem::path& root,
                                         std::string_view prefix, std::string* file_name) {
  const std::string path = ctx.request().ServerVariables("URL").Str();  // decoded, UTF-8
  const size_t skip = prefix.size() + 2;                                // "/" prefix "/"
  std::optional<std::string> bytes;
  if (path.size() > skip) {
    StaticLookup found = SiteFolder(root.string()).Lookup("/" + EncodePath(path.substr(skip)));
    if (found.outcome == StaticLookup::kFound) {
      bytes = SiteFolder::ReadFile(found.path);
      *file_name = found.path.filename().string();
    }
  }
  if (!bytes) {
    ctx.response().SetStatus(404);
    ctx.response().Write("<html><body><h3>404 Not Found</h3></body></html>");
  }
  return bytes;
}

}  // namespace

void ServeNewsScript(ScriptingContext& ctx) {
  std::string name;
  std::optional<std::string> bytes = FindPublished(
      ctx, std::filesystem::path(ctx.services().data_dir) / "generated" / "js", "js", &name);
  if (!bytes) return;
  ctx.response().SetContentType("application/javascript; charset=gb2312");
  ctx.response().Write(*bytes);
}

void ServeUploadedFile(ScriptingContext& ctx) {
  Settings s;
  LoadSettings(ctx.application(), s);
  s.DataDir = ctx.services().data_dir;
  std::string name;
  const std::filesystem::path root = UploadRoot(s);
  // A root that holds the data folder would publish the database.
  std::optional<std::string> bytes =
      FindPublished(ctx, UploadRootIsApart(root, s.DataDir) ? root : "", "upload", &name);
  if (!bytes) return;
  const UploadServing serving = UploadServingFor(name);
  Response& out = ctx.response();
  out.SetContentType(serving.content_type);
  out.AddHeader("X-Content-Type-Options", "nosniff");
  out.AddHeader("Content-Security-Policy", "sandbox");
  if (serving.attachment) out.AddHeader("Content-Disposition", "attachment");
  out.Write(*bytes);
}

UploadServing UploadServingFor(std::string_view file) {
  static constexpr std::pair<std::string_view, std::string_view> kShown[] = {
      {"gif", "image/gif"},   {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},
      {"png", "image/png"},   {"bmp", "image/bmp"},        {"ico", "image/x-icon"},
      {"webp", "image/webp"}, {"txt", "text/plain; charset=gb2312"}, {"pdf", "application/pdf"},
  };
  const size_t dot = file.rfind('.');
  if (dot != std::string_view::npos) {
    const std::string extension = ToLower(file.substr(dot + 1));
    for (const auto& [known, type] : kShown) {
      if (extension == known) return {std::string(type), false};
    }
  }
  return {"application/octet-stream", true};
}

}  // namespace cb
