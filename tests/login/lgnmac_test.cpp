// The machine picker of the record pane's machine code button, through HRZCmd: the machines
// it lists and finds, the code it adds to the record's machine list, its details file, and a
// user bound to a machine by it logging on from that machine and from another. Every test
// runs on a fresh sample store, once embedded and once over TCP.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "org/org_fixture.h"
#include "resources/dialogs/lgnmac_ids.h"
#include "resources/dialogs/roledept_ids.h"
#include "xgrid.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kHeidiNid = 317;
// Sample machines; the machine running the tests joins them at its first logon.
constexpr const char* kCadMachine = "WS-CAD-01";  // heidi's machine list holds it
constexpr const char* kSalesMachine = "WS-SALES-01";
constexpr const char* kCadCode = "100200300400500600700800900101";
constexpr const char* kSalesCode = "314159265358979323846264338327";

XGrid& GridOf(DialogDriver& picker) {
  return dynamic_cast<XGrid&>(*picker.Dialog().GetDlgItem(IDC_LGNMAC_GRID));
}

// The picker's row of the machine named name; -1 when none.
int RowOf(DialogDriver& picker, const std::string& name) {
  XGrid& grid = GridOf(picker);
  for (int row = 1; row < grid.GetRows(); ++row) {
    if (grid.GetItemString(row, 1) == name) return row;
  }
  return -1;
}

class MachinePickerTest : public ManagerTest {
 protected:
  // Picks the machine from the record of nid and saves; the record's machine list.
  std::string PickFor(int nid, const std::string& machine) {
    module_.user().OnDialog(IDD_LGNMAC, [machine](DialogDriver& picker) {
      ASSERT_TRUE(picker.Select(IDC_LGNMAC_VIEW, RowOf(picker, machine)));
      ASSERT_TRUE(picker.Click(IDOK));
    });
    std::string field;
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, nid));
      ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNLGNMAC"));
      field = Field(d, "CLGNMAC");
      ASSERT_TRUE(d.Click(IDOK));
    });
    return field;
  }
};

