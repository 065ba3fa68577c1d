// The multipart/form-data body of an upload: its parts split at the boundary, each with its field
// name, the client's file name when it is a file field, and its content as a view of the body.
// Stands on nothing but the standard library, so its fuzz target builds in seconds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cb {

struct MultipartPart {
  std::string name;          // the field name as sent (bytes)
  bool is_file = false;      // the header carried a filename parameter
  std::string filename;      // the client's file name as sent (bytes; may be empty)
  std::string_view content;  // the part's content, inside the body
};

// Reads only inside the body it is given. A part counts only when a delimiter follows it, so a
// truncated body keeps the parts before the cut and loses the one that was cut; a part whose
// header lacks a form-data name is skipped. Nothing is found when the content type is not
// multipart/form-data, names no boundary, or the body does not begin with that boundary.
class MultipartBody {
 public:
  static constexpr size_t kMaxBoundary = 70;     // the longest boundary the format allows
  static constexpr size_t kMaxParts = 256;       // parts past this are ignored
  static constexpr size_t kMaxHeaderBytes = 8192;  // a part header longer than this is skipped

  MultipartBody(std::string_view body, std::string_view content_type);

  // The boundary was found and the body begins with it.
  bool ok() const { return ok_; }
  // The closing delimiter was reached: nothing was cut off.
  bool complete() const { return complete_; }
  const std::vector<MultipartPart>& parts() const { return parts_; }
  // The first part of that exact name (letter case counts), or nullptr.
  const MultipartPart* Find(std::string_view name) const;

  // The boundary parameter of a Content-Type ("" when it is missing or not multipart/form-data).
  static std::string BoundaryOf(std::string_view content_type);

 private:
  void Split(std::string_view body, std::string_view dash_boundary);
  void AddPart(std::string_view part);

  bool ok_ = false;
  bool complete_ = false;
  std::vector<MultipartPart> parts_;
};

}  // namespace cb
