#include "vert_split_wnd.h"

#include <QMouseEvent>

#include <algorithm>

#include "cwnd_holder.h"

namespace {

class SplitBar : public QWidget {
 public:
  SplitBar(CVertSplitWnd* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setCursor(Qt::SplitHCursor);
  }
  void Release() { owner_ = nullptr; }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    grabOffset_ = event->position().toPoint().x();
    dragging_ = true;
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!dragging_ || owner_ == nullptr) return;
    QPoint inParent = mapToParent(event->position().toPoint());
    owner_->MoveBarTo(inParent.x() - grabOffset_);
  }
  void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }

 private:
  CVertSplitWnd* owner_;
  int grabOffset_ = 0;
  bool dragging_ = false;
};

}  // namespace

CVertSplitWnd::~CVertSplitWnd() {
  if (auto* bar = dynamic_cast<SplitBar*>(GetWidget())) bar->Release();
}

BOOL CVertSplitWnd::Create(DWORD, const RECT& rect, CWnd* parent, UINT id) {
  if (parent == nullptr || parent->GetWidget() == nullptr || GetWidget() != nullptr) return FALSE;
  auto* bar = new SplitBar(this, parent->GetWidget());
  bar->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  bar->show();
  Attach(bar);
  SetDlgCtrlID(static_cast<int>(id));
  return TRUE;
}

BOOL CVertSplitWnd::AttachAsLeftPane(UINT id) {
  CWnd* parent = GetParent();
  CWnd* pane = parent != nullptr ? parent->GetDlgItem(static_cast<int>(id)) : nullptr;
  if (pane == nullptr) return FALSE;
  left_.push_back({id, GetWidget()->x() - pane->GetWidget()->geometry().right() - 1});
  return TRUE;
}

BOOL CVertSplitWnd::AttachAsRightPane(UINT id) {
  CWnd* parent = GetParent();
  CWnd* pane = parent != nullptr ? parent->GetDlgItem(static_cast<int>(id)) : nullptr;
  if (pane == nullptr) return FALSE;
  right_.push_back({id, pane->GetWidget()->x() - GetWidget()->geometry().right() - 1});
  return TRUE;
}

void CVertSplitWnd::SetMinWidth(int left, int right) {
  minLeft_ = std::max(0, left);
  minRight_ = std::max(0, right);
}

void CVertSplitWnd::Unbind() {
  left_.clear();
  right_.clear();
}

void CVertSplitWnd::MoveBarTo(int x) {
  QWidget* bar = GetWidget();
  CWnd* parent = GetParent();
  if (bar == nullptr || parent == nullptr) return;
  int low = 0;
  int high = parent->GetWidget()->width() - bar->width();
  for (const Pane& pane : left_) {
    if (CWnd* wnd = parent->GetDlgItem(static_cast<int>(pane.id))) {
      low = std::max(low, wnd->GetWidget()->x() + minLeft_ + pane.gap);
    }
  }
  for (const Pane& pane : right_) {
    if (CWnd* wnd = parent->GetDlgItem(static_cast<int>(pane.id))) {
      high = std::min(
          high, wnd->GetWidget()->geometry().right() + 1 - minRight_ - pane.gap - bar->width());
    }
  }
  if (high < low) return;  // no room to move at all
  x = std::clamp(x, low, high);
  bar->move(x, bar->y());
  for (const Pane& pane : left_) {
    if (CWnd* wnd = parent->GetDlgItem(static_cast<int>(pane.id))) {
      QRect g = wnd->GetWidget()->geometry();
      g.setRight(x - pane.gap - 1);
      wnd->GetWidget()->setGeometry(g);
    }
  }
  for (const Pane& pane : right_) {
    if (CWnd* wnd = parent->GetDlgItem(static_cast<int>(pane.id))) {
      QRect g = wnd->GetWidget()->geometry();
      g.setLeft(x + bar->width() + pane.gap);
      wnd->GetWidget()->setGeometry(g);
    }
  }
}
