// Search grids on the sample organisation: configurations, finds, paging, records of rows
// and the user filters.
#include "xfindgrid.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QTableView>
#include <set>
#include <string>
#include <thread>

#include "grid_configs.h"
#include "support/stores.h"

namespace {

class XFindGridTest : public hrztest::SampleStoreTest {
 protected:
  void SetUp() override {
    SampleStoreTest::SetUp();
    grid_.SetDB(db());
    tester_ = std::make_unique<QAbstractItemModelTester>(
        grid_.View()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }
  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    int col = grid_.GetColByOrgFldName("UUSR.CCODE");
    for (int row = 1; row < grid_.GetRows(); ++row) codes.push_back(grid_.GetItemString(row, col));
    return codes;
  }

  XUserFindGrid grid_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(XFindGridTest, EveryHostGridConfigurationLoadsWithTheColumnsItsUsersNeed) {
  struct Case {
    const char* grid;
    std::vector<const char*> ctrlNames;
    std::vector<const char*> fields;
  };
  const Case cases[] = {
      {"User Search Result", {"CCODE", "CNAME"}, {"UUSR.CCODE", "UUSR.CNAME"}},
      {"User Stat Result", {"ISONLN", "NUPCLIVR"}, {"UUSR.CCODE"}},
      {"Func Pvg Grid",
       {"CCODE", "NFNCHR", "VIEW", "MODI", "CREATOR"},
       {"UUSRFN.CDESC", "UUSRFN.CCODE"}},
      {"SetupInfo Grid", {"CCODE"}, {"USETUPINFO.CCODE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid);
    XPrdFindGrid grid;
    grid.SetDB(db());
    ASSERT_TRUE(grid.InitCtrls(c.grid));
    for (const char* name : c.ctrlNames) EXPECT_GE(grid.GetColByCtrlName(name), 1) << name;
    for (const char* field : c.fields) EXPECT_GE(grid.GetColByOrgFldName(field), 1) << field;
    EXPECT_GT(grid.DoFind("1=1", nullptr, nullptr, TRUE), 0);
  }
  // The machine picker reads the machine code from column 4.
  XPrdFindGrid setup;
  setup.SetDB(db());
  ASSERT_TRUE(setup.InitCtrls("setupinfo grid"));
  EXPECT_EQ(setup.GetColByCtrlName("CCODE"), 4);
  EXPECT_FALSE(setup.InitCtrls("No Such Grid"));
}

TEST_F(XFindGridTest, FindsWithAWhereClauseAndAppends) {
  ASSERT_TRUE(grid_.InitCtrls("User Search Result"));
  int count = -1;
  EXPECT_EQ(grid_.DoFind("CSRC = 'UUSRI'", nullptr, &count, FALSE), 8);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"adm", "alice", "bob", "erin", "frank[del]", "grace",
                                               "heidi", "ivan"}));
  EXPECT_EQ(grid_.GetItemString(0, grid_.GetColByCtrlName("CCODE")), "Code");
  // Append mode keeps the rows already found.
  EXPECT_EQ(grid_.DoFind("NID = 301", nullptr, nullptr, TRUE), 1);
  EXPECT_EQ(Codes().back(), "ENG");
  EXPECT_EQ(grid_.DoFind("NID = 301", "UUSR.CNAME", nullptr, FALSE), 1);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"ENG"}));
  // A clause the database refuses leaves the grid at its header.
  EXPECT_EQ(grid_.DoFind("NOSUCHCOLUMN = 1", nullptr, &count, FALSE), -1);
  EXPECT_EQ(grid_.GetRows(), 1);
}

TEST_F(XFindGridTest, RowsKnowTheirRecordAndRowZeroHasNone) {
  ASSERT_TRUE(grid_.InitCtrls("User Search Result"));
  ASSERT_EQ(grid_.DoFind("CCODE = 'carol'", nullptr, nullptr, FALSE), 1);
  char table[33], kind[17];
  EXPECT_EQ(grid_.GetRecNID(1, table, kind), 310);
  EXPECT_STREQ(table, "UUSR");
  EXPECT_STREQ(kind, "KQUSR");
  EXPECT_EQ(grid_.GetRecNID(0, table, kind), -1);
  EXPECT_EQ(grid_.GetRecNID(2), -1);
  char name[64];
  ASSERT_TRUE(grid_.GetTextByOrgFld(1, "UUSR.CNAME", name, sizeof name));
  EXPECT_STREQ(name, "Carol Chen");
  EXPECT_FALSE(grid_.GetTextByOrgFld(0, "UUSR.CNAME", name, sizeof name));
  EXPECT_STREQ(grid_.GetDbName(), "main");
}

