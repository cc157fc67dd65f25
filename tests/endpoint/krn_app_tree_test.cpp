// The kernel application tree: what it builds from a policy, what clicks change, and which
// options it writes back into the policy file, read back with the policy parser.
#include "endpoint/krn_app_tree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "entry/module_state.h"
#include "entry/usrmancfg.h"
#include "hrzcommon/cfg_file.h"
#include "support/module_host.h"
#include "support/section_resource.h"
#include "support/temp_dir.h"

namespace hrz {
namespace {

// Texts as the module falls back to them ("section.key"): the host gives none here.
constexpr const char* kOther = "dlg_kqkrn.other app cat";

class KrnAppTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { tree_.Prepare(); }

  // "text=data(kind){children}" from node down; apps show their check mark as "[x]"/"[ ]".
  std::string Dump(int node) const {
    char text[512];
    tree_.GetNodeText(node, text, sizeof text);
    const KrnNodeData* data = tree_.DataOf(node);
    std::string out = text;
    if (data->kind == kKrnApp) {
      out = std::string(tree_.GetNodePreImage(node) == 1 ? "[x]" : "[ ]") + out + "=" + data->text;
    }
    if (data->kind == kKrnSection) out += "=" + std::string(data->text);
    if (tree_.GetChildNodesCount(node) == 0) return out;
    out += "{";
    for (int child = tree_.GetFirstChildNode(node); child >= 0; child = tree_.GetNextNode(child)) {
      out += (out.back() == '{' ? "" : " ") + Dump(child);
    }
    return out + "}";
  }

  void Build(const std::string& text) {
    SectionResource policy;
    policy.Load(text);
    tree_.Build(policy);
  }

  int Find(const std::string& text) const { return tree_.AutomationFindItem(text); }

