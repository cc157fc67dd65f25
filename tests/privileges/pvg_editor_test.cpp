// The privilege editor through HRZCmd: its gate, its four modes, a node's marks as loaded,
// granting, withdrawing, saving and what the server then answers. Every test runs on a
// fresh sample store, once embedded and once over TCP.
#include <gtest/gtest.h>

#include "entry/requests.h"
#include "platform_ui.h"
#include "privileges/usrfngrd.h"
#include "pvg_fixture.h"
#include "resources/dialogs/usrfunc_ids.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class EditorTest : public PrivilegeTest {};

// In the grid's order: by category ("Pickers" before "Workflow"), then by position.
const std::vector<std::string> kAllCodes = {
    "UFUNCPVG", "UUSR",     "PDUNIREAD", "KQDECRPT",   "KQCHECK",   "KQDNDEC",  "KQWAIFA",
    "KQWFCHK",  "KQWFDOWN", "KQBRWS",    "XUPDEPTSGN", "XPRFLWCHK", "XPRFLWRLS"};

// Whether the logged-on user of db holds the modify right of code.
bool Modifies(tagXCliDB* db, const char* code) {
  int modify = -1;
  EXPECT_TRUE(XCliGetFuncPvg(db, -1, code, nullptr, &modify));
  return modify != 0;
}

TEST_P(EditorTest, OpensForTheAdministratorAndAnyoneWithTheEditorsRight) {
  SetMarks(307, "V");  // carol (Flow Operators) inherits the editor's view right
  struct Case {
    const char* code;
    const char* password;
    bool opens;
  };
  const Case cases[] = {{"adm", kAdminPassword, true},
                        {"alice", "alice-pw1", true},
                        {"carol", "carol-pw1", true},
                        {"bob", "bob-pw1", false}};
  for (const Case& c : cases) {
    StartAs(c.code, c.password);
    const std::size_t dialogs = module_.user().Dialogs().size();
    const std::size_t boxes = module_.user().MessageBoxes().size();
    RunEditor("XUSRFUNC", [](DialogDriver&) {});
    EXPECT_EQ(module_.user().Dialogs().size(), dialogs + (c.opens ? 1 : 0)) << c.code;
    ASSERT_EQ(module_.user().MessageBoxes().size(), boxes + (c.opens ? 0 : 1)) << c.code;
    if (!c.opens) {
      const hrz::MessageBoxCall& box = module_.user().MessageBoxes().back();
      EXPECT_EQ(box.text, "dlg_userfuncpvg.no pvg");
      EXPECT_EQ(box.caption, "dlg_userfuncpvg.mb_cap");
      EXPECT_EQ(box.type, MB_OK | MB_ICONEXCLAMATION);
    }
  }
}