TEST_F(XFindGridTest, UserFilterTypesChooseTheRecords) {
  ASSERT_TRUE(grid_.InitCtrls("User Search Result"));
  struct Case {
    int type;
    bool frank, eng, carol, dave;
  };
  // frank is a deleted user, ENG a department, carol of kind KQUSR, dave of kind UUSRO.
  const Case cases[] = {{0, true, true, true, true},
                        {1, true, false, true, true},
                        {2, false, true, false, false},
                        {4, true, true, true, true},
                        {9, false, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    grid_.SetUserFilterType(c.type);
    ASSERT_GE(grid_.DoFind("", nullptr, nullptr, FALSE), 0);
    std::vector<std::string> codes = Codes();
    std::set<std::string> found(codes.begin(), codes.end());
    EXPECT_EQ(found.count("frank[del]") == 1, c.frank);
    EXPECT_EQ(found.count("ENG") == 1, c.eng);
    EXPECT_EQ(found.count("carol") == 1, c.carol);
    EXPECT_EQ(found.count("dave") == 1, c.dave);
  }
}

// After a record changes, its row alone is read again; the other rows and the row's place
// stay, a record that no longer meets the find loses its row, a bad row or clause changes
// nothing.
TEST_F(XFindGridTest, RefindRowReadsOneRowsRecordAgain) {
  ASSERT_TRUE(grid_.InitCtrls("User Search Result"));
  grid_.SetUserFilterType(9);  // users that are not deleted
  ASSERT_EQ(grid_.DoFind("CCODE in ('alice', 'bob', 'carol')", nullptr, nullptr, FALSE), 3);
  const int name = grid_.GetColByOrgFldName("UUSR.CNAME");
  Exec("update UUSR set CNAME = 'Bob Brown' where NID = 309");
  Exec("update UUSR set CNAME = 'Alice A.' where NID = 308");
  EXPECT_EQ(grid_.RefindRow(2, "NID = 309"), 1);
  EXPECT_EQ(grid_.GetItemString(2, name), "Bob Brown");
  EXPECT_EQ(grid_.GetItemString(2, 0), "2") << "the heading stays";
  EXPECT_EQ(grid_.GetItemString(1, name), "Alice Archer") << "other rows are not read again";
  EXPECT_EQ(grid_.GetRecNID(2), 309);

  struct Case {
    int row;
    const char* where;
    int result;
    std::vector<std::string> codesAfter;
  };
  const Case cases[] = {
      {0, "NID = 309", -1, {"alice", "bob", "carol"}},
      {4, "NID = 309", -1, {"alice", "bob", "carol"}},
      {1, "NOSUCHCOLUMN = 1", -1, {"alice", "bob", "carol"}},
      {3, "NID = 313", 0, {"alice", "bob"}},  // frank is deleted: the filter leaves him out
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(grid_.RefindRow(c.row, c.where), c.result);
    EXPECT_EQ(Codes(), c.codesAfter);
  }
}

TEST_F(XFindGridTest, LargeFindsArriveInPagesAndGetAllReadsTheRest) {
  ASSERT_TRUE(grid_.InitCtrls("User Search Result"));
  grid_.SetPageRows(5);
  int count = 0;
  EXPECT_EQ(grid_.DoFind("", nullptr, &count, FALSE), 5);
  EXPECT_EQ(count, 20);
  EXPECT_TRUE(grid_.HasMoreRows());
  EXPECT_EQ(grid_.GetAll(TRUE), 15);
  EXPECT_FALSE(grid_.HasMoreRows());
  std::vector<std::string> codes = Codes();
  EXPECT_EQ(codes.size(), 20u);
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), 20u);
  EXPECT_EQ(grid_.GetAll(TRUE), 0);
}

TEST_F(XFindGridTest, DetailModeShowsTheDetailColumns) {
  ASSERT_TRUE(grid_.InitCtrls("User Search Result"));
  int state = grid_.GetColByCtrlName("NSTAT");
  EXPECT_EQ(grid_.GetColumnWidth(state), 0);
  grid_.Detail(TRUE);
  EXPECT_GT(grid_.GetColumnWidth(state), 0);
}

TEST_F(XFindGridTest, AnotherThreadCanAppendRows) {
  ASSERT_TRUE(grid_.InitCtrls("User Stat Result"));
  std::atomic<bool> done{false};
  int added = 0;
  std::thread worker([&] {
    added = grid_.DoFind("NID = 308", nullptr, nullptr, TRUE);
    done = true;
  });
  while (!done) QCoreApplication::processEvents();
  worker.join();
  EXPECT_EQ(added, 1);
  EXPECT_EQ(grid_.GetRecNID(1), 308);
}

}  // namespace
