// The privilege editor's extra column of per-user endpoint settings through HRZCmd: the
// outgoing-file limits on "KQBRWS" in "KQWFUSER", the decrypt-flow applications on
// "KQDECRPT" and "KQCHECK" in "KQFLOWUSER", the two dialogs that store them, and who may.
// Every test runs on a fresh sample store, once embedded and once over TCP.
#include <gtest/gtest.h>

#include "platform_ui.h"
#include "privileges/usrfngrd.h"
#include "pvg_fixture.h"
#include "resources/dialogs/decryptapps_ids.h"
#include "resources/dialogs/kqextapps_ids.h"
#include "resources/dialogs/waifacfg_ids.h"
#include "xclidb.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr char kUnlimited[] = "dlg_userfuncpvg.unlimited";

class EndpointColumnTest : public PrivilegeTest {
 protected:
  void SetLimits(int nid, const char* count, const char* time) {
    WriteStore(storePath_, std::string("update UUSR set NWFMAXCNT = ") + count +
                               ", NWFMAXTM = " + time + " where NID = " + std::to_string(nid));
  }
  // "time,count" as stored.
  std::string StoredLimits(int nid) {
    return StoreTexts(
               "select ifnull(NWFMAXTM, 'null') || ',' || ifnull(NWFMAXCNT, 'null') "
               "from UUSR where NID = " +
               std::to_string(nid))
        .front();
  }
  std::string StoredApps(int nid) {
    return StoreTexts("select ifnull(CDECFLWAPPS, 'null') from UUSR where NID = " +
                      std::to_string(nid))
        .front();
  }
};

int LimitsCol(DialogDriver& d) {
  return GridOf(d).EndpointColumns().LimitsCol();
}

int FlowCol(DialogDriver& d) {
  return GridOf(d).EndpointColumns().FlowCol();
}

std::string Cell(DialogDriver& d, const std::string& code, int col) {
  return GridOf(d).GetItemString(RowOf(d, code), col);
}

void DoubleClickCell(DialogDriver& d, const std::string& code, int col) {
  const int row = RowOf(d, code);
  ASSERT_GE(row, 1) << code;
  ASSERT_GE(col, 1);
  GridOf(d).DoubleClickCell(row, col);
}

TEST_P(EndpointColumnTest, OnlyTheirModesHaveTheColumnHeadedAndHiddenUntilAUserIsShown) {
  StartAsAdmin();
  struct Case {
    const char* command;
    bool flow;
    bool limits;
    const char* header;
  };
  const Case cases[] = {{"XUSRFUNC", false, false, nullptr},
                        {"XPRFLWCHK", false, false, nullptr},
                        {"KQFLOWUSER", true, false, "dlg_userfuncpvg.dec flw apps"},
                        {"KQWFUSER", false, true, "dlg_userfuncpvg.waifa cnt tm"}};
  for (const Case& c : cases) {
    RunEditor(c.command, [&](DialogDriver& d) {
      hrz::XFuncPvgGrid& grid = GridOf(d);
      EXPECT_EQ(FlowCol(d) >= 1, c.flow) << c.command;
      EXPECT_EQ(LimitsCol(d) >= 1, c.limits) << c.command;
      const int extra = c.flow ? FlowCol(d) : LimitsCol(d);
      // The layout's columns, and the mode's one after them.
      EXPECT_EQ(grid.GetCols(), grid.GetColByCtrlName("CDESC") + (extra >= 1 ? 2 : 1));
      if (extra < 1) return;
      EXPECT_EQ(extra, grid.GetCols() - 1);
      EXPECT_EQ(grid.GetItemString(0, extra), c.header);
      EXPECT_EQ(grid.GetColumnWidth(extra), 0) << "no user shown yet";
    });
  }
}

