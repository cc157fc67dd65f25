// CSetDeptIpDlg: one login IP list for a department and everything below it. OK checks each
// comma-separated piece with the dialog's rule (CheckDeptIp) and keeps the text as typed.
//
// SetDeptIpFromNode: the record pane's department IP action. It runs the dialog on the
// list of a tree node and writes the result to the node and every node below it whose NID
// is above 300; the system's reserved entries keep theirs.
#pragma once

#include <string>

#include "cool_dialog.h"

class XBOMTree;

namespace hrz {

// The longest list the dialog takes, in characters.
constexpr int kDeptIpListMaxChars = 511;
// Entries up to this NID (the administrator, the root) are the system's own.
constexpr int kLastReservedNid = 300;

class CSetDeptIpDlg : public CCoolDialog {
 public:
  CSetDeptIpDlg();

  std::string initialList;  // set before DoModal
  std::string resultList;   // after OK: the list as typed

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
};

// Returns true when the dialog ended with OK and the list was written; every failed write
// is told in one message ("ip write fail"), otherwise "ip ok" is shown.
bool SetDeptIpFromNode(XBOMTree& tree, int node, HWND owner);

}  // namespace hrz
