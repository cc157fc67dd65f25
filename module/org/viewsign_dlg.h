// CViewUserSignDlg: picks an entry of the organisation in the tree or the quick-search grid
// and opens its bitmap or drawing signature in the program the desktop registers for the
// file. "XVIEWSIGN" opens it. Own signatures are always open; the administrator sees every
// user's; anyone else only those of a user sharing a department or role, with "XUPDEPTSGN".
// The server checks the same rule again before it names the file.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "org/usrfndlg.h"
#include "xbomtree.h"
#include "xctrl_host.h"

namespace hrz {

class CViewUserSignDlg : public CCoolDialog {
 public:
  CViewUserSignDlg();

  // 1 when the chosen entry and the signed-in user hang under one node of the tree; 0
  // otherwise, after "user no dept" when the signed-in user hangs under none.
  int IsInSameDept();
  // 1 when IsInSameDept holds and the signed-in user holds "XUPDEPTSGN" (modify).
  int MayViewOthersSign();

 protected:
  BOOL OnInitDialog() override;
  void OnPaint(CDC& dc) override;

 private:
  class ResultGrid : public CUserFindGrid {
   public:
    explicit ResultGrid(CViewUserSignDlg& dialog) : dialog_(dialog) {}

   protected:
    void OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) override;

   private:
    CViewUserSignDlg& dialog_;
  };

  static void OnTreeEvent(XTree* tree, int event, int node, void* dialog);
  void OnEntryFocused(int nid, const char* kind, const std::string& code, const std::string& name);
  void FocusSignedInUser();
  void OnSearch();
  void OnUserTree();
  void OnViewBitmap();
  void OnViewDrawing();
  void View(const char* column);
  int ChosenNid() const;
  void ShowMessage(const char* text);
  void SetStatus(const char* text);

  bool treeMode_ = true;
  int chosenNid_ = -1;
  std::string status_;
  CRecObjContainer viewBox_;
  XBOMTree tree_;
  ResultGrid grid_;
};

}  // namespace hrz
