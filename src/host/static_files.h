// The site folder: finds the file a request path names without ever leaving the folder (no "..",
// no encoded dots, no symbolic links that point outside), matching names without regard to case.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cb {

struct StaticLookup {
  enum Outcome { kFound, kNotFound, kRefused };
  Outcome outcome = kNotFound;
  std::filesystem::path path;  // the file, when found
  std::string content_type;    // by extension; application/octet-stream when unknown
};

class SiteFolder {
 public:
  explicit SiteFolder(const std::string& root);

  // raw_path: the path of the request target as received (percent-encoded, no query).
  // kRefused for a path that tries to leave the folder or is malformed; directories are kNotFound.
  StaticLookup Lookup(std::string_view raw_path) const;

  // Reads a whole file; nullopt when it cannot be read.
  static std::optional<std::string> ReadFile(const std::filesystem::path& path);

 private:
  std::filesystem::path root_;  // canonical; empty when the folder does not exist
};

}  // namespace cb
