// The thin frame the organisation's windows draw around the pane that holds their tree.
#pragma once

#include "cdc.h"
#include "cwnd.h"

namespace hrz {

// Draws one pixel outside pane, in dialog's client coordinates; nothing before pane exists.
void FramePane(CDC& dc, CWnd& dialog, CWnd& pane);

// A control's rectangle in dialog's client pixels.
RECT ClientRectOf(CWnd& dialog, CWnd& control);

}  // namespace hrz
