// XKrnAppTree: the kernel policy as a tree. Under the root, the "Kernel" section's node holds
// one node per category and, under those, the applications of "App" and "UserApp" with a
// check mark each. Option nodes (added by a caller with AddKrnNode) show a box image that a
// click on it or a double click toggles; the changed ones are written back into the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "resources/hrzuser_ids.h"
#include "xtree.h"

namespace hrz {

class SectionResource;

// The kind a node's data record carries.
enum KrnNodeKind : std::uint32_t {
  kKrnRoot = 1,
  kKrnSection = 2,       // its data text names the section the options below it go into
  kKrnSectionOther = 3,  // the same, for a section shown under another
  kKrnStopScreen = 5,    // "Stop Screen"
  kKrnPrintLog = 6,      // "Print Log"
  kKrnUsb = 7,           // "USB": the node's text is one of the three USB texts
  kKrnCategory = 10,
  kKrnApp = 11,  // its data text is the executable; the check mark is "Include %s"
  kKrnBackup = 12,
  kKrnCache = 13,
  kKrnCacheReadOnly = 14,  // shows "cache readonly" when clicked and never changes
  kKrnPrint = 15,
  kKrnEncryptWrite = 16,  // with its partner kKrnEncryptRead under the same parent:
  kKrnEncryptRead = 17,   // "Encrypt %s" is "Write", "Read" or "None"
};

constexpr int kKrnDataTextCapacity = 260;  // 259 characters and the terminating zero

// The data record of every node, freed with the node.
struct KrnNodeData {
  std::uint32_t kind;
  std::uint32_t loadState;  // 1 set, 0 cleared when the tree was loaded
  // The section (kinds 2, 3), the executable (11), the text when loaded (7).
  char text[kKrnDataTextCapacity];
};

// The images of bitmap 1001, by index.
enum KrnImage {
  kKrnImageCleared = 0,  // an option box, cleared
  kKrnImageSet = 1,      // an option box, set
  kKrnImagePolicy = 2,
  kKrnImageSection = 3,
  kKrnImageCategory = 4,
  kKrnImageApp = 5,
  kKrnImageUsb = 6,
  kKrnImageReadOnly = 7,
};
constexpr int kKrnImageBitmap = IDB_KRN_POLICY;

// The values of "USB", in the order a double click steps through them.
inline constexpr const char* kKrnUsbValues[] = {"None", "Read", "Close"};

// The text of a USB option node for one of kKrnUsbValues; empty for others.
std::string KrnUsbText(std::string_view value);

class XKrnAppTree : public XTree {
 public:
  XKrnAppTree();

  // Images from bitmap 1001 of the current resource module, indentation 20, clicks after
  // 600 ms, editing off.
  void Prepare();
  // Clears the tree and shows policy; then records the state at load time.
  void Build(const SectionResource& policy);
  // Adds a node of kind under parent (-1: top level) with its data record. dataText is cut
  // to 259 characters; set is the check mark of an application and the box of an option.
  int AddKrnNode(int parent, KrnNodeKind kind, const char* text, std::string_view dataText = {},
                 bool set = false);
  // Takes every node's present state as its state at load time.
  void RecordLoadState();

  const KrnNodeData* DataOf(int node) const;
  // An application's check mark or an option's box is set.
  bool IsSet(int node) const;
  // The executables of the checked applications in node order, joined with ", ".
  std::string CheckedApps() const;
  // Writes the options changed since the load into the policy file at path; false at the
  // first failure (a write that fails, a changed node without its section, application or
  // partner box), with the entries before it written.
  bool WriteChangedOptions(const char* path) const;

 protected:
  void OnLButtonDown(int node, int part) override;
  int OnNodeDblClick(int node) override;

 private:
  void ToggleBox(int node);
};

}  // namespace hrz
