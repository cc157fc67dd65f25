#include "cdc.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>

#include "cool_controls.h"

namespace {

QColor ToQColor(COLORREF color) {
  return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

QRect ToQRect(const RECT& rect) {
  return QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

}  // namespace

BOOL CFont::CreatePointFont(int pointSizeTenths, const char* face) {
  if (pointSizeTenths <= 0) return FALSE;
  tenths_ = pointSizeTenths;
  face_ = face != nullptr ? face : "";
  return TRUE;
}

BOOL CPen::CreatePen(int, int width, COLORREF color) {
  width_ = width < 1 ? 1 : width;
  color_ = color;
  return TRUE;
}

COLORREF CDC::SetTextColor(COLORREF color) {
  COLORREF old = textColor_;
  textColor_ = color;
  return old;
}

int CDC::SetBkMode(int mode) {
  int old = bkMode_;
  bkMode_ = mode;
  return old;
}

CFont* CDC::SelectObject(CFont* font) {
  CFont* old = font_;
  font_ = font;
  QFont qfont = QApplication::font();
  if (font != nullptr) {
    qfont.setFamily(QString::fromStdString(font->Face()));
    qfont.setPointSizeF(font->PointSizeTenths() / 10.0);
  }
  painter_->setFont(qfont);
  return old;
}

CPen* CDC::SelectObject(CPen* pen) {
  CPen* old = pen_;
  pen_ = pen;
  painter_->setPen(pen != nullptr ? QPen(ToQColor(pen->Color()), pen->Width()) : QPen());
  return old;
}

int CDC::DrawText(const char* text, const RECT& rect, UINT format) {
  if (text == nullptr) return 0;
  int flags = (format & DT_CENTER) != 0  ? Qt::AlignHCenter
              : (format & DT_RIGHT) != 0 ? Qt::AlignRight
                                         : Qt::AlignLeft;
  flags |= (format & DT_VCENTER) != 0  ? Qt::AlignVCenter
           : (format & DT_BOTTOM) != 0 ? Qt::AlignBottom
                                       : Qt::AlignTop;
  if ((format & DT_WORDBREAK) != 0 && (format & DT_SINGLELINE) == 0) flags |= Qt::TextWordWrap;
  painter_->save();
  painter_->setPen(ToQColor(textColor_));
  QRect bounds;
  painter_->drawText(ToQRect(rect), flags, QString::fromUtf8(text), &bounds);
  painter_->restore();
  return bounds.height();
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
  painter_->fillRect(ToQRect(rect), ToQColor(color));
}

void CDC::FrameRect(const RECT& rect, COLORREF color) {
  painter_->save();
  painter_->setPen(QPen(ToQColor(color), 1));
  painter_->setBrush(Qt::NoBrush);
  painter_->drawRect(ToQRect(rect).adjusted(0, 0, -1, -1));
  painter_->restore();
}

void CDC::Rectangle(const RECT& rect) {
  painter_->save();
  painter_->setBrush(Qt::NoBrush);
  painter_->drawRect(ToQRect(rect).adjusted(0, 0, -1, -1));
  painter_->restore();
}

void CDC::MoveTo(int x, int y) {
  current_ = POINT{x, y};
}

void CDC::LineTo(int x, int y) {
  painter_->drawLine(current_.x, current_.y, x, y);
  current_ = POINT{x, y};
}

void CDC::DrawIcon(int x, int y, HICON icon, int cx, int cy) {
  if (icon == nullptr) return;
  const auto* qicon = reinterpret_cast<const QIcon*>(icon);
  QSize size(cx > 0 ? cx : 32, cy > 0 ? cy : 32);
  painter_->drawPixmap(x, y, qicon->pixmap(size));
}
