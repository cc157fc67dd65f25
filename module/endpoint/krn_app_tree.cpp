#include "endpoint/krn_app_tree.h"

#include <QPixmap>
#include <cstdlib>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "resources.h"
#include "support/section_resource.h"

namespace hrz {
namespace {

UnitTexts TreeTexts("dlg_kqkrn");
UnitTexts T("dlg_decrypt_license");

constexpr int kIndent = 20;
constexpr int kClickIntervalMs = 600;
constexpr const char* kKernelSection = "Kernel";
constexpr const char* kAppSections[] = {"App", "UserApp"};
constexpr const char* kUnknownCategory = "Unknown";

// The text of a USB setting, without the hint; null for a value that is none of them.
const char* UsbSettingText(std::string_view value) {
  if (value == kKrnUsbValues[0]) return T("udisk cfg none");
  if (value == kKrnUsbValues[1]) return T("udisk cfg read");
  if (value == kKrnUsbValues[2]) return T("udisk cfg close");
  return nullptr;
}

bool IsOptionBox(std::uint32_t kind) {
  switch (kind) {
    case kKrnStopScreen:
    case kKrnPrintLog:
    case kKrnBackup:
    case kKrnCache:
    case kKrnPrint:
    case kKrnEncryptWrite:
    case kKrnEncryptRead:
      return true;
    default:
      return false;
  }
}

int ImageOf(KrnNodeKind kind, bool set) {
  switch (kind) {
    case kKrnRoot:
      return kKrnImagePolicy;
    case kKrnSection:
    case kKrnSectionOther:
      return kKrnImageSection;
    case kKrnCategory:
      return kKrnImageCategory;
    case kKrnApp:
      return kKrnImageApp;
    case kKrnUsb:
      return kKrnImageUsb;
    case kKrnCacheReadOnly:
      return kKrnImageReadOnly;
    default:
      return set ? kKrnImageSet : kKrnImageCleared;
  }
}

// Display text and category of an application's value; the category as the tree names it.
void SplitAppValue(const std::string& name, const std::string& value, std::string* shown,
                   std::string* category) {
  const std::size_t bar = value.find('|');
  *shown = TrimBlanks(std::string_view(value).substr(0, bar));
  if (shown->empty()) *shown = name;
  if (bar == std::string::npos) {
    *category = TreeTexts("other app cat");
    return;
  }
  *category = TrimBlanks(std::string_view(value).substr(bar + 1));
  if (category->empty()) *category = kUnknownCategory;
}

struct AppCategory {
  struct App {
    std::string shown, executable;
  };
  std::string name;
  std::vector<App> apps;
};

// The applications of "App" and then "UserApp" by category; a category's name compares
// without regard to case and keeps the spelling it first had.
std::vector<AppCategory> AppCategories(const SectionResource& policy) {
  std::vector<AppCategory> categories;
  std::unordered_map<std::string, std::size_t> byName;
  for (const char* section : kAppSections) {
    for (int e = 0; e < policy.EntryCount(section); ++e) {
      const SectionResource::Entry* entry = policy.EntryAt(section, e);
      // A name the data record cannot hold whole would store another executable.
      if (entry->name.empty() || entry->name.size() >= kKrnDataTextCapacity) continue;
      std::string shown, category;
      SplitAppValue(entry->name, entry->value, &shown, &category);
      const auto [at, added] = byName.try_emplace(LowerAscii(category), categories.size());
      if (added) categories.push_back({category, {}});
      categories[at->second].apps.push_back({std::move(shown), entry->name});
    }
  }
  return categories;
}

}  // namespace

std::string KrnUsbText(std::string_view value) {
  const char* setting = UsbSettingText(value);
  if (setting == nullptr) return {};
  const std::string text = setting;
  return text + " (" + T("dblclk to modi") + ")";
}

XKrnAppTree::XKrnAppTree() {
  SetAutoFreeNodeData(TRUE);
}

void XKrnAppTree::Prepare() {
  SetIndent(kIndent);
  SetNodeClickInterval(kClickIntervalMs);
  SetCanEdit(FALSE);
  QList<QIcon> images;
  if (const QPixmap* strip = FindBitmap(kKrnImageBitmap); strip != nullptr && !strip->isNull()) {
    const int side = strip->height();
    for (int x = 0; x + side <= strip->width(); x += side) {
      images.push_back(QIcon(strip->copy(x, 0, side, side)));
    }
  }
  SetImageList(images);
}

int XKrnAppTree::AddKrnNode(int parent, KrnNodeKind kind, const char* text,
                            std::string_view dataText, bool set) {
  const int node = AddNode(parent, text, ImageOf(kind, set));
  if (node < 0) return -1;
  auto* data = static_cast<KrnNodeData*>(std::calloc(1, sizeof(KrnNodeData)));
  data->kind = kind;
  // calloc left the text empty; an empty view may carry no address to copy from.
  if (!dataText.empty()) CopyBounded(data->text, kKrnDataTextCapacity, dataText);
  SetNodeData(node, data);
  if (kind == kKrnApp) SetNodePreImage(node, set ? 1 : 0);
  return node;
}

void XKrnAppTree::Build(const SectionResource& policy) {
  ClearNodes();
  const int root = AddKrnNode(-1, kKrnRoot, TreeTexts("root node text"));
  const char* kernel = nullptr;
  for (int s = 0; s < policy.SectionCount() && kernel == nullptr; ++s) {
    if (EqualsNoCase(policy.SectionName(s), kKernelSection)) kernel = policy.SectionName(s);
  }
  if (kernel != nullptr) {
    const std::string* name = policy.Find(kernel, "Kernel Name");
    const int kernelNode = AddKrnNode(
        root, kKrnSection, name != nullptr && !name->empty() ? name->c_str() : kernel, kernel);
    // Categories in the order their first application comes; the tree is then filled from
    // the top down, which keeps adding a node cheap.
    for (const AppCategory& category : AppCategories(policy)) {
      const int categoryNode = AddKrnNode(kernelNode, kKrnCategory, category.name.c_str());
      for (const AppCategory::App& app : category.apps) {
        AddKrnNode(categoryNode, kKrnApp, app.shown.c_str(), app.executable);
      }
    }
  }
  Expand(root);
  if (GetFirstChildNode(root) >= 0) Expand(GetFirstChildNode(root));
  RecordLoadState();
}

const KrnNodeData* XKrnAppTree::DataOf(int node) const {
  return static_cast<const KrnNodeData*>(GetNodeData(node));
}

bool XKrnAppTree::IsSet(int node) const {
  const KrnNodeData* data = DataOf(node);
  if (data == nullptr) return false;
  if (data->kind == kKrnApp) return GetNodePreImage(node) == 1;
  return IsOptionBox(data->kind) && GetNodeImage(node) == kKrnImageSet;
}

void XKrnAppTree::RecordLoadState() {
  for (int node = 0; node < GetNodes(-1); ++node) {
    auto* data = static_cast<KrnNodeData*>(GetNodeData(node));
    if (data == nullptr) continue;
    if (data->kind == kKrnUsb) {
      GetNodeText(node, data->text, kKrnDataTextCapacity);
    } else {
      data->loadState = IsSet(node) ? 1 : 0;
    }
  }
}

std::string XKrnAppTree::CheckedApps() const {
  std::string apps;
  for (int node = 0; node < GetNodes(-1); ++node) {
    const KrnNodeData* data = DataOf(node);
    if (data == nullptr || data->kind != kKrnApp || !IsSet(node)) continue;
    if (!apps.empty()) apps += ", ";
    apps += data->text;
  }
  return apps;
}

void XKrnAppTree::ToggleBox(int node) {
  SetNodeImage(node, IsSet(node) ? kKrnImageCleared : kKrnImageSet);
}

void XKrnAppTree::OnLButtonDown(int node, int part) {
  const KrnNodeData* data = DataOf(node);
  if (data == nullptr) return;
  if (data->kind == kKrnApp) {
    XTree::OnLButtonDown(node, part);
  } else if (data->kind == kKrnCacheReadOnly) {
    const std::string text = T("cache readonly");
    MessageBoxA(GetSafeHwnd(), text.c_str(), T("mb_cap"), MB_OK | MB_ICONEXCLAMATION);
  } else if (IsOptionBox(data->kind) && part == XTREE_PART_IMAGE) {
    ToggleBox(node);
  }
}

int XKrnAppTree::OnNodeDblClick(int node) {
  const KrnNodeData* data = DataOf(node);
  if (data != nullptr && IsOptionBox(data->kind)) {
    ToggleBox(node);
  } else if (data != nullptr && data->kind == kKrnUsb) {
    // The text invites a double click: it moves on to the next of the three settings.
    char text[kKrnDataTextCapacity];
    GetNodeText(node, text, sizeof text);
    constexpr int kChoices = static_cast<int>(std::size(kKrnUsbValues));
    int next = 0;
    for (int i = 0; i < kChoices; ++i) {
      if (KrnUsbText(kKrnUsbValues[i]) == text) next = (i + 1) % kChoices;
    }
    SetNodeText(node, KrnUsbText(kKrnUsbValues[next]).c_str());
  }
  return XTree::OnNodeDblClick(node);
}

}  // namespace hrz
