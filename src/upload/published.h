// The files the board publishes from its data folder, each kind below an address of its own: the
// news scripts that JsCode writes (js/N.js, from <data>/generated/js) and the members' uploads
// (upload/<folder>/<file>, from the upload root). Nothing else of the data folder is served.
#pragma once

#include <string>
#include <string_view>

#include "host/context.h"

namespace cb {

void ServeNewsScript(ScriptingContext& ctx);
void ServeUploadedFile(ScriptingContext& ctx);

// How an uploaded file is served: pictures, plain text and PDF as themselves, anything else as a
// download. Every upload is also marked nosniff and sandboxed, so no uploaded page or picture can
// run script as the board.
struct UploadServing {
  std::string content_type;
  bool attachment = false;
};
UploadServing UploadServingFor(std::string_view file);

}  // namespace cb
