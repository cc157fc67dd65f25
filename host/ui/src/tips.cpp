#include "tips.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#include "resources.h"

namespace {

// The window of a tip: a picture (maybe none) and a text, and a timer that hides it.
class TipWidget : public QFrame {
 public:
  explicit TipWidget(QWidget* owner) : QFrame(owner, Qt::ToolTip | Qt::FramelessWindowHint) {
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setPalette(QPalette(QColor(255, 255, 225)));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    picture_ = new QLabel(this);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setObjectName(QStringLiteral("tipText"));
    layout->addWidget(picture_);
    layout->addWidget(text_);
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
  }
  QLabel* Picture() const { return picture_; }
  QLabel* Text() const { return text_; }
  QTimer& Timer() { return timer_; }

 private:
  QLabel* picture_;
  QLabel* text_;
  QTimer timer_;
};

}  // namespace

CBaseTipWnd::~CBaseTipWnd() {
  if (QWidget* widget = Detach()) delete widget;
}

BOOL CBaseTipWnd::Create(CWnd* parent) {
  if (GetWidget() != nullptr) return FALSE;
  QWidget* owner =
      parent != nullptr && parent->GetWidget() != nullptr ? parent->GetWidget()->window() : nullptr;
  auto* tip = new TipWidget(owner);
  tip->hide();
  Attach(tip);
  return TRUE;
}

void CBaseTipWnd::HideMe() {
  if (auto* tip = dynamic_cast<TipWidget*>(GetWidget())) {
    tip->Timer().stop();
    tip->hide();
  }
}

BOOL CBaseTipWnd::IsShown() const {
  return GetWidget() != nullptr && GetWidget()->isVisible() ? TRUE : FALSE;
}

std::string CBaseTipWnd::GetTipText() const {
  auto* tip = dynamic_cast<TipWidget*>(GetWidget());
  return tip != nullptr ? tip->Text()->text().toStdString() : std::string();
}

void CBaseTipWnd::ShowAt(const char* text, POINT screen, int bitmapId, UINT hideAfterMs) {
  auto* tip = dynamic_cast<TipWidget*>(GetWidget());
  if (tip == nullptr) return;
  tip->Text()->setText(QString::fromUtf8(text != nullptr ? text : ""));
  const QPixmap* picture = bitmapId > 0 ? hrz::FindBitmap(bitmapId) : nullptr;
  tip->Picture()->setVisible(picture != nullptr);
  if (picture != nullptr) tip->Picture()->setPixmap(*picture);
  tip->adjustSize();
  tip->move(screen.x, screen.y);
  tip->show();
  tip->raise();
  if (hideAfterMs > 0) {
    tip->Timer().start(static_cast<int>(hideAfterMs));
  } else {
    tip->Timer().stop();
  }
}

POINT CBaseTipWnd::BelowOf(CWnd* anchor) {
  RECT rect{};
  if (anchor != nullptr) anchor->GetWindowRect(&rect);
  return POINT{rect.left, rect.bottom + 2};
}

void CCoolToolTip::ShowMe(const char* text, POINT screen, UINT hideAfterMs) {
  ShowAt(text, screen, 0, hideAfterMs);
}

void CCoolToolTip::ShowMe(CWnd* anchor, const char* text, UINT hideAfterMs) {
  ShowAt(text, BelowOf(anchor), 0, hideAfterMs);
}

BOOL CBitmapBalloonTip::Create(CWnd* parent, int bitmapId) {
  bitmapId_ = bitmapId;
  return CBaseTipWnd::Create(parent);
}

void CBitmapBalloonTip::ShowMe(CWnd* anchor, const char* text, UINT hideAfterMs) {
  ShowAt(text, BelowOf(anchor), bitmapId_, hideAfterMs);
}

void CBitmapBalloonTip::ShowMe(const char* text, POINT screen, UINT hideAfterMs) {
  ShowAt(text, screen, bitmapId_, hideAfterMs);
}
