// The write-back of the options that changed in XKrnAppTree since it was loaded.
#include <cstring>

#include "endpoint/krn_app_tree.h"
#include "res_file.h"

namespace hrz {
namespace {

enum class Outcome { kWrite, kSkip, kFail };

const char* BoxValue(bool set) {
  return set ? "True" : "False";
}

// The option key of a kind, with "%s" standing for the application; null when the kind
// writes nothing of its own.
const char* KeyPattern(std::uint32_t kind) {
  switch (kind) {
    case kKrnStopScreen:
      return "Stop Screen";
    case kKrnPrintLog:
      return "Print Log";
    case kKrnUsb:
      return "USB";
    case kKrnApp:
      return "Include %s";
    case kKrnBackup:
      return "Backup %s";
    case kKrnCache:
      return "Cache %s";
    case kKrnPrint:
      return "Print %s";
    case kKrnEncryptWrite:
    case kKrnEncryptRead:
      return "Encrypt %s";
    default:
      return nullptr;
  }
}

class OptionWriter {
 public:
  explicit OptionWriter(const XKrnAppTree& tree) : tree_(tree) {}

  bool Changed(int node, const KrnNodeData& data) const {
    if (data.kind == kKrnUsb) {
      char text[kKrnDataTextCapacity];
      tree_.GetNodeText(node, text, sizeof text);
      return std::strcmp(text, data.text) != 0;
    }
    return KeyPattern(data.kind) != nullptr && tree_.IsSet(node) != (data.loadState == 1);
  }

  // The section, key and value that node writes.
  Outcome Entry(int node, const KrnNodeData& data, std::string* section, std::string* key,
                std::string* value) const {
    const KrnNodeData* sectionNode =
        Above(tree_.GetParentIndex(node), kKrnSection, kKrnSectionOther);
    if (sectionNode == nullptr) return Outcome::kFail;
    *section = sectionNode->text;
    *key = KeyPattern(data.kind);
    if (const std::size_t app = key->find("%s"); app != std::string::npos) {
      const KrnNodeData* appNode = Above(node, kKrnApp, kKrnApp);
      if (appNode == nullptr) return Outcome::kFail;
      key->replace(app, 2, appNode->text);
    }
    switch (data.kind) {
      case kKrnUsb:
        return UsbValue(node, value) ? Outcome::kWrite : Outcome::kSkip;
      case kKrnEncryptWrite:
      case kKrnEncryptRead:
        return EncryptValue(node, data.kind, value) ? Outcome::kWrite : Outcome::kFail;
      default:
        *value = BoxValue(tree_.IsSet(node));
        return Outcome::kWrite;
    }
  }

 private:
  // The data of the nearest node at or above node of either kind.
  const KrnNodeData* Above(int node, std::uint32_t kind, std::uint32_t otherKind) const {
    for (; node >= 0; node = tree_.GetParentIndex(node)) {
      const KrnNodeData* data = tree_.DataOf(node);
      if (data != nullptr && (data->kind == kind || data->kind == otherKind)) return data;
    }
    return nullptr;
  }

  bool UsbValue(int node, std::string* value) const {
    char text[kKrnDataTextCapacity];
    tree_.GetNodeText(node, text, sizeof text);
    for (const char* choice : kKrnUsbValues) {
      if (KrnUsbText(choice) == text) {
        *value = choice;
        return true;
      }
    }
    return false;
  }

  // "Write" while the write box is set, else "Read" while the read box is; false when the
  // partner box is not beside node.
  bool EncryptValue(int node, std::uint32_t kind, std::string* value) const {
    const std::uint32_t partnerKind = kind == kKrnEncryptWrite ? kKrnEncryptRead : kKrnEncryptWrite;
    int partner = -1;
    for (int sibling = tree_.GetFirstChildNode(tree_.GetParentIndex(node));
         sibling >= 0 && partner < 0; sibling = tree_.GetNextNode(sibling)) {
      const KrnNodeData* data = tree_.DataOf(sibling);
      if (data != nullptr && data->kind == partnerKind) partner = sibling;
    }
    if (partner < 0) return false;
    const int write = kind == kKrnEncryptWrite ? node : partner;
    const int read = kind == kKrnEncryptWrite ? partner : node;
    *value = tree_.IsSet(write) ? "Write" : (tree_.IsSet(read) ? "Read" : "None");
    return true;
  }

  const XKrnAppTree& tree_;
};

}  // namespace

bool XKrnAppTree::WriteChangedOptions(const char* path) const {
  const OptionWriter writer(*this);
  for (int node = 0; node < GetNodes(-1); ++node) {
    const KrnNodeData* data = DataOf(node);
    if (data == nullptr || !writer.Changed(node, *data)) continue;
    std::string section, key, value;
    switch (writer.Entry(node, *data, &section, &key, &value)) {
      case Outcome::kSkip:
        continue;
      case Outcome::kFail:
        return false;
      case Outcome::kWrite:
        // "Encrypt %s" too: a value that did not reach the file is a lost change.
        if (!RZWriteResFile(path, section.c_str(), key.c_str(), value.c_str())) return false;
    }
  }
  return true;
}

}  // namespace hrz
