// CSelUsrLgnMacDlg: picks a client machine from the client setup information
// ("USETUPINFO", the host's "SetupInfo Grid") and yields its machine code. ShowInfo writes
// the focused row's headings and values to "hrzmsg.txt" in the temporary folder and opens
// it with the shell.
//
// AddLoginMachine: the record pane's machine code button. It runs the picker and appends the
// picked code to the record's "UUSR.CLGNMAC" field unless the field holds it already; the
// record is saved by the editor as usual.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "tips.h"
#include "xctrl_host.h"
#include "xfindgrid.h"

class XShowRecObjCtrl;

namespace hrz {

// The longest machine list the record field takes, in characters.
constexpr int kMachineListMaxChars = 511;

class CSelUsrLgnMacDlg : public CCoolDialog {
 public:
  CSelUsrLgnMacDlg();

  // After OK: the machine code of the chosen row, at most 127 characters.
  const std::string& PickedCode() const { return picked_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnPaint(CDC& dc) override;

 private:
  void OnSearch();
  void OnShowInfo();
  static void OnGridEvent(XGrid* grid, int event, int row, int col, void* dialog);

  XCtrlContainer gridBox_;
  XPrdFindGrid grid_;
  CCoolToolTip toolTip_;
  std::string picked_;
};

// The headings and cells of row for every column wider than 0: "heading: cell" lines
// joined by CR LF, without a line end after the last.
std::string GridRowDetails(const XGrid& grid, int row);

// Returns true when the field was changed.
bool AddLoginMachine(XShowRecObjCtrl& record, HWND owner);

}  // namespace hrz