  hrztest::ModuleHost module_;
  ModuleResourceScope resources_;
  XKrnAppTree tree_;
};

TEST_F(KrnAppTreeTest, BuildsKernelCategoriesAndApplications) {
  struct Case {
    const char* label;
    std::string policy;
    std::string tree;
  };
  const std::string root = "dlg_kqkrn.root node text";
  const Case cases[] = {
      {"categories after |, none, an empty one, shared by App and UserApp without regard to case",
       "1, Kernel\n1.1, Kernel Name, Secure\n2, App\n2.1, a.exe, Editor|CAD\n2.1, b.exe, Viewer\n"
       "2.1, c.exe, Conv |\n2.1, d.exe\n3, UserApp\n3.1, u.exe, Mine | cad\n3.1, e.exe, |CAD\n",
       root + "{Secure=Kernel{CAD{[ ]Editor=a.exe [ ]e.exe=e.exe [ ]Mine=u.exe} " + kOther +
           "{[ ]Viewer=b.exe [ ]d.exe=d.exe} Unknown{[ ]Conv=c.exe}}}"},
      {"no Kernel section: the root alone", "1, App\n1.1, a.exe, A|CAD\n2, Other\n", root},
      {"the kernel's section name when it has no name",
       "1, kernel\n1.1, Kernel Name,\n2, UserApp\n2.1, u.exe, U\n",
       root + "{kernel=kernel{" + kOther + "{[ ]U=u.exe}}}"},
      {"a line without a comma goes with the lines under it",
       "1, Kernel\n2 App\n2.1, a.exe, Editor|CAD\n3, UserApp\n3.1, b.exe, B|Office\n",
       root + "{Kernel=Kernel{Office{[ ]B=b.exe}}}"},
      {"an executable too long for its record is left out",
       "1, Kernel\n2, App\n2.1, " + std::string(260, 'x') + ", Long|CAD\n2.1, " +
           std::string(259, 'y') + ", Fits|CAD\n",
       root + "{Kernel=Kernel{CAD{[ ]Fits=" + std::string(259, 'y') + "}}}"},
  };
  for (const Case& c : cases) {
    Build(c.policy);
    ASSERT_GT(tree_.GetNodes(-1), 0) << c.label;
    EXPECT_EQ(Dump(0), c.tree) << c.label;
    EXPECT_EQ(tree_.GetNextNode(0), -1) << c.label;
    EXPECT_TRUE(tree_.IsExpanded(0) || tree_.GetChildNodesCount(0) == 0) << c.label;
    if (tree_.GetChildNodesCount(0) > 0 && tree_.GetChildNodesCount(1) > 0) {
      EXPECT_TRUE(tree_.IsExpanded(1)) << c.label << ": the kernel node is open";
    }
  }
}

TEST_F(KrnAppTreeTest, ClicksChangeCheckMarksAndOptionBoxesOnly) {
  Build("1, Kernel\n2, App\n2.1, a.exe, Editor|CAD\n");
  const int app = Find("Editor");
  const int kernel = tree_.GetParentIndex(tree_.GetParentIndex(app));
  // Indices follow display order: the kernel's new child comes last, after the app's.
  const int box = tree_.AddKrnNode(app, kKrnBackup, "Backup", {}, false);
  const int readOnly = tree_.AddKrnNode(app, kKrnCacheReadOnly, "Cache");
  const int usb = tree_.AddKrnNode(kernel, kKrnUsb, KrnUsbText("Read").c_str());
  struct Case {
    const char* label;
    int node;
    int part;  // XTREE_PART_*, or -1 for a double click
    bool appChecked, boxSet;
    std::string usbText;
  };
  const std::string read = KrnUsbText("Read");
  const Case cases[] = {
      {"an application's text", app, XTREE_PART_TEXT, false, false, read},
      {"an application's check mark", app, XTREE_PART_CHECK, true, false, read},
      {"an application's image", app, XTREE_PART_IMAGE, true, false, read},
      {"an option's text", box, XTREE_PART_TEXT, true, false, read},
      {"an option's image", box, XTREE_PART_IMAGE, true, true, read},
      {"a double click on an option", box, -1, true, false, read},
      {"the check mark again", app, XTREE_PART_CHECK, false, false, read},
      {"a click on USB", usb, XTREE_PART_IMAGE, false, false, read},
      {"a double click on USB", usb, -1, false, false, KrnUsbText("Close")},
      {"and again", usb, -1, false, false, KrnUsbText("None")},
      {"the read-only cache", readOnly, XTREE_PART_IMAGE, false, false, KrnUsbText("None")},
  };
  for (const Case& c : cases) {
    const bool acted =
        c.part < 0 ? tree_.AutomationActivate(c.node) : tree_.AutomationClickPart(c.node, c.part);
    ASSERT_TRUE(acted) << c.label;
    EXPECT_EQ(tree_.IsSet(app), c.appChecked) << c.label;
    EXPECT_EQ(tree_.IsSet(box), c.boxSet) << c.label;
    EXPECT_EQ(tree_.GetNodeImage(box), c.boxSet ? kKrnImageSet : kKrnImageCleared) << c.label;
    char text[kKrnDataTextCapacity];
    tree_.GetNodeText(usb, text, sizeof text);
    EXPECT_EQ(text, c.usbText) << c.label;
  }
  EXPECT_EQ(module_.MessageTexts(), std::vector<std::string>{"dlg_decrypt_license.cache readonly"});
  EXPECT_EQ(module_.user().MessageBoxes().back().caption, "dlg_decrypt_license.mb_cap");
  EXPECT_FALSE(tree_.IsSet(readOnly));
}

TEST_F(KrnAppTreeTest, ChecksAllowedAppsInNodeOrder) {
  Build("1, Kernel\n2, App\n2.1, a.exe, A|Zeta\n2.1, b.exe, B|Alpha\n2.1, c.exe, C|Zeta\n");
  EXPECT_EQ(tree_.CheckedApps(), "");
  for (const char* app : {"B", "C", "A"}) tree_.AutomationClickPart(Find(app), XTREE_PART_CHECK);
  // Zeta comes first: its first application is first by name.
  EXPECT_EQ(tree_.CheckedApps(), "a.exe, c.exe, b.exe");
}

// The policy file of a test, written and read back.
class KrnOptionWriteTest : public KrnAppTreeTest {
 protected:
  static constexpr const char* kPolicy =
      "//TEXT\n1, Kernel\n1.1, Stop Screen, False\n1.1, Print a.exe, True\n"
      "1.1, Encrypt a.exe, None\n2, App\n2.1, a.exe, Editor|CAD\n2.1, b.exe, Other|CAD\n";

  void SetUp() override {
    KrnAppTreeTest::SetUp();
    ASSERT_TRUE(SaveCfgText(path_.c_str(), kPolicy, false));
    Build(kPolicy);
    app_ = Find("Editor");
    kernel_ = tree_.GetParentIndex(tree_.GetParentIndex(app_));
  }

  // "key=value ..." of the file's Kernel section.
  std::string KernelEntries() const {
    std::unique_ptr<char[]> text = LoadCfgFile(path_.c_str(), nullptr);
    if (!text) return "<unreadable>";
    SectionResource policy;
    policy.Load(text.get());
    std::string out;
    for (int e = 0; e < policy.EntryCount("Kernel"); ++e) {
      const SectionResource::Entry* entry = policy.EntryAt("Kernel", e);
      out += (out.empty() ? "" : " ") + entry->name + "=" + entry->value;
    }
    return out;
  }