TEST_P(EditorTest, EachModeShowsItsRowsAndColumnsAndTheNodeChosen) {
  SetMarks(307, "XXXM");  // Flow Operators: carol inherits the decrypt right
  SetMarks(kBobNid, "XXXXXXXXXM");
  StartAsAdmin();
  struct Case {
    const char* command;
    const char* caption;
    std::vector<std::string> codes;
    int nid;
    const char* code;
    const char* modify;
  };
  const Case cases[] = {
      {"XUSRFUNC", "dlg_userfuncpvg.dlg_cap", kAllCodes, kAliceNid, "UFUNCPVG", "NN"},
      {"kqflowuser",
       "dlg_userfuncpvg.dlg_cap_kqflow_user",
       {"KQDECRPT", "KQCHECK", "KQDNDEC", "KQWAIFA", "KQWFCHK", "KQWFDOWN"},
       310,
       "KQDECRPT",
       "NT"},
      {"KQWFUSER", "dlg_userfuncpvg.dlg_cap_waifa_users", {"KQBRWS"}, kBobNid, "KQBRWS", "TN"},
      {"XPrFlwChk",
       "dlg_userfuncpvg.dlg_cap_prflwrw",
       {"XPRFLWCHK", "XPRFLWRLS"},
       kAliceNid,
       "XPRFLWCHK",
       "NT"},
  };
  for (const Case& c : cases) {
    RunEditor(c.command, [&](DialogDriver& d) {
      EXPECT_EQ(d.Caption(), c.caption);
      EXPECT_EQ(VisibleCodes(d), c.codes) << c.command;
      hrz::XFuncPvgGrid& grid = GridOf(d);
      const bool restricted = c.codes.size() < kAllCodes.size();
      EXPECT_EQ(grid.GetColumnWidth(grid.ViewCol()) == 0, restricted) << c.command;
      EXPECT_EQ(grid.GetItemString(0, grid.ModifyCol()),
                restricted ? "dlg_userfuncpvg.col yn pvg" : "Modify");
      EXPECT_EQ(grid.ShownNid(), -1) << "nothing is shown before a node is chosen";
      EXPECT_EQ(ModifyCell(d, c.code), "") << c.command;
      ASSERT_TRUE(ClickRecord(d, c.nid)) << c.command;
      EXPECT_EQ(grid.ShownNid(), c.nid);
      EXPECT_EQ(ModifyCell(d, c.code), c.modify) << c.command;
      EXPECT_EQ(ViewCell(d, "UFUNCPVG"), c.nid == kAliceNid ? "TN" : "NN") << c.command;
    });
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_P(EditorTest, ADoubleClickBeforeANodeIsChosenAsksForOne) {
  StartAsAdmin();
  RunEditor("XUSRFUNC", [](DialogDriver& d) {
    DoubleClickMark(d, "UUSR", true);
    EXPECT_EQ(ModifyCell(d, "UUSR"), "");
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userfuncpvg.must sel node"});
}

// Each stored string against the cells it gives; the grantor cell names the user stored
// beside each mark.
TEST_P(EditorTest, ReadsEachStoredStringAsItsMarks) {
  struct Mark {
    const char* code;
    const char* view;
    const char* modify;
    const char* grantor;
  };
  struct Case {
    int nid;
    const char* marks;  // null: no row at all
    int grantor;
    std::vector<Mark> expected;
  };
  const Case cases[] = {
      {kSalesNid, nullptr, 0, {{"UFUNCPVG", "NN", "NN", ""}, {"KQDECRPT", "NN", "NN", ""}}},
      {kSalesNid, "", 0, {{"UFUNCPVG", "NN", "NN", ""}, {"UUSR", "NN", "NN", ""}}},
      {kQaNid,
       "XVXM",
       kBobNid,
       {{"UFUNCPVG", "NN", "NN", ""},
        {"UUSR", "TN", "NN", "bob"},
        {"PDUNIREAD", "NN", "NN", ""},
        {"KQDECRPT", "NN", "TN", "bob"}}},
      {315, "xvXm", kAdminNid, {{"UUSR", "TN", "NN", "adm"}, {"KQDECRPT", "NN", "TN", "adm"}}},
      {307, "VQ-", 0, {{"UFUNCPVG", "TN", "NN", ""}, {"UUSR", "NN", "NN", ""}}},
      {kSalesNid, "XXXXXXXXXXXV", 999, {{"XPRFLWRLS", "TN", "NN", ""}}},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    if (c.marks == nullptr) {
      WriteStore(storePath_, "delete from SRV_PRIVILEGE where NID = " + std::to_string(c.nid));
    } else {
      SetMarks(c.nid, c.marks, c.grantor);
    }
    RunEditor("XUSRFUNC", [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.nid));
      for (const Mark& m : c.expected) {
        const std::string what = std::string(c.marks ? c.marks : "none") + " " + m.code;
        EXPECT_EQ(ViewCell(d, m.code), m.view) << what;
        EXPECT_EQ(ModifyCell(d, m.code), m.modify) << what;
        EXPECT_EQ(Grantor(d, m.code), m.grantor) << what;
      }
    });
  }
}

TEST_P(EditorTest, AGrantSavedCountsAtOnceAndAWithdrawalSavedOnCloseToo) {
  Connection bob = LogonAs("bob", "bob-pw1");
  ASSERT_FALSE(Modifies(bob.get(), "UUSR"));
  StartAsAdmin();
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "UUSR", true);
    EXPECT_EQ(ModifyCell(d, "UUSR"), "TN");
    EXPECT_EQ(Grantor(d, "UUSR"), "adm");
    EXPECT_EQ(StoredMarks(kBobNid), "<none>") << "nothing is sent before a save";
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_EQ(ShownTips(), std::vector<std::string>{"dlg_userman.save done"});
  });
  EXPECT_EQ(StoredMarks(kBobNid), "XM");
  EXPECT_EQ(StoredGrantors(kBobNid), "0,1");
  EXPECT_TRUE(Modifies(bob.get(), "UUSR")) << "the open session sees the grant";
  EXPECT_TRUE(Modifies(LogonAs("bob", "bob-pw1").get(), "UUSR")) << "and a new one";

  module_.user().AnswerNextMessageBox(IDYES);  // "dirty yn save"
  module_.user().AnswerNextMessageBox(IDYES);  // "ask reload svr"
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    EXPECT_EQ(ModifyCell(d, "UUSR"), "TN") << "read back";
    EXPECT_EQ(Grantor(d, "UUSR"), "adm");
    DoubleClickMark(d, "UUSR", true);
    EXPECT_EQ(ModifyCell(d, "UUSR"), "NN");
    EXPECT_EQ(Grantor(d, "UUSR"), "adm") << "the grantor stays until the save";
    ASSERT_TRUE(d.Click(IDCANCEL));
    EXPECT_FALSE(d.Dialog().IsRunning());
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"normal_res.dirty yn save",
                                                  "dlg_userfuncpvg.ask reload svr"}));
  EXPECT_EQ(module_.user().MessageBoxes()[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(StoredMarks(kBobNid), "<none>") << "no rights: no row";
  EXPECT_FALSE(Modifies(bob.get(), "UUSR"));
}

TEST_P(EditorTest, BothMarksOnOneEntryStoreModifyAndReadBackAsModifyOnly) {
  StartAsAdmin();
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "KQCHECK", false);
    DoubleClickMark(d, "KQCHECK", true);
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_EQ(StoredMarks(kBobNid), "XXXXM");
    ASSERT_TRUE(ClickRecord(d, kAliceNid));
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    EXPECT_EQ(ViewCell(d, "KQCHECK"), "NN");
    EXPECT_EQ(ModifyCell(d, "KQCHECK"), "TN");
  });
}

