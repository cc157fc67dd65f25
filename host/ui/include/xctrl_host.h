// Hosting of trees, grids and record forms: a child window placed over an empty placeholder
// control of a dialog, holding one control that fills it.
#pragma once

#include "cwnd.h"

class CWndForXCtrl : public CWnd {
 public:
  ~CWndForXCtrl() override;
  // A child window of parent at rect (parent pixels) with id; style WS_VISIBLE shows it.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // The same over the rectangle of the placeholder control, which is hidden. FALSE when
  // parent has no such control.
  BOOL CreateOver(DWORD style, CWnd* parent, UINT placeholderId, UINT id);
};

class XCtrlContainer : public CWndForXCtrl {
 public:
  // Puts ctrl's window inside the container, filling it and following its size; null
  // releases the current one (which is then hidden, not destroyed).
  void SetXCtrl(CWnd* ctrl);
  CWnd* GetXCtrl() const { return ctrl_; }

  // Items of the hosted control (tree nodes, grid rows) are the container's items.
  bool AutomationSelect(int index) override;
  bool AutomationActivate(int index) override;
  int AutomationSelection() const override;
  bool AutomationClickPart(int index, int part) override;
  int AutomationFindItem(const std::string& text) const override;
  int AutomationItemCheck(int index) const override;

 private:
  CWnd* ctrl_ = nullptr;
};

// The container of a record form.
class CRecObjContainer : public XCtrlContainer {};
