// The Qt window of a CCoolDialog: passes painting, sizes, timers, keys and closing to it.
#pragma once

#include <QDialog>

class CCoolDialog;

namespace hrz {

class DialogWidget : public QDialog {
 public:
  DialogWidget(CCoolDialog* dialog, QWidget* parent);
  ~DialogWidget() override;

  // While it runs, the dialog sees the keys of its own window first.
  void WatchKeys(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;
  void accept() override;

 private:
  CCoolDialog* dialog_;
  bool watching_ = false;
};

}  // namespace hrz