// A restricted mode hides rows but saves the node's whole string: the hidden rights stay.
TEST_P(EditorTest, SavingInARestrictedModeKeepsTheRightsItHides) {
  SetMarks(kBobNid, "MXV", 314);
  StartAsAdmin();
  RunEditor("KQWFUSER", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "KQBRWS", true);
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_EQ(StoredMarks(kBobNid), "MXVXXXXXXM");
  EXPECT_EQ(StoredGrantors(kBobNid), "314,0,314,0,0,0,0,0,0,1");
}

// The marks a department or role gives are shown on every record below it, all levels
// down, and the message area names where each comes from.
TEST_P(EditorTest, InheritedMarksShowOnMembersAndTheMessageNamesTheirSource) {
  SetMarks(kMechNid, "XXV");
  WriteStore(storePath_, "update UUSRFN set CDESC = '' where CCODE = 'KQCHECK'");
  StartAsAdmin();
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kAliceNid));  // in CAD (under MECH, ENG), QA and REVIEW
    EXPECT_EQ(ViewCell(d, "PDUNIREAD"), "NT");
    EXPECT_EQ(ModifyCell(d, "XPRFLWCHK"), "NT");
    EXPECT_EQ(ViewCell(d, "UFUNCPVG"), "TN");
    EXPECT_EQ(MessageOfRow(d, "PDUNIREAD"),
              "Read every drawing\nview from Mechanical Design (MECH), Engineering (ENG)");
    EXPECT_EQ(MessageOfRow(d, "XPRFLWCHK"), "Check workflow items\nmodify from Reviewers (REVIEW)");
    EXPECT_EQ(MessageOfRow(d, "UFUNCPVG"), "Open the privilege editor") << "an own mark";
    EXPECT_EQ(MessageOfRow(d, "KQCHECK"), "dlg_userfuncpvg.how fn pvg") << "no description";

    ASSERT_TRUE(ClickRecord(d, kSalesNid));
    DoubleClickMark(d, "KQCHECK", true);
    EXPECT_EQ(ModifyCell(d, "KQCHECK"), "TN");
    ASSERT_TRUE(ClickRecord(d, 310));  // carol, in SALES: the click saved SALES first
    EXPECT_EQ(ModifyCell(d, "KQCHECK"), "NT");
    EXPECT_EQ(MessageOfRow(d, "KQCHECK"), "dlg_userfuncpvg.how fn pvg\nmodify from Sales (SALES)");
  });
  EXPECT_EQ(StoredMarks(kSalesNid), "XXXXM");
}

TEST_P(EditorTest, WithoutTheManagersRightNothingIsGrantedOrWithdrawnAndTheServerAgrees) {
  StartAs("alice", "alice-pw1");  // the editor's view right, granted by adm
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    EXPECT_FALSE(d.IsVisible(IDC_USRFUNC_MENU_PVG)) << "the administrator's alone";
    EXPECT_FALSE(d.IsVisible(IDC_USRFUNC_NEW_PVG));
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "UUSR", true);
    EXPECT_EQ(ModifyCell(d, "UUSR"), "NN");
    ASSERT_TRUE(ClickRecord(d, kAliceNid));
    DoubleClickMark(d, "UFUNCPVG", false);
    EXPECT_EQ(ViewCell(d, "UFUNCPVG"), "TN");
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"dlg_userfuncpvg.no pvg",
                                                  "dlg_userfuncpvg.can not redraw pvg"}));
  // The same changes sent past the editor.
  EXPECT_FALSE(hrz::SavePrivilegeSet(db_.get(), nullptr, kBobNid, "XM", {0, kAliceNid}));
  EXPECT_FALSE(hrz::SavePrivilegeSet(db_.get(), nullptr, kAliceNid, "", {}));
  EXPECT_EQ(StoredMarks(kBobNid), "<none>");
  EXPECT_EQ(StoredMarks(kAliceNid), "V");
}

