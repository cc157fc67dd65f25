// Record forms. XRecObjCtrl builds a form from a layout (a named host layout or a layout
// script in the outline syntax); XShowRecObjCtrl shows one record in it and lets the user
// edit it; XUpdateRecObjCtrl tells which fields changed; XWhereRecObjCtrl turns typed words
// into LIKE patterns.
//
// Fields are addressed by configuration node: 1 for the first control of the layout, in
// form order; 0 or less means none.
#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "cwnd.h"
#include "hrzlib.h"

struct tagXCliDB;
class QWidget;

namespace hrz::ui {
struct XFormLayout;
class XFormWidget;
}  // namespace hrz::ui

// Items of GetCtrlCfgData.
constexpr int XCTRLCFG_EDITABLE = 8;  // 4 bytes; byte 2 is 0 when the field is not editable
constexpr int XCTRLCFG_REQUIRED = 9;  // 4 bytes; byte 2 is not 0 when a value is required
constexpr int XCTRLCFG_FIELD = 10;    // XCtrlFieldItem
constexpr unsigned short XFIELD_TYPE_TEXT = 1;
constexpr unsigned short XFIELD_TYPE_NOT_SAVED = 129;  // shown only, never sent in a save

struct XCtrlFieldItem {
  char field[64] = {};          // bound field, "TABLE.COLUMN"; empty when unbound
  unsigned short typeCode = 0;  // XFIELD_TYPE_*
};

class XRecObjCtrl : public CWnd {
 public:
  XRecObjCtrl();
  ~XRecObjCtrl() override;

  // Places the form in a parent window (a CRecObjContainer, usually) at rect with id; the
  // style WS_VISIBLE shows it.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetDB(tagXCliDB* db) { db_ = db; }
  tagXCliDB* GetDB() const { return db_; }
  void SetParentLib(tagHRZLib* lib) { lib_ = lib; }
  tagHRZLib* GetParentLib() const { return lib_; }

  // Builds the form from a layout script; FALSE (and the form left as it was) on a script
  // error, whose line and reason LastError gives.
  BOOL LoadLayoutScript(const char* script);
  // Builds the form from the host's layout of that name.
  BOOL LoadLayout(const char* layoutName);
  const std::string& LastError() const { return lastError_; }
  // Places the controls for the current size.
  void Layout();

  // The layout's name ("UUSR New"), empty before one is loaded.
  const char* GetCurrentObj() const;
  int GetCtrlCount() const;
  int GetCtrlCfgNode(const char* ctrlName) const;
  int GetCtrlCfgNodeFromOrgFldName(const char* field) const;
  // Copies a configuration item of a node into buffer; the bytes copied, 0 when the node
  // or item does not exist or the buffer is too small.
  int GetCtrlCfgData(int node, int item, void* buffer, int size) const;
  // The control's kind ("edit", "combo", "check box", "button", "label") and name.
  const char* GetCtrlKind(int node) const;
  const char* GetCtrlName(int node) const;
  const char* GetCtrlLabel(int node) const;
  // The control's window; null for a bad node.
  CWnd* GetCtrlWnd(int node) const;
  BOOL SetCtrlReadOnly(int node, BOOL readOnly);
  BOOL SetFirstCtrlAsFocus();

  // Keys typed in the form's controls pass here first (WM_KEYDOWN): Enter in a one-line
  // field moves on to the next field instead of reaching the dialog. TRUE when used.
  virtual BOOL PreTranslateMessage(MSG* msg);

  // A button's plug-in entry, called as entry(20, name, params, buffer); null when the
  // button has none. The host provides "XNEWCODE": params[0] is the connection, buffer
  // (256 bytes) holds a table name and receives an unused code for it.
  static HRZCmdFunc LoadButtonLib(const char* buttonName);
  static void RegisterButtonLib(const char* buttonName, HRZCmdFunc entry);

 protected:
  // A form button was pressed; return non-zero when handled.
  virtual int ButtonMessage(const char* buttonName, int node);
  hrz::ui::XFormLayout* Form() const { return form_.get(); }

 private:
  friend class hrz::ui::XFormWidget;
  QPointer<QWidget> page_;  // owned, unless its parent window deletes it first
  tagXCliDB* db_ = nullptr;
  tagHRZLib* lib_ = nullptr;
  std::unique_ptr<hrz::ui::XFormLayout> form_;
  std::string lastError_;
};

class XShowRecObjCtrl : public XRecObjCtrl {
 public:
  XShowRecObjCtrl();

  // Makes layout the form's layout; the form is rebuilt when the name differs or force is
  // set. FALSE when there is no such layout.
  virtual BOOL InitCtrls(const char* layout, BOOL force = TRUE);
  // Reads and shows one record: for each of count tables (the layout's record table and
  // optionally its link table) the row with the matching NID. FALSE when the record table's
  // row cannot be read.
  virtual BOOL ShowRec(const char* const* tables, const int* nids, int count, int mode = 1,
                       int reserved = 0);
  // Empties every field and forgets the shown record.
  virtual BOOL ClearRec(BOOL redraw = TRUE);
  void SetShowRecNID(const char* const* tables, const int* nids, int count);
  int GetShowRecNID(const char* table) const;
  // The text of the control bound to a field, into buffer; FALSE when no control is.
  BOOL GetTextByOrgFld(const char* field, char* buffer, int capacity) const;
  BOOL SetTextByOrgFld(const char* field, const char* text);
  // Control text of a node (check boxes give "1" or "0"); FALSE for a bad node.
  BOOL GetCtrlText(int node, char* buffer, int capacity) const;
  BOOL SetCtrlText(int node, const char* text);
  // The value shown when the record was read; FALSE when the field was not read.
  BOOL GetLoadedText(int node, std::string* text) const;
  // Sets or clears every field's modified mark.
  void SetCtrlsModify(BOOL modified);
  BOOL IsCtrlModified(int node) const;
  // Whether the layout places records in a structure (link) table.
  BOOL BBOM_TableExisted() const;
  const char* GetLinkTable() const;

 private:
  std::vector<std::pair<std::string, int>> shown_;
};

class XUpdateRecObjCtrl : public XShowRecObjCtrl {
 public:
  XUpdateRecObjCtrl();

  // mode 2: a new record, whose field counts as changed when it holds text; otherwise an
  // update, where it counts when the text differs from the value read, ignoring letter
  // case. Unbound fields and fields never saved do not count.
  virtual BOOL IsFieldChanged(int node, int mode);
  // The nodes of the changed fields in form order.
  std::vector<int> GetChangedNodes(int mode);
};

class XWhereRecObjCtrl {
 public:
  // Makes a typed word a LIKE pattern in place: "*" and "?" become "%" and "_", and a word
  // without them matches anywhere ("%word%"). word holds capacity bytes; FALSE when the
  // pattern would not fit (word unchanged).
  static BOOL AddWildCharForLike(tagXCliDB* db, char* word, int flags, int capacity = 256);
};
