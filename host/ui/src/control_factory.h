// Makes the Qt widget of a control: from a dialog template or from a Create call.
#pragma once

#include <QRect>
#include <QWidget>

#include "cwnd.h"
#include "dialog_template.h"

namespace hrz {

// Creates the widget for control inside parent at pixels, names it after its id, applies
// its styles, connects its notifications and gives it the CWnd of its kind.
QWidget* CreateControl(const ControlTemplate& control, const QRect& pixels, QWidget* parent);

// Create calls of the control classes: rect in the parent's pixels. Null when parent has
// no window.
QWidget* CreateControl(ControlKind kind, const char* text, DWORD style, const RECT& rect,
                       CWnd* parent, UINT id);

}  // namespace hrz