// A manager grants, and withdraws only its own grants; the administrator's stay.
TEST_P(EditorTest, AManagerWithdrawsOnlyWhatItGranted) {
  SetMarks(kQaNid, "MM");  // dave (QA) opens the editor and manages users
  SetMarks(kBobNid, "XXXXV");
  StartAs("dave", "dave-pw1");
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "KQCHECK", false);
    EXPECT_EQ(ViewCell(d, "KQCHECK"), "TN") << "granted by adm";
    DoubleClickMark(d, "UUSR", false);
    EXPECT_EQ(Grantor(d, "UUSR"), "dave");
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_EQ(StoredMarks(kBobNid), "XVXXV");
    EXPECT_EQ(StoredGrantors(kBobNid), "0,311,0,0,1");
    DoubleClickMark(d, "UUSR", false);
    EXPECT_EQ(ViewCell(d, "UUSR"), "NN");
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_EQ(StoredMarks(kBobNid), "XXXXV");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userfuncpvg.can not redraw pvg"});
}

// The editor lets a manager raise another's view right to modify; the server refuses the
// save, and the click to another node asks: OK stays with the marks, Cancel drops them.
TEST_P(EditorTest, AFailedSaveOnANodeChangeStaysOrDropsTheMarks) {
  SetMarks(kQaNid, "MM");
  SetMarks(kBobNid, "XXV");
  StartAs("dave", "dave-pw1");
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "PDUNIREAD", true);
    module_.user().AnswerNextMessageBox(IDOK);
    ASSERT_TRUE(ClickRecord(d, kAliceNid));
    EXPECT_EQ(FocusedNid(d), kBobNid) << "OK goes back";
    EXPECT_EQ(GridOf(d).ShownNid(), kBobNid);
    EXPECT_EQ(ModifyCell(d, "PDUNIREAD"), "TN") << "the marks stay";
    module_.user().AnswerNextMessageBox(IDCANCEL);
    ASSERT_TRUE(ClickRecord(d, kAliceNid));
    EXPECT_EQ(FocusedNid(d), kAliceNid);
    EXPECT_EQ(GridOf(d).ShownNid(), kAliceNid);
    EXPECT_EQ(ViewCell(d, "UFUNCPVG"), "TN");
  });
  EXPECT_EQ(StoredMarks(kBobNid), "XXV");
  EXPECT_EQ(Messages(), (std::vector<std::string>{"dlg_userfuncpvg.save error continue",
                                                  "dlg_userfuncpvg.save error continue"}));
}

// A mark at a catalogue position a string cannot hold (512 and up), or on an entry
// without a position, is reported as a failure: by Save, by a click to another node and by
// closing. Nothing is stored until it is withdrawn, and then the other marks are.
TEST_P(EditorTest, AMarkWithoutAStorablePositionFailsTheSaveAndLosesNothing) {
  WriteStore(storePath_,
             "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC, CCAT) values "
             "(20, 'FAR', 'Far', 512, 'Beyond the string', 'Z'), "
             "(21, 'NOWHERE', 'Nowhere', null, 'No position', 'Z')");
  StartAsAdmin();
  for (const char* code : {"FAR", "NOWHERE"}) {
    const std::size_t before = Messages().size();
    RunEditor("XUSRFUNC", [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      DoubleClickMark(d, "UUSR", true);
      DoubleClickMark(d, code, true);
      ASSERT_TRUE(d.Click(IDOK));
      EXPECT_EQ(StoredMarks(kBobNid), "<none>") << code;
      EXPECT_TRUE(ShownTips().empty()) << "no \"save done\"";
      module_.user().AnswerNextMessageBox(IDOK);  // stay
      ASSERT_TRUE(ClickRecord(d, kAliceNid));
      EXPECT_EQ(FocusedNid(d), kBobNid);
      module_.user().AnswerNextMessageBox(IDYES);  // save before closing
      ASSERT_TRUE(d.Click(IDCANCEL));
      EXPECT_TRUE(d.Dialog().IsRunning()) << "a failed save keeps the editor open";
      DoubleClickMark(d, code, true);
      ASSERT_TRUE(d.Click(IDOK));
      EXPECT_EQ(StoredMarks(kBobNid), "XM") << code;
      DoubleClickMark(d, "UUSR", true);
      ASSERT_TRUE(d.Click(IDOK));
    });
    const std::string failure = std::string(code) + " has no place";
    EXPECT_EQ(MessagesSince(before),
              (std::vector<std::string>{failure, failure, "dlg_userfuncpvg.save error continue",
                                        "normal_res.dirty yn save", failure}));
    EXPECT_EQ(StoredMarks(kBobNid), "<none>");
  }
}

