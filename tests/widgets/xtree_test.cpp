// XTree on its own: display-order indices, navigation, deletion, handles and clicks.
#include "xtree.h"

#include "dialog_template.h"
#include "xctrl_host.h"
#include "xgrid.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "support/qt_app.h"

namespace {

std::string Text(const XTree& tree, int node) {
  char buffer[256];
  return tree.GetNodeText(node, buffer, sizeof buffer) >= 0 ? buffer : "<none>";
}

// A tree that records the clicks it is told of.
class ClickTree : public XTree {
 public:
  std::vector<std::pair<int, int>> clicks;  // (node, previous)

 protected:
  int OnNodeClick(int node, int prev, int x, int y) override {
    clicks.emplace_back(node, prev);
    return XTree::OnNodeClick(node, prev, x, y);
  }
};

class XTreeTest : public hrztest::QtTest {
 protected:
  void SetUp() override {
    tester_ = std::make_unique<QAbstractItemModelTester>(
        tree_.View()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    // a(0) { b(1) { c(2) } d(3) } e(4)
    a_ = tree_.AddNode(-1, "a", -1, 10);
    b_ = tree_.AddNode(a_, "b", -1, 20);
    c_ = tree_.AddNode(b_, "c", -1, 30);
    d_ = tree_.AddNode(a_, "d", -1, 40);
    e_ = tree_.AddNode(-1, "e", -1, 50);
  }

  ClickTree tree_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
  int a_, b_, c_, d_, e_;
};

TEST_F(XTreeTest, IndicesFollowDisplayOrderAndSubtreesAreContiguous) {
  EXPECT_EQ(a_, 0);
  EXPECT_EQ(e_, 4);
  EXPECT_EQ((std::vector<std::string>{Text(tree_, 0), Text(tree_, 1), Text(tree_, 2),
                                      Text(tree_, 3), Text(tree_, 4)}),
            (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(tree_.GetNodes(-1), 5);
  EXPECT_EQ(tree_.GetNodes(a_), 4);  // a with b, c and d
  EXPECT_EQ(tree_.GetNodes(c_), 1);
  EXPECT_EQ(tree_.GetNodes(9), 0);
  // A child added later still lands inside its parent's block.
  int f = tree_.AddNode(b_, "f");
  EXPECT_EQ(f, 3);
  EXPECT_EQ(Text(tree_, 4), "d");
  EXPECT_EQ(tree_.GetNodes(a_), 5);
}

// Indices after many additions and deletions anywhere in the tree, each change followed
// by only a few lookups (answered without renumbering the tree) and, now and then, by a
// look at every node, against a plain copy of the tree kept beside it.
TEST(XTreeOrder, IndicesStayInDisplayOrderThroughChangesAnywhere) {
  hrztest::App();
  struct Copy {
    std::string text;
    int parent = -1;
    std::vector<int> children;
  };
  std::vector<Copy> copy;
  std::vector<int> tops;
  auto flatten = [&] {
    std::vector<int> order;
    std::vector<int> stack(tops.rbegin(), tops.rend());
    while (!stack.empty()) {
      const int at = stack.back();
      stack.pop_back();
      order.push_back(at);
      stack.insert(stack.end(), copy[at].children.rbegin(), copy[at].children.rend());
    }
    return order;
  };
  auto subtree = [&](auto&& self, int at) -> int {
    int size = 1;
    for (int child : copy[at].children) size += self(self, child);
    return size;
  };
  auto positionOf = [](const std::vector<int>& order, int at) {
    return static_cast<int>(std::find(order.begin(), order.end(), at) - order.begin());
  };
  auto erase = [&](std::vector<int>& from, int at) {
    from.erase(std::find(from.begin(), from.end(), at));
  };

  XTree tree;
  QAbstractItemModelTester tester(tree.View()->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  std::mt19937 random(16);
  for (int step = 0; step < 600; ++step) {
    std::vector<int> order = flatten();
    const int count = static_cast<int>(order.size());
    ASSERT_EQ(tree.GetNodes(-1), count);
    const int pick = std::uniform_int_distribution<int>(-1, count - 1)(random);
    const int action = std::uniform_int_distribution<int>(0, 9)(random);
    if (pick >= 0 && action == 0) {
      ASSERT_TRUE(tree.DeleteNode(pick));
      const int at = order[pick];
      erase(copy[at].parent >= 0 ? copy[copy[at].parent].children : tops, at);
    } else if (pick >= 0 && action == 1) {
      ASSERT_TRUE(tree.DeleteNode(pick, TRUE));
      copy[order[pick]].children.clear();
    } else {
      const int at = static_cast<int>(copy.size());
      copy.push_back({"n" + std::to_string(at), pick >= 0 ? order[pick] : -1, {}});
      (pick >= 0 ? copy[order[pick]].children : tops).push_back(at);
      order = flatten();
      ASSERT_EQ(tree.AddNode(pick, copy[at].text.c_str()), positionOf(order, at)) << step;
    }
    order = flatten();
    // A few lookups, as a window makes after a change.
    for (int probe = 0; probe < 3 && !order.empty(); ++probe) {
      const int n =
          std::uniform_int_distribution<int>(0, static_cast<int>(order.size()) - 1)(random);
      ASSERT_EQ(Text(tree, n), copy[order[n]].text) << step;
      const int parent = copy[order[n]].parent;
      ASSERT_EQ(tree.GetParentIndex(n), parent >= 0 ? positionOf(order, parent) : -1) << step;
      ASSERT_EQ(tree.GetNodes(n), subtree(subtree, order[n])) << step;
    }
    if (step % 50 == 49) {
      for (int n = 0; n < static_cast<int>(order.size()); ++n) {
        ASSERT_EQ(Text(tree, n), copy[order[n]].text) << step;
        // A node's next sibling comes right after its subtree.
        const int next = tree.GetNextNode(n);
        if (next >= 0) {
          ASSERT_EQ(next, n + tree.GetNodes(n)) << step;
        }
      }
    }
  }
  EXPECT_GT(tree.GetNodes(-1), 100);
}

TEST_F(XTreeTest, NavigatesBetweenParentsChildrenAndSiblings) {
  EXPECT_EQ(tree_.GetFirstChildNode(-1), a_);
  EXPECT_EQ(tree_.GetNextNode(a_), e_);
  EXPECT_EQ(tree_.GetNextNode(e_), -1);
  EXPECT_EQ(tree_.GetFirstChildNode(a_), b_);
  EXPECT_EQ(tree_.GetNextNode(b_), d_);
  EXPECT_EQ(tree_.GetFirstChildNode(c_), -1);
  EXPECT_EQ(tree_.GetParentIndex(c_), b_);
  EXPECT_EQ(tree_.GetParentIndex(a_), -1);
  EXPECT_EQ(tree_.GetParentIndex(-1), -1);
  EXPECT_EQ(tree_.GetChildNodesCount(a_), 2);
  EXPECT_EQ(tree_.GetChildNodesCount(-1), 2);
  EXPECT_EQ(tree_.AddNode(99, "nowhere"), -1);
}

TEST_F(XTreeTest, DeletesANodeOrOnlyItsChildren) {
  ASSERT_TRUE(tree_.DeleteNode(b_, TRUE));
  EXPECT_EQ(tree_.GetNodes(-1), 4);
  EXPECT_EQ(tree_.GetChildNodesCount(b_), 0);
  EXPECT_EQ(Text(tree_, 2), "d");
  ASSERT_TRUE(tree_.DeleteNode(a_));
  EXPECT_EQ(tree_.GetNodes(-1), 1);
  EXPECT_EQ(Text(tree_, 0), "e");
  EXPECT_FALSE(tree_.DeleteNode(5));
  tree_.ClearNodes();
  EXPECT_EQ(tree_.GetNodes(-1), 0);
  EXPECT_EQ(tree_.GetFocusNode(), -1);
}

TEST_F(XTreeTest, LeavesNeverHaveChildrenInTheModel) {
  QAbstractItemModel* model = tree_.View()->model();
  QModelIndex a = model->index(0, 0, {});
  QModelIndex b = model->index(0, 0, a);
  QModelIndex c = model->index(0, 0, b);
  EXPECT_FALSE(model->flags(a).testFlag(Qt::ItemNeverHasChildren));
  EXPECT_TRUE(model->flags(c).testFlag(Qt::ItemNeverHasChildren));
  // Internal ids are node addresses, never small consecutive numbers.
  EXPECT_GT(c.internalId(), 1u << 16);
}

TEST_F(XTreeTest, HandlesFindTheNodeAgainAfterAReload) {
  XNodeHandle handle = tree_.GetNodeHandle(c_);
  ASSERT_NE(handle, 0);
  tree_.ClearNodes();
  EXPECT_EQ(tree_.GetNodeIndex(handle), -1);
  // The same keys in a new order: e first, then a with d before b.
  tree_.AddNode(-1, "e", -1, 50);
  int a = tree_.AddNode(-1, "a", -1, 10);
  tree_.AddNode(a, "d", -1, 40);
  int b = tree_.AddNode(a, "b", -1, 20);
  int c = tree_.AddNode(b, "c", -1, 30);
  EXPECT_EQ(c, 4);
  EXPECT_EQ(tree_.GetNodeIndex(handle), c);
  EXPECT_EQ(tree_.GetNodeIndex(12345), -1);
}

TEST_F(XTreeTest, ClicksReportTheNewAndThePreviousNode) {
  struct Seen {
    std::vector<std::pair<int, int>> events;
  } seen;
  tree_.SetTreeEventFunc(
      [](XTree*, int event, int node, void* user) {
        static_cast<Seen*>(user)->events.emplace_back(event, node);
      },
      &seen);
  tree_.ClickNode(b_);
  tree_.ClickNode(d_);
  tree_.SetFocusNode(e_, FALSE);  // a quiet focus change tells nobody
  tree_.DoubleClickNode(c_);
  EXPECT_EQ(tree_.clicks, (std::vector<std::pair<int, int>>{{b_, -1}, {d_, b_}}));
  EXPECT_EQ(seen.events,
            (std::vector<std::pair<int, int>>{
                {XTREE_EVENT_CLICK, b_}, {XTREE_EVENT_CLICK, d_}, {XTREE_EVENT_DBLCLICK, c_}}));
  EXPECT_EQ(tree_.GetFocusNode(), c_);
  tree_.SetFocusNode(a_, TRUE);
  EXPECT_EQ(tree_.clicks.back(), std::make_pair(a_, c_));
  // Removing the focused node moves the view's current item, which is no click.
  size_t clicks = tree_.clicks.size();
  tree_.SetFocusNode(b_);
  tree_.DeleteNode(b_);  // the view's current item moves on to d
  EXPECT_EQ(tree_.GetFocusNode(), d_ - 2);
  tree_.ClearNodes();
  EXPECT_EQ(tree_.clicks.size(), clicks);
  EXPECT_EQ(seen.events.size(), 4u);
}

TEST_F(XTreeTest, UserFocusChangesWaitForTheClickInterval) {
  tree_.SetNodeClickInterval(60000);
  QAbstractItemModel* model = tree_.View()->model();
  // What a mouse does: move the view's current item.
  tree_.View()->setCurrentIndex(model->index(0, 0, {}));
  tree_.View()->setCurrentIndex(model->index(1, 0, {}));
  EXPECT_TRUE(tree_.clicks.empty());
  tree_.SetNodeClickInterval(0);
  tree_.View()->setCurrentIndex(model->index(0, 0, {}));
  ASSERT_EQ(tree_.clicks.size(), 1u);
  EXPECT_EQ(tree_.clicks[0], std::make_pair(a_, -1));  // nothing was focused before
}

TEST_F(XTreeTest, KeepsTextsImagesMarksAndData) {
  EXPECT_TRUE(tree_.SetNodeText(d_, "renamed"));
  EXPECT_EQ(Text(tree_, d_), "renamed");
  EXPECT_EQ(Text(tree_, 17), "<none>");
  char small[4];
  EXPECT_EQ(tree_.GetNodeText(d_, small, sizeof small), 7);
  EXPECT_STREQ(small, "ren");
  QPixmap red(8, 8);
  red.fill(Qt::red);
  QIcon redIcon(red);
  const HICON handles[] = {nullptr, nullptr, reinterpret_cast<HICON>(&redIcon)};
  tree_.SetImageList(handles, 3);
  EXPECT_TRUE(tree_.SetNodeImage(d_, 2));
  EXPECT_EQ(tree_.GetNodeImage(d_), 2);
  EXPECT_TRUE(tree_.SetNodePreImage(d_, 1));
  QModelIndex d = tree_.View()->model()->index(1, 0, tree_.View()->model()->index(0, 0, {}));
  EXPECT_EQ(tree_.View()->model()->data(d, Qt::CheckStateRole).toInt(), Qt::Checked);
  QIcon shown = tree_.View()->model()->data(d, Qt::DecorationRole).value<QIcon>();
  EXPECT_EQ(shown.pixmap(8, 8).toImage().pixelColor(0, 0), QColor(Qt::red));
  EXPECT_TRUE(tree_.View()
                  ->model()
                  ->data(tree_.View()->model()->index(0, 0, {}), Qt::DecorationRole)
                  .isNull());
  void* data = std::malloc(16);
  EXPECT_TRUE(tree_.SetNodeData(d_, data));
  EXPECT_EQ(tree_.GetNodeData(d_), data);  // freed with the tree
}

}  // namespace

namespace {

// Trees and grids sit in containers over a dialog's placeholder; the automation hook picks
// their items by control id, the container's or their own.
TEST(XCtrlHostingTest, AutomationPicksNodesAndRowsByControlId) {
  hrztest::App();
  QWidget page;
  CWnd* dialog = CWnd::FromWidget(&page);
  XCtrlContainer treeBox, gridBox;
  ASSERT_TRUE(treeBox.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 200, 300}, dialog, 1066));
  ASSERT_TRUE(gridBox.Create(WS_CHILD | WS_VISIBLE, RECT{210, 0, 500, 300}, dialog, 1067));
  XTree tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 200, 300}, &treeBox, 2001));
  treeBox.SetXCtrl(&tree);
  int top = tree.AddNode(-1, "top");
  tree.AddNode(top, "first");
  tree.AddNode(top, "second");
  XGrid grid;
  ASSERT_TRUE(grid.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 290, 300}, &gridBox, 2002));
  gridBox.SetXCtrl(&grid);
  grid.SetCols(2);
  grid.InsertRow(nullptr);
  grid.InsertRow(nullptr);

  ASSERT_NE(dialog->GetDlgItem(1066), nullptr);
  EXPECT_TRUE(dialog->GetDlgItem(1066)->AutomationSelect(2));
  EXPECT_EQ(tree.GetFocusNode(), 2);
  EXPECT_EQ(dialog->GetDlgItem(2001), &tree);
  EXPECT_EQ(dialog->GetDlgItem(2001)->AutomationSelection(), 2);
  EXPECT_FALSE(dialog->GetDlgItem(1066)->AutomationSelect(7));

  EXPECT_TRUE(dialog->GetDlgItem(1067)->AutomationSelect(2));
  EXPECT_EQ(grid.GetFocusCell().row, 2);
  EXPECT_FALSE(dialog->GetDlgItem(1067)->AutomationSelect(0));  // the header is no item
  EXPECT_EQ(dialog->GetDlgItem(1067)->AutomationSelection(), 2);
  struct Seen {
    int event = -1, row = -1;
  } seen;
  grid.SetGridEventFunc(
      [](XGrid*, int event, int row, int, void* user) {
        static_cast<Seen*>(user)->event = event;
        static_cast<Seen*>(user)->row = row;
      },
      &seen);
  EXPECT_TRUE(dialog->GetDlgItem(2002)->AutomationActivate(1));
  EXPECT_EQ(seen.event, XGRID_EVENT_DBLCLICK);
  EXPECT_EQ(seen.row, 1);
}

}  // namespace

