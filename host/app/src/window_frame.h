// Screenshots show a window as a user sees it on a plain desktop: inside a one-pixel border,
// under a title bar with the window's icon, its caption and the buttons its flags ask for.
// Where the pictures are taken no window manager decorates anything, so the frame is drawn
// here, the same on every machine.
#pragma once

#include <QImage>

class QWidget;

namespace hrzhost {

// The window's contents in its frame; the frame is as wide at the sides as at the bottom.
QImage FramedPicture(QWidget& window);

}  // namespace hrzhost