// Closing asks to save only a changed node, and to reload the server only after a save.
TEST_P(EditorTest, ClosingAsksOnlyWhatItMust) {
  struct Case {
    const char* what;
    const char* storedBefore;  // null: no row
    bool grant;
    bool save;
    std::vector<int> answers;  // one per question asked
    std::vector<std::string> asked;
    const char* stored;
  };
  const Case cases[] = {
      {"unchanged", nullptr, false, false, {}, {}, "<none>"},
      {"the same rights written otherwise", "vQx", false, false, {}, {}, "vQx"},
      {"saved", nullptr, true, true, {IDNO}, {"dlg_userfuncpvg.ask reload svr"}, "XM"},
      {"changed, not saved", nullptr, true, false, {IDNO}, {"normal_res.dirty yn save"}, "<none>"},
      {"changed, saved on closing",
       nullptr,
       true,
       false,
       {IDYES, IDNO},
       {"normal_res.dirty yn save", "dlg_userfuncpvg.ask reload svr"},
       "XM"},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    WriteStore(storePath_, "delete from SRV_PRIVILEGE where NID = 309");
    if (c.storedBefore != nullptr) SetMarks(kBobNid, c.storedBefore);
    const std::size_t before = Messages().size();
    for (int answer : c.answers) module_.user().AnswerNextMessageBox(answer);
    RunEditor("XUSRFUNC", [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      if (c.grant) DoubleClickMark(d, "UUSR", true);
      if (c.save) {
        ASSERT_TRUE(d.Click(IDOK));
      }
      ASSERT_TRUE(d.Click(IDCANCEL));
      EXPECT_FALSE(d.Dialog().IsRunning()) << c.what;
    });
    EXPECT_EQ(MessagesSince(before), c.asked) << c.what;
    EXPECT_EQ(StoredMarks(kBobNid), c.stored) << c.what;
  }
}

// "PDUNIREAD" changes go to the host's log as the save that makes them; other rights and a
// catalogue without that entry write nothing.
TEST_P(EditorTest, DrawingGlobalReadChangesAreLoggedWithTheirNewValue) {
  struct Step {
    bool drawingRight;  // else "UUSR"
    bool modify;
  };
  const Step steps[] = {{false, false}, {true, false}, {true, true}, {true, true}, {true, false}};
  struct Case {
    const char* drawingCode;
    std::vector<std::string> logged;
  };
  const Case cases[] = {{"PDUNIREAD",
                         {"309,2,Dwg Global Read", "309,2,Dwg Global Read", "309,2,Dwg Global Read",
                          "309,0,Dwg Global Read"}},
                        {"DWGREAD", {}}};
  StartAsAdmin();
  for (const Case& c : cases) {
    WriteStore(storePath_, "delete from SRV_LOG");
    WriteStore(storePath_, "delete from SRV_PRIVILEGE where NID = 309");
    WriteStore(storePath_,
               std::string("update UUSRFN set CCODE = '") + c.drawingCode + "' where NID = 3");
    RunEditor("XUSRFUNC", [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      for (const Step& s : steps) {
        DoubleClickMark(d, s.drawingRight ? c.drawingCode : "UUSR", s.modify);
        ASSERT_TRUE(d.Click(IDOK));
      }
    });
    EXPECT_EQ(StoreTexts("select NTARGET || ',' || CVALUE || ',' || CTEXT from SRV_LOG where "
                         "CACTION = 'ASGNDWGPVG' order by rowid"),
              c.logged)
        << c.drawingCode;
    EXPECT_EQ(StoredMarks(kBobNid), "XV") << c.drawingCode;
  }
}

INSTANTIATE_TEST_SUITE_P(Store, EditorTest, ::testing::Values(Via::kEmbedded, Via::kTcp), ViaName);

}  // namespace
}  // namespace hrztest