namespace {

TEST(XCtrlHostingTest, ATreeOutlivesTheWindowThatHeldIt) {
  hrztest::App();
  QWidget page;
  auto box = std::make_unique<XCtrlContainer>();
  ASSERT_TRUE(
      box->Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, CWnd::FromWidget(&page), 1066));
  XTree tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, box.get(), 2001));
  tree.AddNode(tree.AddNode(-1, "top"), "child");
  box.reset();  // takes the tree's view with it
  EXPECT_EQ(tree.View(), nullptr);
  EXPECT_EQ(tree.GetNodes(-1), 2);
  EXPECT_FALSE(tree.SetFocusNode(1));
  EXPECT_EQ(tree.GetFocusNode(), -1);
  EXPECT_EQ(tree.ExpandChildNodes(0), 1);
}

}  // namespace

namespace {

// A tree that records the presses it is told of, with the part that was hit.
class PressTree : public XTree {
 public:
  std::vector<std::pair<int, int>> presses;  // (node, part)

 protected:
  void OnLButtonDown(int node, int part) override {
    presses.emplace_back(node, part);
    XTree::OnLButtonDown(node, part);
  }
};

// Real mouse presses on the drawn parts of nodes: the part hit, the check mark toggled by
// the tree and not by the view, and the indentation moving the parts.
TEST(XTreeParts, MousePressesFindTheirPartAndToggleOnlyACheckMark) {
  hrztest::App();
  PressTree tree;
  QPixmap blue(16, 16);
  blue.fill(Qt::blue);
  tree.SetImageList(QList<QIcon>{QIcon(blue)});
  const int top = tree.AddNode(-1, "top", 0);
  const int checked = tree.AddNode(top, "checked", 0);
  const int plain = tree.AddNode(top, "plain");
  tree.SetNodePreImage(checked, 1);
  tree.SetNodeClickInterval(0);
  tree.View()->resize(300, 200);
  tree.View()->show();
  tree.Expand(top);

  EXPECT_TRUE(tree.PartRect(plain, XTREE_PART_CHECK).isEmpty()) << "no check mark to hit";
  EXPECT_TRUE(tree.PartRect(plain, XTREE_PART_IMAGE).isEmpty()) << "no image to hit";
  const QRect check = tree.PartRect(checked, XTREE_PART_CHECK);
  const QRect image = tree.PartRect(checked, XTREE_PART_IMAGE);
  ASSERT_FALSE(check.isEmpty());
  ASSERT_FALSE(image.isEmpty());
  EXPECT_LT(check.right(), image.left()) << "the check mark stands in front of the image";

  struct Case {
    const char* label;
    QPoint at;
    int node, part, markAfter;
  };
  const QRect row = tree.PartRect(checked, XTREE_PART_TEXT);
  const Case cases[] = {
      {"the check mark clears", check.center(), checked, XTREE_PART_CHECK, 0},
      {"the image leaves the mark", image.center(), checked, XTREE_PART_IMAGE, 0},
      {"the text leaves the mark", QPoint(row.right() - 2, row.center().y()), checked,
       XTREE_PART_TEXT, 0},
      {"the check mark sets again", check.center(), checked, XTREE_PART_CHECK, 1},
  };
  for (const Case& c : cases) {
    tree.presses.clear();
    int part = -1;
    EXPECT_EQ(tree.HitTest(c.at, &part), c.node) << c.label;
    EXPECT_EQ(part, c.part) << c.label;
    QTest::mouseClick(tree.View()->viewport(), Qt::LeftButton, {}, c.at);
    EXPECT_EQ(tree.presses, (std::vector<std::pair<int, int>>{{c.node, c.part}})) << c.label;
    EXPECT_EQ(tree.GetNodePreImage(checked), c.markAfter) << c.label;
  }
  int part = -1;
  EXPECT_EQ(tree.HitTest(QPoint(5, 190), &part), -1) << "below the last node";
  EXPECT_EQ(part, XTREE_PART_NONE);

  const int indent = tree.View()->indentation();
  tree.SetIndent(indent + 20);
  // A child of a top-level node with an expander sits two indentations in.
  EXPECT_EQ(tree.PartRect(checked, XTREE_PART_CHECK).left(), check.left() + 2 * 20);
  // The automation acts on the same parts.
  EXPECT_TRUE(tree.AutomationClickPart(checked, XTREE_PART_CHECK));
  EXPECT_EQ(tree.AutomationItemCheck(checked), 0);
  EXPECT_EQ(tree.AutomationFindItem("plain"), plain);
  EXPECT_EQ(tree.AutomationFindItem("none"), -1);
  EXPECT_FALSE(tree.AutomationClickPart(9, XTREE_PART_CHECK));
}

}  // namespace
