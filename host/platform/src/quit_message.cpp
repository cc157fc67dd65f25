#include <QCoreApplication>

#include "platform_ui.h"

void PostQuitMessage(int exitCode) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  // Posted, as the quit message is: it takes effect when the running loop next looks at its
  // queue, and QCoreApplication::exit then ends every loop of the thread, the main one too.
  QMetaObject::invokeMethod(
      app, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}
