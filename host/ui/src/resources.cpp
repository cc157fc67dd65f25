#include "resources.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <map>
#include <memory>
#include <string_view>

#include "extension_module.h"

namespace {

// Images are decoded at registration (which may run before the application exists);
// the icons and pixmaps made from them are created on first use.
struct ModuleResources {
  hrz::ResourceScript script;
  std::map<int, QImage> iconImages;
  std::map<int, QImage> bitmapImages;
  std::map<int, QIcon> icons;
  std::map<int, QPixmap> bitmaps;
};

// Registration happens at module attach on the loading thread, lookups on the UI thread;
// both are the UI thread in the host, so the table is not locked. Never destroyed: a module
// that the host never unloads unregisters during the process's exit, after the static
// objects of this library are gone.
std::map<HINSTANCE, std::unique_ptr<ModuleResources>>& Table() {
  static auto* table = new std::map<HINSTANCE, std::unique_ptr<ModuleResources>>;
  return *table;
}

ModuleResources* Current() {
  auto& table = Table();
  auto it = table.find(AfxGetResourceHandle());
  return it != table.end() ? it->second.get() : nullptr;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

const HrzResourceFile* FindFile(const HrzResourceFile* files, std::size_t count,
                                const std::string& name) {
  for (std::size_t i = 0; i < count; ++i) {
    if (files[i].name != nullptr && name == files[i].name) return &files[i];
  }
  return nullptr;
}

bool LoadImage(const HrzResourceFile* file, QImage* image) {
  return file != nullptr && image->loadFromData(file->data, static_cast<int>(file->size));
}

}  // namespace

BOOL AfxRegisterModuleResources(HINSTANCE module, const HrzResourceFile* files, std::size_t count,
                                std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (module == nullptr || (files == nullptr && count != 0)) {
    *error = "no module";
    return FALSE;
  }
  auto resources = std::make_unique<ModuleResources>();
  const hrz::ScriptFiles texts = hrz::ScriptFilesOf(files, count);
  for (const auto& [name, text] : texts) {
    if (!EndsWith(name, ".rc")) continue;
    std::string message;
    if (!hrz::ParseResourceScript(texts, name, &resources->script, &message)) {
      *error = name + ": " + message;
      return FALSE;
    }
  }
  for (const auto& [id, name] : resources->script.icons) {
    if (!LoadImage(FindFile(files, count, name), &resources->iconImages[id])) {
      *error = "icon " + std::to_string(id) + ": cannot load " + name;
      return FALSE;
    }
  }
  for (const auto& [id, name] : resources->script.bitmaps) {
    if (!LoadImage(FindFile(files, count, name), &resources->bitmapImages[id])) {
      *error = "bitmap " + std::to_string(id) + ": cannot load " + name;
      return FALSE;
    }
  }
  Table()[module] = std::move(resources);
  return TRUE;
}

void AfxUnregisterModuleResources(HINSTANCE module) {
  Table().erase(module);
}

namespace hrz {

ScriptFiles ScriptFilesOf(const HrzResourceFile* files, std::size_t count) {
  ScriptFiles texts;
  for (std::size_t i = 0; i < count; ++i) {
    if (files[i].name == nullptr) continue;
    texts.emplace(files[i].name,
                  std::string_view(reinterpret_cast<const char*>(files[i].data), files[i].size));
  }
  return texts;
}

const DialogTemplate* FindDialogTemplate(int id) {
  const ModuleResources* resources = Current();
  if (resources == nullptr) return nullptr;
  auto it = resources->script.dialogs.find(id);
  return it != resources->script.dialogs.end() ? &it->second : nullptr;
}

const QIcon* FindIcon(int id) {
  ModuleResources* resources = Current();
  if (resources == nullptr) return nullptr;
  auto image = resources->iconImages.find(id);
  if (image == resources->iconImages.end()) return nullptr;
  auto it = resources->icons.find(id);
  if (it == resources->icons.end()) {
    it = resources->icons.emplace(id, QIcon(QPixmap::fromImage(image->second))).first;
  }
  return &it->second;
}

const QPixmap* FindBitmap(int id) {
  ModuleResources* resources = Current();
  if (resources == nullptr) return nullptr;
  auto image = resources->bitmapImages.find(id);
  if (image == resources->bitmapImages.end()) return nullptr;
  auto it = resources->bitmaps.find(id);
  if (it == resources->bitmaps.end()) {
    it = resources->bitmaps.emplace(id, QPixmap::fromImage(image->second)).first;
  }
  return &it->second;
}

}  // namespace hrz

HICON AfxLoadIcon(int id) {
  return reinterpret_cast<HICON>(const_cast<QIcon*>(hrz::FindIcon(id)));
}
