// XBOMTree on the sample organisation: lazy loading, whole-level loading, records in
// several places, the where-used direction, filters, stops and reloads.
#include "xbomtree.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QTreeView>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/stores.h"

namespace {

constexpr int kRoot = 2;
constexpr int kAlice = 308;

class XBOMTreeTest : public hrztest::SampleStoreTest {
 protected:
  void SetUp() override {
    SampleStoreTest::SetUp();
    tree_.SetDB(db());
    tester_ = std::make_unique<QAbstractItemModelTester>(
        tree_.View()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }

  std::string Code(int node) {
    char code[64];
    return tree_.GetTextByOrgFld(node, "UUSR.CCODE", code, sizeof code) ? code : "<none>";
  }
  std::vector<std::string> ChildCodes(int node) {
    std::vector<std::string> codes;
    for (int c = tree_.GetFirstChildNode(node); c >= 0; c = tree_.GetNextNode(c)) {
      codes.push_back(Code(c));
    }
    return codes;
  }
  std::vector<int> NodesOf(int nid) {
    std::vector<int> nodes;
    for (int n = 0; n < tree_.GetNodes(-1); ++n) {
      if (tree_.GetBITM_NID(n) == nid) nodes.push_back(n);
    }
    return nodes;
  }

  XBOMTree tree_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(XBOMTreeTest, LoadsTheRootAndItsChildrenOnExpansion) {
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  EXPECT_EQ(tree_.GetNodes(-1), 1);
  char kind[17];
  EXPECT_EQ(tree_.GetBITM_NID(0, kind), kRoot);
  EXPECT_STREQ(kind, "UDEPT");
  EXPECT_GT(tree_.GetBBOM_NID(0), 0);
  ASSERT_TRUE(tree_.Expand(0));
  EXPECT_EQ(ChildCodes(0), (std::vector<std::string>{"adm", "ENG", "SALES", "QA", "REVIEW",
                                                     "FLOWOPS", "ARCHIVE"}));
  // Children of the children stay unread until asked for.
  int eng = tree_.GetNextNode(tree_.GetFirstChildNode(0));
  EXPECT_EQ(tree_.GetChildNodesCount(eng), 0);
  EXPECT_TRUE(tree_.View()->model()->hasChildren(
      tree_.View()->model()->index(1, 0, tree_.View()->model()->index(0, 0, {}))));
  EXPECT_TRUE(tree_.ExpandChildNodes(eng));
  EXPECT_EQ(ChildCodes(eng), (std::vector<std::string>{"MECH", "erin", "grace"}));
  const XBOMNodeData* data = tree_.GetBOMNodeData(eng);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->tag, XBOM_NODE_TAG);
  EXPECT_EQ(data->nid, 301);
  EXPECT_STREQ(data->kind, "UDEPT");
  char name[64];
  ASSERT_TRUE(tree_.GetTextByOrgFld(eng, "UUSR.CNAME", name, sizeof name));
  EXPECT_STREQ(name, "Engineering");
  ASSERT_TRUE(tree_.GetTextByOrgFld(eng, "UUSRBM.CVWA", name, sizeof name));
  EXPECT_STREQ(name, "T");
  EXPECT_FALSE(tree_.GetTextByOrgFld(eng, "UUSR.NOSUCH", name, sizeof name));
  EXPECT_FALSE(tree_.GetTextByOrgFld(eng, "UUSR.CNAME; drop table UUSR", name, sizeof name));
}

TEST_F(XBOMTreeTest, ExpandAllShowsARecordOnceForEachPlaceItHangs) {
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_EQ(tree_.ExpandAll(0), 1);
  EXPECT_EQ(tree_.GetNodes(-1), 24);
  std::vector<int> alice = NodesOf(kAlice);
  ASSERT_EQ(alice.size(), 3u);
  std::vector<std::string> parents;
  std::vector<int> links;
  for (int node : alice) {
    parents.push_back(Code(tree_.GetParentIndex(node)));
    links.push_back(tree_.GetBBOM_NID(node));
  }
  EXPECT_EQ(parents, (std::vector<std::string>{"CAD", "QA", "REVIEW"}));
  EXPECT_NE(links[0], links[1]);
  EXPECT_NE(links[1], links[2]);
  EXPECT_TRUE(tree_.IsExpanded(0));
  // Leaves were known to be leaves from the level query: no expander, nothing to fetch.
  QAbstractItemModel* model = tree_.View()->model();
  QModelIndex adm = model->index(0, 0, model->index(0, 0, {}));
  EXPECT_TRUE(model->flags(adm).testFlag(Qt::ItemNeverHasChildren));
}

TEST_F(XBOMTreeTest, ExpandAllQueriesGrowWithDepthNotWithSize) {
  // The whole organisation, and Engineering (NID 301) alone, read level by level.
  auto queries = [&] {
    std::pair<long long, long long> counts;
    EXPECT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
    long long before = tree_.QueryCount();
    EXPECT_EQ(tree_.ExpandAll(0), 1);
    counts.first = tree_.QueryCount() - before;
    EXPECT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
    EXPECT_TRUE(tree_.Expand(0));
    before = tree_.QueryCount();
    EXPECT_EQ(tree_.ExpandAll(NodesOf(301).at(0)), 1);
    counts.second = tree_.QueryCount() - before;
    return counts;
  };
  auto small = queries();
  EXPECT_EQ(small.first, 2);   // each table once
  EXPECT_EQ(small.second, 4);  // Engineering, Mechanical Design, CAD Team, Fixture Design

  // Many more records at the levels that already exist: users under CAD Team (NID 303) and
  // under Sales (304), and departments beside Sales.
  std::string users = "insert into UUSR(NID, CCODE, CNAME, CSRC) values ";
  std::string links = "insert into UUSRBM(NPID, NCID, CVWA) values ";
  for (int i = 0; i < 400; ++i) {
    int nid = 1000 + i;
    const char* kind = i < 40 ? "UDEPT" : "UUSRI";
    int parent = i < 40 ? kRoot : (i % 2 ? 303 : 304);
    users += (i ? ", (" : "(") + std::to_string(nid) + ", 'X" + std::to_string(i) + "', 'n', '" +
             kind + "')";
    links += (i ? ", (" : "(") + std::to_string(parent) + ", " + std::to_string(nid) + ", 'T')";
  }
  Exec(users);
  Exec(links);
  EXPECT_EQ(queries(), small);
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_EQ(tree_.ExpandAll(0), 1);
  EXPECT_EQ(tree_.GetNodes(-1), 24 + 400);
}

TEST_F(XBOMTreeTest, ALevelWithThousandsOfParentsIsReadInChunksInOrder) {
  tester_.reset();  // it walks the model on every insertion: thousands here
  constexpr int kEng = 301;
  auto expandEng = [&] {
    EXPECT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
    EXPECT_TRUE(tree_.Expand(0));
    int eng = NodesOf(kEng).at(0);
    long long before = tree_.QueryCount();
    EXPECT_EQ(tree_.ExpandAll(eng), 1);
    return std::make_pair(eng, tree_.QueryCount() - before);
  };
  // Engineering, Mechanical Design, CAD Team, Fixture Design
  long long small = expandEng().second;
  EXPECT_EQ(small, 4);
  // 3,100 departments under Engineering, each holding one user: the level below
  // Engineering then has more parents than one statement carries.
  std::string records = "insert into UUSR(NID, CCODE, CNAME, CSRC) values ";
  std::string links = "insert into UUSRBM(NPID, NCID, CVWA) values ";
  for (int i = 0; i < 3100; ++i) {
    int dept = 10000 + i, user = 20000 + i;
    records += (i ? ", (" : "(") + std::to_string(dept) + ", 'D" + std::to_string(i) +
               "', '', 'UDEPT'), (" + std::to_string(user) + ", 'P" + std::to_string(i) +
               "', '', 'UUSRI')";
    links += (i ? ", (" : "(") + std::to_string(kEng) + ", " + std::to_string(dept) + ", 'T'), (" +
             std::to_string(dept) + ", " + std::to_string(user) + ", 'T')";
  }
  Exec(records);
  Exec(links);
  auto [eng, queries] = expandEng();
  EXPECT_EQ(queries, small + 1);
  EXPECT_EQ(tree_.GetNodes(eng), 9 + 2 * 3100);
  // Every department holds its own user, whichever chunk read it.
  for (int n = eng; n < eng + tree_.GetNodes(eng); ++n) {
    int nid = tree_.GetBITM_NID(n);
    if (nid < 10000 || nid >= 13100) continue;
    ASSERT_EQ(tree_.GetChildNodesCount(n), 1) << nid;
    ASSERT_EQ(tree_.GetBITM_NID(tree_.GetFirstChildNode(n)), nid + 10000);
  }
}

TEST_F(XBOMTreeTest, ExpandAllOfTheWholeOrganisationReadsEachTableOnce) {
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  long long before = tree_.QueryCount();
  ASSERT_EQ(tree_.ExpandAll(0), 1);
  EXPECT_EQ(tree_.QueryCount() - before, 2);
  // The same subtree as level by level reading gives.
  XBOMTree levels;
  levels.SetDB(db());
  levels.SetBOMTreeType(0);
  ASSERT_EQ(levels.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_TRUE(levels.Expand(0));
  for (int child = levels.GetFirstChildNode(0); child >= 0; child = levels.GetNextNode(child)) {
    ASSERT_EQ(levels.ExpandAll(child), 1);
  }
  ASSERT_EQ(levels.GetNodes(-1), tree_.GetNodes(-1));
  for (int n = 0; n < tree_.GetNodes(-1); ++n) {
    EXPECT_EQ(levels.GetBITM_NID(n), tree_.GetBITM_NID(n)) << n;
    EXPECT_EQ(levels.GetBBOM_NID(n), tree_.GetBBOM_NID(n)) << n;
    EXPECT_EQ(levels.GetParentIndex(n), tree_.GetParentIndex(n)) << n;
  }
}

// ExpandAll below a department opens that department and every node below it that has
// children, and touches no other node: what was collapsed elsewhere stays collapsed.
TEST_F(XBOMTreeTest, ExpandAllBelowADepartmentOpensExactlyItsSubtree) {
  constexpr int kEngineering = 301, kMechanical = 302, kSales = 304;
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_TRUE(tree_.Expand(0));
  auto below = [&](int node, int nid) {
    for (int n = node; n >= 0; n = tree_.GetParentIndex(n)) {
      if (tree_.GetBITM_NID(n) == nid) return true;
    }
    return false;
  };
  // Every node's expansion against what is expected of it; the root stays open.
  auto check = [&](auto expected) {
    for (int n = 1; n < tree_.GetNodes(-1); ++n) {
      EXPECT_EQ(tree_.IsExpanded(n) != FALSE, tree_.GetChildNodesCount(n) > 0 && expected(n))
          << Code(n);
    }
    EXPECT_TRUE(tree_.IsExpanded(0));
  };

  ASSERT_EQ(tree_.ExpandAll(NodesOf(kEngineering).at(0)), 1);
  ASSERT_GT(tree_.GetChildNodesCount(NodesOf(kMechanical).at(0)), 0);
  check([&](int n) { return below(n, kEngineering); });

  ASSERT_TRUE(tree_.Expand(NodesOf(kMechanical).at(0), FALSE));
  ASSERT_EQ(tree_.ExpandAll(NodesOf(kSales).at(0)), 1);
  ASSERT_GT(tree_.GetChildNodesCount(NodesOf(kSales).at(0)), 0);
  check([&](int n) {
    return (below(n, kEngineering) && tree_.GetBITM_NID(n) != kMechanical) || below(n, kSales);
  });
}

// Subtrees loaded out of order land inside their own parents: a later department first,
// then an earlier one, one level of a third, and finally the whole organisation give the
// same nodes in the same order as a fresh whole-tree expansion.
TEST_F(XBOMTreeTest, SubtreesExpandedInAnyOrderGiveTheWholeTreesOrder) {
  constexpr int kEngineering = 301, kSales = 304, kQa = 305;
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_TRUE(tree_.Expand(0));
  ASSERT_EQ(tree_.ExpandAll(NodesOf(kSales).at(0)), 1);
  const int sales = NodesOf(kSales).at(0);
  const int salesNodes = tree_.GetNodes(sales);
  ASSERT_GT(salesNodes, 1);
  ASSERT_EQ(tree_.ExpandAll(NodesOf(kEngineering).at(0)), 1);
  // Engineering's subtree comes before Sales, which moved down by exactly its size.
  const int eng = NodesOf(kEngineering).at(0);
  EXPECT_EQ(NodesOf(kSales).at(0), eng + tree_.GetNodes(eng));
  EXPECT_EQ(tree_.GetNodes(NodesOf(kSales).at(0)), salesNodes);
  EXPECT_EQ(NodesOf(kAlice).size(), 1u);  // under CAD; QA and Review are not read yet
  EXPECT_EQ(Code(tree_.GetParentIndex(NodesOf(kAlice).at(0))), "CAD");
  ASSERT_TRUE(tree_.Expand(NodesOf(kQa).at(0)));
  ASSERT_EQ(tree_.ExpandAll(0), 1);

  XBOMTree fresh;
  fresh.SetDB(db());
  ASSERT_EQ(fresh.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_EQ(fresh.ExpandAll(0), 1);
  ASSERT_EQ(tree_.GetNodes(-1), fresh.GetNodes(-1));
  char text[256], freshText[256];
  for (int n = 0; n < fresh.GetNodes(-1); ++n) {
    EXPECT_EQ(tree_.GetBITM_NID(n), fresh.GetBITM_NID(n)) << n;
    EXPECT_EQ(tree_.GetBBOM_NID(n), fresh.GetBBOM_NID(n)) << n;
    EXPECT_EQ(tree_.GetParentIndex(n), fresh.GetParentIndex(n)) << n;
    EXPECT_EQ(tree_.GetNodes(n), fresh.GetNodes(n)) << n;
    EXPECT_EQ(tree_.GetChildNodesCount(n), fresh.GetChildNodesCount(n)) << n;
    tree_.GetNodeText(n, text, sizeof text);
    fresh.GetNodeText(n, freshText, sizeof freshText);
    EXPECT_STREQ(text, freshText) << n;
  }
}

TEST_F(XBOMTreeTest, WhereUsedDirectionClimbsToTheRoot) {
  tree_.SetBOMTreeType(1);
  ASSERT_EQ(tree_.AddRootNode("UUSR", kAlice, TRUE), 0);
  EXPECT_EQ(tree_.GetBBOM_NID(0), -1);
  ASSERT_TRUE(tree_.Expand(0));
  EXPECT_EQ(ChildCodes(0), (std::vector<std::string>{"CAD", "QA", "REVIEW"}));
  ASSERT_EQ(tree_.ExpandAll(0), 1);
  // CAD Team -> Mechanical Design -> Engineering -> the organisation.
  int cad = tree_.GetFirstChildNode(0);
  int mech = tree_.GetFirstChildNode(cad);
  int eng = tree_.GetFirstChildNode(mech);
  EXPECT_EQ(Code(mech), "MECH");
  EXPECT_EQ(Code(eng), "ENG");
  EXPECT_EQ(ChildCodes(eng), (std::vector<std::string>{"ORG"}));
  EXPECT_EQ(tree_.GetNodes(-1), 1 + 3 + 3 + 2);  // alice, parents, CAD's chain, two roots
}

TEST_F(XBOMTreeTest, ExpandFilterWithLeafCheckKeepsOnlyDepartmentsAndRoles) {
  tree_.SetExpandFilter("UUSR.CSRC = 'UROLE' or UUSR.CSRC = 'UDEPT'");
  tree_.SetExpandToCheckLeafNode(TRUE);
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_TRUE(tree_.Expand(0));
  EXPECT_EQ(ChildCodes(0),
            (std::vector<std::string>{"ENG", "SALES", "QA", "REVIEW", "FLOWOPS", "ARCHIVE"}));
  QAbstractItemModel* model = tree_.View()->model();
  QModelIndex root = model->index(0, 0, {});
  EXPECT_TRUE(model->hasChildren(model->index(0, 0, root)));   // ENG holds MECH
  EXPECT_FALSE(model->hasChildren(model->index(1, 0, root)));  // SALES holds only users
  ASSERT_EQ(tree_.ExpandAll(0), 1);
  EXPECT_EQ(tree_.GetNodes(-1), 10);  // the root, six below it, MECH, CAD and FIXTURE
}

TEST_F(XBOMTreeTest, AStoppedExpandAllLeavesTheLevelsReadSoFar) {
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  // Another thread asks for the stop while the first level is being shown.
  struct Stopper {
    XBOMTree* tree;
    std::atomic<bool> levelSeen{false};
    std::atomic<bool> stopped{false};
  } stopper{&tree_};
  std::thread other([&] {
    while (!stopper.levelSeen) std::this_thread::yield();
    stopper.tree->StopExpandAll();
    stopper.stopped = true;
  });
  tree_.SetTreeEventFunc(
      [](XTree*, int event, int, void* user) {
        auto* s = static_cast<Stopper*>(user);
        if (event != XTREE_EVENT_LEVEL) return;
        s->levelSeen = true;
        while (!s->stopped) std::this_thread::yield();
      },
      &stopper);
  EXPECT_EQ(tree_.ExpandAll(0), 0);
  other.join();
  EXPECT_EQ(tree_.GetNodes(-1), 8);  // the root and its seven children
  int eng = tree_.GetNextNode(tree_.GetFirstChildNode(0));
  EXPECT_EQ(tree_.GetChildNodesCount(eng), 0);
  // A new run starts afresh and finishes.
  tree_.SetTreeEventFunc(nullptr, nullptr);
  EXPECT_EQ(tree_.ExpandAll(0), 1);
  EXPECT_EQ(tree_.GetNodes(-1), 24);
}

TEST_F(XBOMTreeTest, AWorkerThreadCanExpandEverythingWhileTheWindowRuns) {
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  std::atomic<bool> done{false};
  int result = -1;
  std::thread worker([&] {
    result = tree_.ExpandAll(0);
    done = true;
  });
  while (!done) QCoreApplication::processEvents();  // the window's thread does the work
  worker.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(tree_.GetNodes(-1), 24);
}

TEST_F(XBOMTreeTest, RefreshReloadsAndKeepsTheFocusedRecord) {
  ASSERT_EQ(tree_.AddRootNode("UUSR", -1, TRUE), 0);
  ASSERT_EQ(tree_.ExpandAll(0), 1);
  int bob = NodesOf(309).at(0);
  tree_.SetFocusNode(bob);
  Exec("update UUSR set CNAME = 'Robert Baker' where NID = 309");
  ASSERT_TRUE(tree_.Refresh(-1));
  int focus = tree_.GetFocusNode();
  EXPECT_EQ(tree_.GetBITM_NID(focus), 309);
  char text[256];
  tree_.GetNodeText(focus, text, sizeof text);
  EXPECT_STREQ(text, "Robert Baker (bob)");
  // Reloading one node's children reads them again.
  int mech = tree_.GetParentIndex(focus);
  Exec("delete from UUSRBM where NPID = 302 and NCID = 309");
  ASSERT_TRUE(tree_.Refresh(mech));
  EXPECT_EQ(ChildCodes(mech), (std::vector<std::string>{"CAD"}));
}

TEST_F(XBOMTreeTest, NodesWithoutARecordAndBadArgumentsAreRefused) {
  EXPECT_EQ(tree_.AddRootNode("UUSR", 99999, TRUE), -1);
  EXPECT_EQ(tree_.AddRootNode("UUSR; drop table UUSR", -1, TRUE), -1);
  int plain = tree_.AddNode(-1, "no record");
  EXPECT_EQ(tree_.GetBITM_NID(plain), -1);
  EXPECT_EQ(tree_.GetBBOM_NID(plain), -1);
  EXPECT_EQ(tree_.GetBOMNodeData(plain), nullptr);
  EXPECT_EQ(tree_.GetBITM_NID(-1), -1);
  EXPECT_STREQ(XBOMViewCache::GetViewFldByNo(db(), "UUSRBM", "UUSR"), "CVWA");
  EXPECT_STREQ(XBOMViewCache::GetViewFldByNo(db(), "OTHERBM", "OTHER"), "");
}

}  // namespace