  hrztest::TempDir dir_;
  std::string path_ = dir_.File("kqkrn.xcf");
  int app_ = -1;
  int kernel_ = -1;
};

TEST_F(KrnOptionWriteTest, WritesChangedOptionsOnlyIntoTheirSection) {
  // The application's options first: the kernel's come after them in display order.
  tree_.AddKrnNode(app_, kKrnPrint, "Print", {}, false);  // unchanged: the file keeps True
  const int backup = tree_.AddKrnNode(app_, kKrnBackup, "Backup", {}, false);
  const int write = tree_.AddKrnNode(app_, kKrnEncryptWrite, "Write", {}, false);
  const int read = tree_.AddKrnNode(app_, kKrnEncryptRead, "Read", {}, false);
  const int stop = tree_.AddKrnNode(kernel_, kKrnStopScreen, "Stop", {}, false);
  const int log = tree_.AddKrnNode(kernel_, kKrnPrintLog, "Log", {}, true);
  const int usb = tree_.AddKrnNode(kernel_, kKrnUsb, KrnUsbText("None").c_str());
  tree_.RecordLoadState();
  // Changed twice and back: not written.
  tree_.AutomationActivate(log);
  tree_.AutomationActivate(log);
  tree_.AutomationClickPart(stop, XTREE_PART_IMAGE);
  tree_.AutomationActivate(usb);  // None -> Read
  tree_.AutomationClickPart(app_, XTREE_PART_CHECK);
  tree_.AutomationClickPart(backup, XTREE_PART_IMAGE);
  tree_.AutomationClickPart(read, XTREE_PART_IMAGE);
  ASSERT_FALSE(tree_.IsSet(write));
  ASSERT_TRUE(tree_.WriteChangedOptions(path_.c_str()));
  EXPECT_EQ(KernelEntries(),
            "Backup a.exe=True Encrypt a.exe=Read Include a.exe=True Print a.exe=True "
            "Stop Screen=True USB=Read");
}

TEST_F(KrnOptionWriteTest, EncryptIsWriteThenReadThenNone) {
  const int write = tree_.AddKrnNode(app_, kKrnEncryptWrite, "Write", {}, false);
  const int read = tree_.AddKrnNode(app_, kKrnEncryptRead, "Read", {}, false);
  struct Case {
    bool write, read;
    const char* value;
  };
  for (const Case& c : {Case{true, true, "Write"}, Case{false, true, "Read"},
                        Case{true, false, "Write"}, Case{false, false, "None"}}) {
    tree_.SetNodeImage(write, c.write ? kKrnImageCleared : kKrnImageSet);
    tree_.SetNodeImage(read, c.read ? kKrnImageCleared : kKrnImageSet);
    tree_.RecordLoadState();
    tree_.AutomationClickPart(write, XTREE_PART_IMAGE);
    tree_.AutomationClickPart(read, XTREE_PART_IMAGE);
    ASSERT_TRUE(tree_.WriteChangedOptions(path_.c_str())) << c.value;
    EXPECT_NE(KernelEntries().find(std::string("Encrypt a.exe=") + c.value), std::string::npos)
        << c.value << " in " << KernelEntries();
  }
}

TEST_F(KrnOptionWriteTest, FailsWithoutSectionApplicationOrPartnerAndSkipsUnknownUsbText) {
  struct Case {
    const char* label;
    int parent;
    KrnNodeKind kind;
    std::string text;
    bool written;
  };
  const Case cases[] = {
      {"an option without a section node above it", -1, kKrnStopScreen, "Stop", false},
      {"an application's option without its application", kernel_, kKrnBackup, "Backup", false},
      {"a write box without its read box", app_, kKrnEncryptWrite, "Write", false},
      {"a read box without its write box", app_, kKrnEncryptRead, "Read", false},
      {"a USB text that names no setting", kernel_, kKrnUsb, "USB: open", true},
  };
  const std::string before = KernelEntries();
  for (const Case& c : cases) {
    const int node = tree_.AddKrnNode(c.parent, c.kind, c.text.c_str(), {}, false);
    tree_.RecordLoadState();
    if (c.kind == kKrnUsb) {
      tree_.SetNodeText(node, "USB: shut");
    } else {
      tree_.AutomationClickPart(node, XTREE_PART_IMAGE);
    }
    EXPECT_EQ(tree_.WriteChangedOptions(path_.c_str()), c.written) << c.label;
    EXPECT_EQ(KernelEntries(), before) << c.label;
    tree_.DeleteNode(node);
  }
  // A file that cannot be written fails too.
  tree_.AutomationClickPart(app_, XTREE_PART_CHECK);
  EXPECT_FALSE(tree_.WriteChangedOptions(dir_.File("missing/kqkrn.xcf").c_str()));
}

}  // namespace
}  // namespace hrz
