#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "hrzcommon/text.h"
#include "value_lists.h"
#include "xclidb.h"
#include "xrecobj_form.h"
#include "xrecobjctrl.h"

using hrz::ui::XFormCtrl;

namespace {

constexpr int kFieldTextCapacity = 8064;

// Splits "TABLE.COLUMN"; an unqualified name belongs to defaultTable.
std::pair<std::string, std::string> SplitField(std::string_view field,
                                               std::string_view defaultTable) {
  size_t dot = field.find('.');
  if (dot == std::string_view::npos) return {std::string(defaultTable), std::string(field)};
  return {std::string(field.substr(0, dot)), std::string(field.substr(dot + 1))};
}

std::string ShownValue(const XFormCtrl& ctrl, const std::string& stored) {
  for (const hrzcfg::FieldValue& item : hrzcfg::FieldValueList(ctrl.valueList)) {
    if (stored == item.stored) return item.shown;
  }
  return stored;
}

std::string ReadCtrl(const XFormCtrl& ctrl) {
  if (auto* edit = qobject_cast<QLineEdit*>(ctrl.wnd.data())) return edit->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(ctrl.wnd.data())) {
    return combo->currentText().toStdString();
  }
  if (auto* check = qobject_cast<QCheckBox*>(ctrl.wnd.data()))
    return check->isChecked() ? "1" : "0";
  return {};
}

void WriteCtrl(const XFormCtrl& ctrl, const std::string& text) {
  QString value = QString::fromStdString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(ctrl.wnd.data())) {
    edit->setText(value);
  } else if (auto* combo = qobject_cast<QComboBox*>(ctrl.wnd.data())) {
    combo->setCurrentText(value);
  } else if (auto* check = qobject_cast<QCheckBox*>(ctrl.wnd.data())) {
    check->setChecked(!text.empty() && text != "0");
  }
}

}  // namespace

XShowRecObjCtrl::XShowRecObjCtrl() = default;

BOOL XShowRecObjCtrl::InitCtrls(const char* layout, BOOL force) {
  if (layout == nullptr) return FALSE;
  if (!force && hrz::EqualsNoCase(GetCurrentObj(), layout)) return TRUE;
  if (!LoadLayout(layout)) return FALSE;
  shown_.clear();
  return TRUE;
}

BOOL XShowRecObjCtrl::ShowRec(const char* const* tables, const int* nids, int count, int, int) {
  if (tables == nullptr || nids == nullptr || count < 1 || GetDB() == nullptr) return FALSE;
  hrz::ui::XFormLayout* form = Form();
  for (XFormCtrl& ctrl : form->ctrls) ctrl.wasLoaded = false;
  std::vector<std::pair<std::string, int>> shown;
  for (int t = 0; t < count; ++t) {
    if (tables[t] == nullptr || !hrz::IsSqlName(tables[t])) return FALSE;
    shown.emplace_back(tables[t], nids[t]);
    std::vector<XFormCtrl*> bound;
    std::string columns;
    for (XFormCtrl& ctrl : form->ctrls) {
      if (ctrl.field.empty()) continue;
      auto [table, column] = SplitField(ctrl.field, form->table);
      if (!hrz::EqualsNoCase(table, tables[t]) || !hrz::IsSqlName(column)) continue;
      columns += (columns.empty() ? "" : ", ") + column;
      bound.push_back(&ctrl);
    }
    if (nids[t] < 1 || bound.empty()) {
      if (t == 0 && nids[t] < 1) return FALSE;
      continue;
    }
    std::string sql =
        "select " + columns + " from " + tables[t] + " where NID = " + std::to_string(nids[t]);
    XCliGenRS rs(GetDB());
    if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) {
      if (t == 0) return FALSE;
      continue;
    }
    std::vector<char> text(kFieldTextCapacity);
    for (size_t i = 0; i < bound.size(); ++i) {
      if (!rs.GetFieldValue(static_cast<int>(i), XCLI_TYPE_TEXT, text.data(), kFieldTextCapacity)) {
        continue;
      }
      bound[i]->loaded = ShownValue(*bound[i], text.data());
      bound[i]->wasLoaded = true;
      WriteCtrl(*bound[i], bound[i]->loaded);
    }
    rs.Close();
  }
  shown_ = std::move(shown);
  SetCtrlsModify(FALSE);
  return TRUE;
}

BOOL XShowRecObjCtrl::ClearRec(BOOL redraw) {
  for (XFormCtrl& ctrl : Form()->ctrls) {
    if (ctrl.kind == "button" || ctrl.kind == "label") continue;
    WriteCtrl(ctrl, std::string());
    ctrl.loaded.clear();
    ctrl.wasLoaded = false;
  }
  shown_.clear();
  SetCtrlsModify(FALSE);
  if (redraw) Invalidate();
  return TRUE;
}

