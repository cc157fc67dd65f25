// A record form as built from its layout: the controls in form order and their settings.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "outline_script.h"

class QLabel;
class QWidget;

namespace hrz::ui {

struct XFormCtrl {
  std::string kind;  // "edit", "combo", "check box", "button", "label"
  std::string name;
  std::string label;
  std::string field;      // "TABLE.COLUMN" or empty
  std::string valueList;  // field whose value list fills a combo
  std::string echo;
  std::string value;  // initial text
  bool editable = true;
  bool required = false;
  bool visible = true;
  unsigned short typeCode = 1;
  OutlineItem placement;  // the control's own lines, for the attachments
  QPointer<QWidget> wnd;
  QPointer<QLabel> labelWnd;
  std::string loaded;  // the value shown by the last ShowRec
  bool wasLoaded = false;
};

struct XFormLayout {
  std::string name;
  std::string table;
  std::string linkTable;
  std::vector<XFormCtrl> ctrls;
};

// Reads a layout from an outline script; false with a reason on error.
bool ParseFormLayout(std::string_view script, XFormLayout* form, std::string* error);

}  // namespace hrz::ui
