// The resources of a registered module: dialog templates, icons and bitmaps, found by id
// in the module whose handle is current (AfxGetResourceHandle).
#pragma once

#include <cstddef>
#include <string>

#include "dialog_template.h"
#include "wintypes.h"

class QIcon;
class QPixmap;

// One file embedded in a module: resource scripts end in ".rc"; the others are the headers
// that scripts include and the image files that their ICON and BITMAP statements name.
struct HrzResourceFile {
  const char* name;
  const unsigned char* data;
  std::size_t size;
};

// Parses the module's scripts and keeps its files. Fails (FALSE, a line in *error) when a
// script is malformed, when an icon or bitmap names a file that is not among them or cannot
// be decoded, or when the module is null. Registering again replaces the earlier set.
BOOL AfxRegisterModuleResources(HINSTANCE module, const HrzResourceFile* files, std::size_t count,
                                std::string* error);
void AfxUnregisterModuleResources(HINSTANCE module);

namespace hrz {

// The files by name, as scripts find what they include; the texts stay in the files.
ScriptFiles ScriptFilesOf(const HrzResourceFile* files, std::size_t count);

// Lookups in the current resource module; null when it has no such resource. The returned
// objects live until the module is unregistered. UI thread only.
const DialogTemplate* FindDialogTemplate(int id);
const QIcon* FindIcon(int id);
const QPixmap* FindBitmap(int id);

}  // namespace hrz

// The icon as a handle for SetIcon and DrawIcon; null when there is none.
HICON AfxLoadIcon(int id);
