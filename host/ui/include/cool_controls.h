// The simple controls of the widget library. Each wraps the Qt widget made for a template
// control (bind a member with SubclassDlgItem or DDX_Control) or creates one with Create.
// Operations on a control of another kind do nothing and return the failure value.
#pragma once

#include <string>

#include "cwnd.h"

constexpr int CB_ERR = -1;
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int BST_INDETERMINATE = 2;

// Text formats (CCoolLabel::SetTextFormat, CDC::DrawText).
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;

class CCoolButton : public CWnd {
 public:
  // style: BS_PUSHBUTTON or BS_DEFPUSHBUTTON plus WS_ flags; rect in the parent's pixels.
  BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // Text colours for the states normal, hover, pressed, focused and disabled.
  void SetTextColors(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF focused,
                     COLORREF disabled);
  COLORREF GetTextColor() const;  // the normal one; black until set
  void SetIcon(HICON icon);
};

class CCoolLabel : public CWnd {
 public:
  BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // DT_ flags: horizontal and vertical alignment, DT_WORDBREAK wraps, DT_SINGLELINE does not.
  void SetTextFormat(UINT format);
  UINT GetTextFormat() const;
  void SetTextColor(COLORREF color);
};

class CCoolEdit : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // Limits what the user can type to maxChars characters (code points); text set by the
  // program is not cut (as with the original edit control), so data exchange can still find
  // it too long. 0 removes the limit.
  void LimitText(int maxChars);
  int GetLimitText() const;
  // 0 shows the text; any other character hides it.
  void SetPasswordChar(char ch);
  BOOL GetModify() const;  // changed by the user since the text was last set
  void SetModify(BOOL modified);
  void SetReadOnly(BOOL readOnly);
  void SetSel(int start, int end);
};

class CCoolMaskEdit : public CCoolEdit {
 public:
  // The kind of input the record form expects (0 none); kept with the control.
  void SetMaskType(int type);
  int GetMaskType() const;
};

class CCoolComboBox : public CWnd {
 public:
  // style: CBS_DROPDOWN (editable) or CBS_DROPDOWNLIST, optionally CBS_SORT.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int AddString(const char* text);                // index, sorted when CBS_SORT
  int InsertString(int index, const char* text);  // -1 appends
  int DeleteString(int index);                    // remaining count, CB_ERR for a bad index
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;     // CB_ERR when none
  int SetCurSel(int index);  // -1 clears; CB_ERR for a bad index
  std::string GetLBText(int index) const;
  int GetLBText(int index, char* buffer, int capacity) const;  // bounded; CB_ERR for a bad index
  int FindStringExact(int start, const char* text) const;      // without regard to case
  int SelectString(int start, const char* prefix);
  int SetItemData(int index, DWORD_PTR data);
  DWORD_PTR GetItemData(int index) const;
  void LimitText(int maxChars);

  bool AutomationSelect(int index) override;
  int AutomationSelection() const override;
};

class CCoolCheckBox : public CWnd {
 public:
  // style: BS_AUTOCHECKBOX or BS_AUTORADIOBUTTON plus WS_ flags.
  BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetCheck(int state);
  int GetCheck() const;
};

class CCoolProgress : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetRange(int lower, int upper);
  void GetRange(int* lower, int* upper) const;
  int SetPos(int pos);  // returns the previous position
  int GetPos() const;
  int SetStep(int step);
  int StepIt();  // advances by the step, wrapping to the start past the end; returns the old
};
