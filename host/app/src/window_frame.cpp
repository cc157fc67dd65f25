#include "window_frame.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace hrzhost {
namespace {

constexpr int kBorder = 1;
constexpr int kIconSize = 16;
constexpr int kPadding = 8;
constexpr int kButtonWidth = 46;
constexpr int kGlyphSize = 10;
const QColor kBorderColor(0x70, 0x70, 0x70);
const QColor kTitleColor(0xf3, 0xf3, 0xf3);
const QColor kSeparatorColor(0xd8, 0xd8, 0xd8);
const QColor kInkColor(0x1a, 0x1a, 0x1a);

enum class TitleButton { Minimize, Maximize, Close };

std::vector<TitleButton> ButtonsOf(const QWidget& window) {
  Qt::WindowFlags flags = window.windowFlags();
  std::vector<TitleButton> buttons;
  if (flags.testFlag(Qt::WindowMinimizeButtonHint)) buttons.push_back(TitleButton::Minimize);
  if (flags.testFlag(Qt::WindowMaximizeButtonHint)) buttons.push_back(TitleButton::Maximize);
  if (flags.testFlag(Qt::WindowCloseButtonHint)) buttons.push_back(TitleButton::Close);
  return buttons;
}

void DrawGlyph(QPainter& painter, TitleButton button, const QRect& cell) {
  QRectF glyph(0, 0, kGlyphSize, kGlyphSize);
  glyph.moveCenter(QRectF(cell).center());
  switch (button) {
    case TitleButton::Minimize:
      painter.drawLine(QPointF(glyph.left(), glyph.center().y()),
                       QPointF(glyph.right(), glyph.center().y()));
      break;
    case TitleButton::Maximize:
      painter.drawRect(glyph);
      break;
    case TitleButton::Close:
      painter.drawLine(glyph.topLeft(), glyph.bottomRight());
      painter.drawLine(glyph.bottomLeft(), glyph.topRight());
      break;
  }
}

}  // namespace

QImage FramedPicture(QWidget& window) {
  QPixmap client = window.grab();
  const qreal scale = client.devicePixelRatio();
  const QSize clientSize = client.deviceIndependentSize().toSize();
  QFont font = QApplication::font();
  const QFontMetrics metrics(font);
  const int titleHeight = std::max(30, metrics.height() + 14);

  const QSize size(clientSize.width() + 2 * kBorder,
                   clientSize.height() + titleHeight + 2 * kBorder);
  QImage picture(size * scale, QImage::Format_ARGB32_Premultiplied);
  picture.setDevicePixelRatio(scale);
  picture.fill(kTitleColor);

  QPainter painter(&picture);
  const QRect title(kBorder, kBorder, clientSize.width(), titleHeight);
  painter.drawPixmap(kBorder, title.bottom() + 1, client);
  painter.setPen(kSeparatorColor);
  painter.drawLine(title.bottomLeft(), title.bottomRight());
  painter.setPen(kBorderColor);
  painter.drawRect(0, 0, size.width() - 1, size.height() - 1);

  int left = title.left() + kPadding;
  QIcon icon = window.windowIcon();
  if (!icon.isNull()) {
    QRect place(left, title.top() + (titleHeight - kIconSize) / 2, kIconSize, kIconSize);
    icon.paint(&painter, place);
    left = place.right() + 1 + kPadding;
  }

  int right = title.right() + 1;
  painter.setPen(QPen(kInkColor, 1));
  painter.setRenderHint(QPainter::Antialiasing);
  std::vector<TitleButton> buttons = ButtonsOf(window);
  for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) {
    QRect cell(right - kButtonWidth, title.top(), kButtonWidth, titleHeight);
    DrawGlyph(painter, *it, cell);
    right = cell.left();
  }

  QRect captionPlace(left, title.top(), std::max(0, right - kPadding - left), titleHeight);
  painter.setFont(font);
  painter.drawText(captionPlace, Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(window.windowTitle(), Qt::ElideRight, captionPlace.width()));
  return picture;
}

}  // namespace hrzhost
