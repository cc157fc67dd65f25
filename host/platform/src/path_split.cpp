#include <string_view>

#include "platform.h"

namespace {

// Copies part with its zero into out (when given); false when it does not fit MAX_PATH.
bool PutPart(std::string_view part, char* out) {
  if (part.size() >= MAX_PATH) return false;
  if (out != nullptr) {
    out[part.copy(out, part.size())] = '\0';
  }
  return true;
}

}  // namespace

BOOL PDSplitPathAndNameNoExtAndExt(const char* path, char* folder, char* name, char* extension) {
  if (path == nullptr) return FALSE;
  const std::string_view whole(path);
  const std::size_t slash = whole.find_last_of("\\/");
  const std::size_t nameAt = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view file = whole.substr(nameAt);
  const std::size_t dot = file.rfind('.');
  const bool hasExtension = dot != std::string_view::npos && dot > 0;
  const std::string_view stem = hasExtension ? file.substr(0, dot) : file;
  const std::string_view ext = hasExtension ? file.substr(dot + 1) : std::string_view();
  if (whole.size() >= MAX_PATH) return FALSE;
  return PutPart(whole.substr(0, nameAt), folder) && PutPart(stem, name) && PutPart(ext, extension)
             ? TRUE
             : FALSE;
}