TEST_P(MachinePickerTest, AddsThePickedCodeUnlessTheListHoldsItAlready) {
  WriteStore(storePath_,
             "insert into USETUPINFO(CCODE, CNAME) values("
             "'111111111122222222223333333333, 444444444455555555556666666666', 'WS-TWO-CODES')");
  StartAsAdmin();
  const std::string heidi = std::string(kCadCode) + ", " + kSalesCode;
  struct Case {
    int nid;
    const char* machine;
    std::string list;
  };
  const Case cases[] = {
      {kBobNid, kSalesMachine, kSalesCode},  // an empty list takes the code alone
      {kHeidiNid, kCadMachine, kCadCode},    // held already: unchanged
      {kHeidiNid, kSalesMachine, heidi},
      {kHeidiNid, kSalesMachine, heidi},
      {kGraceNid, "WS-TWO-CODES", "111111111122222222223333333333"},  // a cell's first code
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PickFor(c.nid, c.machine), c.list) << c.nid << " " << c.machine;
    EXPECT_EQ(Query("select CLGNMAC from UUSR where NID = " + std::to_string(c.nid)), c.list);
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_P(MachinePickerTest, ListsFindsAndPicksByDoubleClickAndWantsARow) {
  StartAsAdmin();
  const std::string machines = Query("select count(*) from USETUPINFO");
  module_.user().OnDialog(IDD_LGNMAC, [&](DialogDriver& picker) {
    EXPECT_EQ(picker.Caption(), "dlg_user_lgnmac.dlg_cap");
    EXPECT_EQ(picker.Text(IDC_LGNMAC_SHOW_INFO), "normal_res.btn_detail");
    XGrid* grid = &GridOf(picker);
    EXPECT_EQ(std::to_string(grid->GetRows() - 1), machines) << "every machine";
    ASSERT_TRUE(picker.Click(IDOK));
    EXPECT_TRUE(picker.Dialog().IsRunning()) << "no row picked yet";
    // Enter in the search edit searches: the organisation codes hold "QA".
    ASSERT_TRUE(picker.SetText(IDC_LGNMAC_SEARCH_TEXT, "qa"));
    ASSERT_TRUE(picker.PressKey(IDC_LGNMAC_SEARCH_TEXT, VK_RETURN));
    EXPECT_TRUE(picker.Dialog().IsRunning());
    ASSERT_EQ(grid->GetRows(), 2);
    EXPECT_EQ(grid->GetItemString(1, 1), "LAPTOP-QA-02");
    ASSERT_TRUE(picker.Activate(IDC_LGNMAC_VIEW, 1));
    QCoreApplication::processEvents();  // the OK that the double click posts
    EXPECT_FALSE(picker.Dialog().IsRunning());
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNLGNMAC"));
    EXPECT_EQ(Field(d, "CLGNMAC"), "271828182845904523536028747135");
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_user_lgnmac.not select"});
  EXPECT_EQ(module_.user().MessageBoxes().front().caption, "dlg_user_lgnmac.mb_cap");
  EXPECT_EQ(Query("select coalesce(CLGNMAC, '-') from UUSR where NID = 309"), "-")
      << "nothing saved until Save";
}

TEST_P(MachinePickerTest, AFullListIsToldAndKeptAsItIs) {
  std::string full;
  for (int i = 0; i < 16; ++i) {
    full += (i == 0 ? "" : ", ") + std::string(28, '1') + std::to_string(10 + i);
  }
  WriteStore(storePath_, "update UUSR set CLGNMAC = '" + full + "' where NID = 309");
  StartAsAdmin();
  EXPECT_EQ(PickFor(kBobNid, kSalesMachine), full);
  EXPECT_EQ(Messages(), std::vector<std::string>{"At most 511 characters."});
}

TEST_P(MachinePickerTest, ShowInfoWritesTheRowToATextFileAndOpensIt) {
  TempDir temp;
  const char* saved = std::getenv("TMPDIR");
  const std::string previous = saved != nullptr ? saved : "";
  setenv("TMPDIR", temp.Path().c_str(), 1);
  StartAsAdmin();
  std::vector<std::string> files;
  module_.user().OnDialog(IDD_LGNMAC, [&](DialogDriver& picker) {
    ASSERT_TRUE(picker.Click(IDC_LGNMAC_SHOW_INFO));  // several rows and none focused
    ASSERT_TRUE(picker.SetText(IDC_LGNMAC_SEARCH_TEXT, "WS-CAD"));
    // Searched by code, addresses and organisation only: the name finds nothing.
    ASSERT_TRUE(picker.Click(IDC_LGNMAC_SEARCH));
    ASSERT_TRUE(picker.Click(IDC_LGNMAC_SHOW_INFO));
    ASSERT_TRUE(picker.SetText(IDC_LGNMAC_SEARCH_TEXT, "192.168.10.*"));
    ASSERT_TRUE(picker.Click(IDC_LGNMAC_SEARCH));
    ASSERT_TRUE(picker.Click(IDC_LGNMAC_SHOW_INFO));  // one row: it, though not focused
    std::ifstream in(temp.File("hrzmsg.txt"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    files.push_back(text.str());
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNLGNMAC"));
  });
  if (previous.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", previous.c_str(), 1);
  }
  ASSERT_EQ(module_.user().ShellOpens().size(), 1u);
  EXPECT_EQ(module_.user().ShellOpens()[0].operation, "open");
  EXPECT_EQ(module_.user().ShellOpens()[0].file, temp.File("hrzmsg.txt"));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].substr(0, files[0].find("\r\nChanged")),
            "Computer: WS-CAD-01\r\nUser: alice\r\nIP addresses: 192.168.10.21\r\n"
            "Machine code: 100200300400500600700800900101\r\n"
            "MAC addresses: 00-1A-2B-3C-4D-5E\r\nOrganisation: CAD");
  EXPECT_NE(files[0].find("\r\nChanged: "), std::string::npos);
  EXPECT_NE(files[0].back(), '\n') << "no line end after the last line";
}

// The picker binds bob to the sales workstation; the server then lets bob log on from that
// machine only.
TEST_P(MachinePickerTest, AUserBoundToAMachineLogsOnFromItAlone) {
  StartAsAdmin();
  ASSERT_EQ(PickFor(kBobNid, kSalesMachine), kSalesCode);
  struct Case {
    const char* machine;
    int status;
  };
  for (const Case& c : {Case{kSalesCode, 31}, Case{kCadCode, 36}}) {
    Connection db = Open();
    ASSERT_EQ(XCliDB_SetMachineCode(db.get(), c.machine), 1);
    int status = 0;
    char text[512] = {};
    XCliDB_Logon(db.get(), "bob", "bob-pw1", 260101, &status, text, sizeof text);
    EXPECT_EQ(status, c.status) << c.machine;
    if (c.status == 36) {
      EXPECT_NE(std::string(text).find("machine list of bob"), std::string::npos) << text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Store, MachinePickerTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