void XShowRecObjCtrl::SetShowRecNID(const char* const* tables, const int* nids, int count) {
  shown_.clear();
  for (int t = 0; tables != nullptr && nids != nullptr && t < count; ++t) {
    if (tables[t] != nullptr) shown_.emplace_back(tables[t], nids[t]);
  }
}

int XShowRecObjCtrl::GetShowRecNID(const char* table) const {
  for (const auto& [name, nid] : shown_) {
    if (table != nullptr && hrz::EqualsNoCase(name, table)) return nid;
  }
  return -1;
}

BOOL XShowRecObjCtrl::GetCtrlText(int node, char* buffer, int capacity) const {
  if (node < 1 || node > GetCtrlCount()) return FALSE;
  return hrz::CopyBounded(buffer, capacity, ReadCtrl(Form()->ctrls[node - 1])) || capacity > 0;
}

BOOL XShowRecObjCtrl::SetCtrlText(int node, const char* text) {
  if (node < 1 || node > GetCtrlCount()) return FALSE;
  WriteCtrl(Form()->ctrls[node - 1], text != nullptr ? text : "");
  return TRUE;
}

BOOL XShowRecObjCtrl::GetTextByOrgFld(const char* field, char* buffer, int capacity) const {
  return GetCtrlText(GetCtrlCfgNodeFromOrgFldName(field), buffer, capacity);
}

BOOL XShowRecObjCtrl::SetTextByOrgFld(const char* field, const char* text) {
  return SetCtrlText(GetCtrlCfgNodeFromOrgFldName(field), text);
}

BOOL XShowRecObjCtrl::GetLoadedText(int node, std::string* text) const {
  if (node < 1 || node > GetCtrlCount() || !Form()->ctrls[node - 1].wasLoaded) return FALSE;
  *text = Form()->ctrls[node - 1].loaded;
  return TRUE;
}

void XShowRecObjCtrl::SetCtrlsModify(BOOL modified) {
  for (XFormCtrl& ctrl : Form()->ctrls) {
    if (auto* edit = qobject_cast<QLineEdit*>(ctrl.wnd.data())) edit->setModified(modified);
  }
}

BOOL XShowRecObjCtrl::IsCtrlModified(int node) const {
  CWnd* wnd = GetCtrlWnd(node);
  auto* edit = wnd != nullptr ? qobject_cast<QLineEdit*>(wnd->GetWidget()) : nullptr;
  return edit != nullptr && edit->isModified();
}

BOOL XShowRecObjCtrl::BBOM_TableExisted() const {
  return !Form()->linkTable.empty();
}

const char* XShowRecObjCtrl::GetLinkTable() const {
  return Form()->linkTable.c_str();
}

XUpdateRecObjCtrl::XUpdateRecObjCtrl() = default;

BOOL XUpdateRecObjCtrl::IsFieldChanged(int node, int mode) {
  if (node < 1 || node > GetCtrlCount()) return FALSE;
  const XFormCtrl& ctrl = Form()->ctrls[node - 1];
  if (ctrl.field.empty() || ctrl.typeCode == XFIELD_TYPE_NOT_SAVED) return FALSE;
  std::string full = ReadCtrl(ctrl);
  std::string_view text = hrz::TrimBlanks(full);
  if (text.size() > 1023) text = text.substr(0, 1023);
  if (mode == 2) return !text.empty();
  return !ctrl.wasLoaded || !hrz::EqualsNoCase(hrz::TrimBlanks(ctrl.loaded), text);
}

std::vector<int> XUpdateRecObjCtrl::GetChangedNodes(int mode) {
  std::vector<int> nodes;
  for (int node = 1; node <= GetCtrlCount(); ++node) {
    if (IsFieldChanged(node, mode)) nodes.push_back(node);
  }
  return nodes;
}

BOOL XWhereRecObjCtrl::AddWildCharForLike(tagXCliDB*, char* word, int, int capacity) {
  if (word == nullptr || capacity < 1) return FALSE;
  std::string pattern;
  bool wild = false;
  for (const char* c = word; *c != '\0'; ++c) {
    if (*c == '*' || *c == '%') {
      pattern.push_back('%');
      wild = true;
    } else if (*c == '?' || *c == '_') {
      pattern.push_back('_');
      wild = true;
    } else {
      pattern.push_back(*c);
    }
  }
  if (!wild) pattern = "%" + pattern + "%";
  if (pattern.size() >= static_cast<size_t>(capacity)) return FALSE;
  hrz::CopyBounded(word, capacity, pattern);
  return TRUE;
}
