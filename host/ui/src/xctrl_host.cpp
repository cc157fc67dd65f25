#include "xctrl_host.h"

#include <QResizeEvent>

#include "dialog_template.h"

namespace {

// Keeps its one content child the size of itself.
class HostWidget : public QWidget {
 public:
  using QWidget::QWidget;
  void SetContent(QWidget* content) {
    content_ = content;
    if (content_ != nullptr) content_->setGeometry(rect());
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (content_ != nullptr) content_->setGeometry(rect());
  }

 private:
  QPointer<QWidget> content_;
};

}  // namespace

CWndForXCtrl::~CWndForXCtrl() {
  if (QWidget* widget = Detach()) delete widget;
}

BOOL CWndForXCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (parent == nullptr || parent->GetWidget() == nullptr || GetWidget() != nullptr) return FALSE;
  auto* host = new HostWidget(parent->GetWidget());
  host->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  host->setFocusPolicy((style & WS_TABSTOP) != 0 ? Qt::StrongFocus : Qt::NoFocus);
  host->setVisible((style & WS_VISIBLE) != 0);
  Attach(host);
  SetDlgCtrlID(static_cast<int>(id));
  return TRUE;
}

BOOL CWndForXCtrl::CreateOver(DWORD style, CWnd* parent, UINT placeholderId, UINT id) {
  CWnd* placeholder =
      parent != nullptr ? parent->GetDlgItem(static_cast<int>(placeholderId)) : nullptr;
  if (placeholder == nullptr) return FALSE;
  QRect g = placeholder->GetWidget()->geometry();
  placeholder->ShowWindow(SW_HIDE_WINDOW);
  return Create(style, RECT{g.left(), g.top(), g.right() + 1, g.bottom() + 1}, parent, id);
}

void XCtrlContainer::SetXCtrl(CWnd* ctrl) {
  auto* host = dynamic_cast<HostWidget*>(GetWidget());
  if (host == nullptr) return;
  if (ctrl_ != nullptr && ctrl_ != ctrl && ctrl_->GetWidget() != nullptr) {
    ctrl_->GetWidget()->hide();
  }
  ctrl_ = ctrl;
  QWidget* content = ctrl != nullptr ? ctrl->GetWidget() : nullptr;
  if (content != nullptr) {
    if (content->parentWidget() != host) content->setParent(host);
    content->show();
  }
  host->SetContent(content);
}

bool XCtrlContainer::AutomationSelect(int index) {
  return ctrl_ != nullptr && ctrl_->AutomationSelect(index);
}

bool XCtrlContainer::AutomationActivate(int index) {
  return ctrl_ != nullptr && ctrl_->AutomationActivate(index);
}

int XCtrlContainer::AutomationSelection() const {
  return ctrl_ != nullptr ? ctrl_->AutomationSelection() : -1;
}

bool XCtrlContainer::AutomationClickPart(int index, int part) {
  return ctrl_ != nullptr && ctrl_->AutomationClickPart(index, part);
}

int XCtrlContainer::AutomationFindItem(const std::string& text) const {
  return ctrl_ != nullptr ? ctrl_->AutomationFindItem(text) : -1;
}

int XCtrlContainer::AutomationItemCheck(int index) const {
  return ctrl_ != nullptr ? ctrl_->AutomationItemCheck(index) : -1;
}
