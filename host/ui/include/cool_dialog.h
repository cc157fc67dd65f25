// CCoolDialog: a modal dialog built from a dialog template of the current resource module.
// DoModal creates the window and its controls, calls OnInitDialog, tells the installed
// automation (automation.h) that the dialog is ready, and runs until EndDialog.
//
// Commands: control notifications arrive in OnCommand; handlers mapped with MapCommand
// (clicks) or MapNotify (other codes) run first, then IDOK and IDCANCEL go to OnOK and
// OnCancel. Keys reach PreTranslateMessage before the control that has the focus.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "cdc.h"
#include "cool_controls.h"
#include "cwnd.h"

class CCoolDialog;
namespace hrz {
struct DialogTemplate;
class DialogWidget;
}  // namespace hrz

// Data exchange between controls and members (DoDataExchange).
class CDataExchange {
 public:
  CDataExchange(CCoolDialog* dialog, BOOL saveAndValidate)
      : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  // Marks the exchange failed; the exchanges after it do nothing.
  void Fail() { failed_ = true; }
  bool Failed() const { return failed_; }

  CCoolDialog* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
  int m_idLastControl = 0;  // the control of the last DDX_Text, for DDV_MaxChars

 private:
  bool failed_ = false;
};

void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// A fixed buffer: on save the text is cut to capacity-1 bytes.
void DDX_Text(CDataExchange* pDX, int id, char* buffer, int capacity);
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// After the DDX_Text of the same control: on load limits what the user can type; on save a
// text of more than maxChars characters (code points, not bytes) shows "Enter no more than
// N characters.", focuses the control and fails.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int maxChars);

constexpr UINT SIZE_RESTORED = 0;

class CCoolDialog : public CWnd {
 public:
  explicit CCoolDialog(UINT templateId, CWnd* parent = nullptr);
  ~CCoolDialog() override;

  // IDOK, IDCANCEL or the value given to EndDialog; -1 when the dialog cannot be created
  // (no template under the current resource handle, or no application).
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  UINT GetTemplateId() const { return templateId_; }
  bool IsRunning() const { return running_; }

  // Changes mapping the template's dialog units into this dialog's pixels.
  void MapDialogRect(RECT* rect) const;
  void SetIcon(HICON icon, BOOL big);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
  BOOL KillTimer(UINT_PTR id);

  // The window's own routines, called by the window system; public so that the window
  // and the automation can reach them.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnPaint(CDC& dc);
  virtual void OnTimer(UINT_PTR id);

 protected:
  virtual BOOL OnInitDialog();  // UpdateData(FALSE); TRUE lets the first control take focus
  virtual void OnOK();          // UpdateData(TRUE), then EndDialog(IDOK)
  virtual void OnCancel();      // EndDialog(IDCANCEL)
  virtual void OnDestroy();     // the controls still exist
  virtual void DoDataExchange(CDataExchange* pDX);
  void OnClose() override;

  // Handler maps, usually filled in the constructor.
  template <class Dialog>
  void MapCommand(int id, void (Dialog::*handler)()) {
    MapNotify(id, BN_CLICKED, handler);
  }
  template <class Dialog>
  void MapNotify(int id, int code, void (Dialog::*handler)()) {
    Dialog* self = static_cast<Dialog*>(this);
    handlers_[{id, code}] = [self, handler] { (self->*handler)(); };
  }

 private:
  friend class hrz::DialogWidget;
  bool CreateWindow(const hrz::DialogTemplate& dialogTemplate);

  UINT templateId_;
  CWnd* parent_;
  bool running_ = false;
  int result_ = IDCANCEL;
  int baseX_ = 6;  // dialog base units of the dialog font
  int baseY_ = 13;
  std::map<std::pair<int, int>, std::function<void()>> handlers_;
  std::map<UINT_PTR, int> timers_;  // id -> Qt timer id
  std::unique_ptr<hrz::DialogWidget> window_;
};