// Each node against the cells it gives; a department or role after a user hides the column
// and leaves none of the user's values behind.
TEST_P(EndpointColumnTest, CellsShowTheUsersSettingsAndHideForDepartmentsAndRoles) {
  SetLimits(kBobNid, "5", "0");
  SetLimits(kAliceNid, "0", "0");
  SetLimits(kGraceNid, "3", "30");
  SetLimits(kMechNid, "9", "9");
  WriteStore(storePath_,
             "update UUSR set CDECFLWAPPS = '  acad.exe, notepad.exe\t' where NID = 309");
  WriteStore(storePath_, "update UUSR set CDECFLWAPPS = 'x.exe' where NID in (302, 306)");
  StartAsAdmin();
  struct Case {
    const char* command;
    int nid;
    int width;
    std::vector<std::pair<std::string, std::string>> cells;  // code, cell
  };
  const std::string unlimited = kUnlimited;
  const Case cases[] = {
      {"KQWFUSER", kBobNid, 550, {{"KQBRWS", "5, " + unlimited}}},
      {"KQWFUSER", kAliceNid, 550, {{"KQBRWS", unlimited + ", " + unlimited}}},
      {"KQWFUSER", kGraceNid, 550, {{"KQBRWS", "3, 30"}}},
      {"KQWFUSER", kMechNid, 0, {{"KQBRWS", ""}}},
      {"KQWFUSER", kReviewNid, 0, {{"KQBRWS", ""}}},
      {"KQFLOWUSER",
       kBobNid,
       1200,
       {{"KQDECRPT", "acad.exe, notepad.exe"},
        {"KQCHECK", "acad.exe, notepad.exe"},
        {"KQDNDEC", ""},
        {"KQWAIFA", ""}}},
      {"KQFLOWUSER", kAliceNid, 1200, {{"KQDECRPT", ""}, {"KQCHECK", ""}}},
      {"KQFLOWUSER", kMechNid, 0, {{"KQDECRPT", ""}, {"KQCHECK", ""}}},
      {"KQFLOWUSER", kReviewNid, 0, {{"KQDECRPT", ""}}},
  };
  for (const char* command : {"KQWFUSER", "KQFLOWUSER"}) {
    RunEditor(command, [&](DialogDriver& d) {
      for (const Case& c : cases) {
        if (std::string(c.command) != command) continue;
        const int col = std::max(FlowCol(d), LimitsCol(d));
        ASSERT_TRUE(ClickRecord(d, c.nid)) << c.nid;
        EXPECT_EQ(GridOf(d).GetColumnWidth(col), c.width) << command << " " << c.nid;
        for (const auto& [code, cell] : c.cells) {
          EXPECT_EQ(Cell(d, code, col), cell) << command << " " << c.nid << " " << code;
        }
      }
    });
  }
  EXPECT_TRUE(Messages().empty());
}

