// Which client file names and sizes an upload accepts.
#include "upload/file_name.h"

#include <vector>

#include "runtime/convert.h"

namespace cb {

namespace {

constexpr size_t kLongestName = 200;

std::vector<std::string> SplitList(std::string_view list, char separator) {
  std::vector<std::string> out;
  while (true) {
    size_t at = list.find(separator);
    out.emplace_back(list.substr(0, at));
    if (at == std::string_view::npos) return out;
    list.remove_prefix(at + 1);
  }
}

bool IsForbiddenExtension(std::string_view extension, std::string_view forbidden) {
  for (const std::string& entry : SplitList(forbidden, ',')) {
    const std::string trimmed = Trim(entry);
    if (!trimmed.empty() && EqualsNoCase(trimmed, extension)) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> SafeUploadName(std::string_view client_name,
                                          std::string_view forbidden_extensions) {
  for (unsigned char c : client_name) {
    if (c < 0x20 || c == 0x7f || c == '/') return std::nullopt;
  }
  const std::vector<std::string> steps = SplitList(client_name, '\\');
  for (const std::string& step : steps) {
    if (step == "..") return std::nullopt;
  }
  const std::string& file = steps.back();
  if (file.empty() || file.size() > kLongestName || file.front() == '.' || file.back() == '.' ||
      file.back() == ' ' || file.find_first_of(":*?\"<>|%;") != std::string::npos) {
    return std::nullopt;
  }
  // Every dot starts an extension: some servers run "x.php.jpg" as a script.
  const std::vector<std::string> pieces = SplitList(file, '.');
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (IsForbiddenExtension(pieces[i], forbidden_extensions)) return std::nullopt;
  }
  return file;
}

bool FitsMaxFileSize(size_t size, double max_size) {
  if (size == 0) return false;
  return max_size == 0 || static_cast<double>(size - 1) <= max_size;
}

}  // namespace cb