// The limits dialog opened from bob's cell, a pair typed into it and OK pressed: what it
// says, whether it closes, what the store and the cell then hold.
TEST_P(EndpointColumnTest, LimitsAreEditedStoredAndShownOrRefused) {
  struct Case {
    const char* count;
    const char* time;
    const char* message;  // null: stored and closed
    const char* stored;   // "time,count"
    std::string cell;
  };
  const std::string unlimited = kUnlimited;
  const Case cases[] = {
      {"", "", nullptr, "0,0", unlimited + ", " + unlimited},
      {" \t", "0", nullptr, "0,0", unlimited + ", " + unlimited},
      {" +12 ", "0030", nullptr, "30,12", "12, 30"},
      {"7", "", nullptr, "0,7", "7, " + unlimited},
      {"2147483647", "1", nullptr, "1,2147483647", "2147483647, 1"},
      {"-1", "7", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
      {"3", "1.5", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
      {"--5", "1", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
      {"1", "- 1", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
      {"2147483648", "1", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
      {"1", "5; drop table UUSR", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
      {"ten", "1", "dlg_userfuncpvg.illegal data", "0,5", "5, " + unlimited},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    SetLimits(kBobNid, "5", "0");
    const std::size_t seen = Messages().size();
    RunEditor("KQWFUSER", [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      module_.user().OnDialog(IDD_WAIFACFG, [&](DialogDriver& w) {
        EXPECT_EQ(w.Caption(), "dlg_userfuncpvg.dlg_cap");
        EXPECT_EQ(w.Text(IDC_WAIFACFG_COUNT), "5");
        EXPECT_EQ(w.Text(IDC_WAIFACFG_TIME), "0") << "unlimited opens as 0";
        EXPECT_EQ(w.Text(IDC_WAIFACFG_COUNT_LABEL), "dlg_userfuncpvg.lbl_wfmaxcnt");
        EXPECT_EQ(w.Text(IDC_WAIFACFG_TIME_LABEL), "dlg_userfuncpvg.lbl_wfmaxtm");
        EXPECT_EQ(w.Text(IDOK), "dlg_userfuncpvg.btn_save");
        ASSERT_TRUE(w.SetText(IDC_WAIFACFG_COUNT, c.count));
        ASSERT_TRUE(w.SetText(IDC_WAIFACFG_TIME, c.time));
        ASSERT_TRUE(w.Click(IDOK));
        EXPECT_EQ(w.Dialog().IsRunning(), c.message != nullptr) << c.count << "/" << c.time;
      });
      DoubleClickCell(d, "KQBRWS", LimitsCol(d));
      EXPECT_EQ(Cell(d, "KQBRWS", LimitsCol(d)), c.cell) << c.count << "/" << c.time;
    });
    EXPECT_EQ(StoredLimits(kBobNid), c.stored) << c.count << "/" << c.time;
    EXPECT_EQ(MessagesSince(seen),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.count << "/" << c.time;
  }
  EXPECT_EQ(module_.user().MessageBoxes().back().caption, "dlg_userfuncpvg.mb_cap");
}

// A store that refuses the count refuses the time with it: the pair is never half stored,
// and the dialog says so and stays open with what was typed.
TEST_P(EndpointColumnTest, AFailedStoreKeepsTheDialogOpenAndStoresNeitherLimit) {
  SetLimits(kBobNid, "5", "0");
  WriteStore(storePath_,
             "create trigger no_count before update of NWFMAXCNT on UUSR "
             "begin select raise(abort, 'count refused'); end");
  StartAsAdmin();
  RunEditor("KQWFUSER", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    module_.user().OnDialog(IDD_WAIFACFG, [&](DialogDriver& w) {
      ASSERT_TRUE(w.SetText(IDC_WAIFACFG_COUNT, "8"));
      ASSERT_TRUE(w.SetText(IDC_WAIFACFG_TIME, "9"));
      ASSERT_TRUE(w.Click(IDOK));
      EXPECT_TRUE(w.Dialog().IsRunning());
      EXPECT_EQ(w.Text(IDC_WAIFACFG_COUNT), "8");
    });
    DoubleClickCell(d, "KQBRWS", LimitsCol(d));
    EXPECT_EQ(Cell(d, "KQBRWS", LimitsCol(d)), std::string("5, ") + kUnlimited);
  });
  EXPECT_EQ(StoredLimits(kBobNid), "0,5");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userfuncpvg.save error"});
}

// With "dec ext" true the cells of "KQDECRPT" and "KQCHECK" open the free-text dialog; the
// text is stored as typed (a quote too) and read back into both cells.
TEST_P(EndpointColumnTest, FreeTextApplicationsAreStoredAndReadBack) {
  WriteStore(storePath_, "update UUSR set CDECFLWAPPS = 'old.exe' where NID = 309");
  module_.SetHostText("kqflow/dec ext", "True");
  StartAsAdmin();
  RunEditor("KQFLOWUSER", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    module_.user().OnDialog(IDD_KQEXTAPPS, [&](DialogDriver& e) {
      EXPECT_EQ(e.Caption(), "dlg_userfuncpvg.btn_add_apps");
      EXPECT_EQ(e.Text(IDC_KQEXTAPPS_LIST), "") << "the edit starts empty";
      EXPECT_EQ(e.Text(IDC_KQEXTAPPS_NOTE), "dlg_userfuncpvg.lbl_note");
      EXPECT_EQ(e.Text(IDC_KQEXTAPPS_LIST_LABEL), "dlg_userfuncpvg.lbl_ext_add");
      EXPECT_EQ(e.Text(IDC_KQEXTAPPS_LIMIT_NOTE), "dlg_userfuncpvg.no pvg limit");
      ASSERT_TRUE(e.SetText(IDC_KQEXTAPPS_LIST, " acad.exe, it's.exe "));
      ASSERT_TRUE(e.Click(IDOK));
      EXPECT_FALSE(e.Dialog().IsRunning());
    });
    DoubleClickCell(d, "KQCHECK", FlowCol(d));
    EXPECT_EQ(Cell(d, "KQDECRPT", FlowCol(d)), "acad.exe, it's.exe");
    EXPECT_EQ(Cell(d, "KQCHECK", FlowCol(d)), "acad.exe, it's.exe");
    // Cancel closes without writing.
    module_.user().OnDialog(IDD_KQEXTAPPS, [&](DialogDriver& e) {
      ASSERT_TRUE(e.SetText(IDC_KQEXTAPPS_LIST, "other.exe"));
      ASSERT_TRUE(e.Click(IDCANCEL));
    });
    DoubleClickCell(d, "KQDECRPT", FlowCol(d));
    EXPECT_EQ(Cell(d, "KQDECRPT", FlowCol(d)), "acad.exe, it's.exe");
  });
  EXPECT_EQ(StoredApps(kBobNid), "acad.exe, it's.exe");
  EXPECT_TRUE(Messages().empty());
}

TEST_P(EndpointColumnTest, AnEmptyListIsStoredOnlyOnceClearingIsConfirmed) {
  WriteStore(storePath_, "update UUSR set CDECFLWAPPS = 'acad.exe' where NID = 309");
  module_.SetHostText("kqflow/dec ext", "true");
  StartAsAdmin();
  RunEditor("KQFLOWUSER", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    module_.user().OnDialog(IDD_KQEXTAPPS, [&](DialogDriver& e) {
      module_.user().AnswerNextMessageBox(IDCANCEL);
      ASSERT_TRUE(e.Click(IDOK));
      EXPECT_TRUE(e.Dialog().IsRunning()) << "Cancel keeps the dialog open";
      EXPECT_EQ(StoredApps(kBobNid), "acad.exe");
      module_.user().AnswerNextMessageBox(IDOK);
      ASSERT_TRUE(e.Click(IDOK));
      EXPECT_FALSE(e.Dialog().IsRunning());
    });
    DoubleClickCell(d, "KQDECRPT", FlowCol(d));
    EXPECT_EQ(Cell(d, "KQDECRPT", FlowCol(d)), "");
  });
  EXPECT_EQ(StoredApps(kBobNid), "");
  ASSERT_EQ(module_.user().MessageBoxes().size(), 2u);
  for (const hrz::MessageBoxCall& box : module_.user().MessageBoxes()) {
    EXPECT_EQ(box.text, "dlg_userfuncpvg.sure clr apps");
    EXPECT_EQ(box.caption, "dlg_userfuncpvg.btn_add_apps");
    EXPECT_EQ(box.type, MB_OKCANCEL | MB_ICONEXCLAMATION);
  }
}

// Only "KQDECRPT" and "KQCHECK" carry the applications; a "true" text of "kqflow"/"dec ext"
// chooses the free-text dialog, any other text or none the tree of the policy's applications.
TEST_P(EndpointColumnTest, TheApplicationCellsOpenTheDialogTheHostTextChooses) {
  struct Case {
    const char* decExt;  // null: the host has no text
    const char* code;
    int opens;  // the dialog template, 0 for none
  };
  const Case cases[] = {{"true", "KQDECRPT", IDD_KQEXTAPPS},
                        {"TRUE", "KQCHECK", IDD_KQEXTAPPS},
                        {"true", "KQDNDEC", 0},
                        {"true", "KQWFDOWN", 0},
                        {"yes", "KQDECRPT", IDD_DECRYPTAPPS},
                        {nullptr, "KQCHECK", IDD_DECRYPTAPPS},
                        {nullptr, "KQDNDEC", 0}};
  StartAsAdmin();
  for (const Case& c : cases) {
    module_.SetHostText("kqflow/dec ext", c.decExt != nullptr ? c.decExt : "");
    const std::size_t before = module_.user().Dialogs().size();
    RunEditor("KQFLOWUSER", [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      DoubleClickCell(d, c.code, FlowCol(d));
    });
    const std::vector<int>& dialogs = module_.user().Dialogs();
    for (int id : {IDD_KQEXTAPPS, IDD_DECRYPTAPPS}) {
      const bool opened = std::find(dialogs.begin() + before, dialogs.end(), id) != dialogs.end();
      EXPECT_EQ(opened, id == c.opens) << (c.decExt ? c.decExt : "none") << " " << c.code;
    }
  }
  EXPECT_EQ(StoredApps(kBobNid), "null");
  EXPECT_TRUE(Messages().empty());
}

// Without the free-text setting the cells open the tree of the policy's applications (its
// own tests choose from it); the test module has no policy file beside it, so the tree is
// empty and OK clears the stored list after the question, read back into both cells.
TEST_P(EndpointColumnTest, TheTreeDialogStoresItsChoiceAndTheCellsReadItBack) {
  WriteStore(storePath_, "update UUSR set CDECFLWAPPS = 'acad.exe' where NID = 309");
  StartAsAdmin();
  RunEditor("KQFLOWUSER", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    EXPECT_EQ(Cell(d, "KQCHECK", FlowCol(d)), "acad.exe");
    module_.user().OnDialog(IDD_DECRYPTAPPS, [&](DialogDriver& t) {
      module_.user().AnswerNextMessageBox(IDOK);
      ASSERT_TRUE(t.Click(IDOK));
      EXPECT_FALSE(t.Dialog().IsRunning());
    });
    DoubleClickCell(d, "KQCHECK", FlowCol(d));
    EXPECT_EQ(Cell(d, "KQDECRPT", FlowCol(d)), "");
    EXPECT_EQ(Cell(d, "KQCHECK", FlowCol(d)), "");
  });
  EXPECT_EQ(StoredApps(kBobNid), "");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userfuncpvg.sure clr apps"});
}

// The settings are a manager's to change, as the store holds them: carol may open the
// editor but not manage users, so her double-click opens nothing and the same updates sent
// past the editor are refused; dave manages through his department and stores them.
TEST_P(EndpointColumnTest, OnlyAManagerChangesTheSettingsAndTheServerAgrees) {
  SetMarks(307, "V");      // Flow Operators: carol may open the editor
  SetMarks(kQaNid, "MM");  // Quality Assurance: dave opens the editor and manages users
  SetLimits(kBobNid, "5", "0");
  module_.SetHostText("kqflow/dec ext", "true");
  StartAs("carol", "carol-pw1");
  for (const char* command : {"KQWFUSER", "KQFLOWUSER"}) {
    RunEditor(command, [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      DoubleClickCell(d, std::string(command) == "KQWFUSER" ? "KQBRWS" : "KQDECRPT",
                      std::max(FlowCol(d), LimitsCol(d)));
    });
  }
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"dlg_userfuncpvg.no pvg", "dlg_userfuncpvg.no pvg"}));
  for (int id : {IDD_WAIFACFG, IDD_KQEXTAPPS}) {
    const std::vector<int>& dialogs = module_.user().Dialogs();
    EXPECT_EQ(std::count(dialogs.begin(), dialogs.end(), id), 0) << id;
  }
  for (const char* sql : {"update UUSR set NWFMAXTM = 1, NWFMAXCNT = 1 where NID = 309",
                          "update UUSR set NWFMAXCNT = 0 where NID = 309",
                          "update UUSR set CDECFLWAPPS = 'cmd.exe' where NID = 309"}) {
    EXPECT_EQ(XCliDB_ExecuteSQL(db_.get(), sql, 0, 0), 0) << sql;
  }
  EXPECT_EQ(StoredLimits(kBobNid), "0,5");
  EXPECT_EQ(StoredApps(kBobNid), "null");

  StartAs("dave", "dave-pw1");
  RunEditor("KQWFUSER", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    module_.user().OnDialog(IDD_WAIFACFG, [&](DialogDriver& w) {
      ASSERT_TRUE(w.SetText(IDC_WAIFACFG_COUNT, "4"));
      ASSERT_TRUE(w.SetText(IDC_WAIFACFG_TIME, "2"));
      ASSERT_TRUE(w.Click(IDOK));
    });
    DoubleClickCell(d, "KQBRWS", LimitsCol(d));
    EXPECT_EQ(Cell(d, "KQBRWS", LimitsCol(d)), "4, 2");
  });
  EXPECT_EQ(StoredLimits(kBobNid), "2,4");
  EXPECT_EQ(Messages().size(), 2u) << "dave is told nothing";
  // Past the editor, a manager still stores only what the dialog could: a limit is a whole
  // number from 0 to the 32-bit maximum.
  struct Write {
    const char* value;
    bool stored;
  };
  const Write writes[] = {{"-1", false},   {"'ten'", false}, {"2147483648", false}, {"1.5", false},
                          {"null", false}, {"'7'", true},    {"2147483647", true},  {"0", true}};
  for (const Write& w : writes) {
    SetLimits(kBobNid, "5", "3");
    const std::string sql =
        std::string("update UUSR set NWFMAXTM = ") + w.value + " where NID = 309";
    EXPECT_EQ(XCliDB_ExecuteSQL(db_.get(), sql.c_str(), 0, 0), w.stored ? 1 : 0) << sql;
    EXPECT_EQ(StoredLimits(kBobNid) == "3,5", !w.stored) << sql;
  }
}

INSTANTIATE_TEST_SUITE_P(Store, EndpointColumnTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
