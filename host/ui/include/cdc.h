// Painting inside OnPaint: text, frames and icons over a Qt painter. Coordinates are the
// window's client pixels.
#pragma once

#include <string>

#include "cwnd.h"

class QPainter;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int PS_SOLID = 0;

class CFont {
 public:
  // Size in tenths of a point. A face the system lacks falls back to its default family.
  BOOL CreatePointFont(int pointSizeTenths, const char* face);
  const std::string& Face() const { return face_; }
  int PointSizeTenths() const { return tenths_; }

 private:
  std::string face_;
  int tenths_ = 0;
};

class CPen {
 public:
  BOOL CreatePen(int style, int width, COLORREF color);
  int Width() const { return width_; }
  COLORREF Color() const { return color_; }

 private:
  int width_ = 1;
  COLORREF color_ = 0;
};

class CDC {
 public:
  explicit CDC(QPainter* painter) : painter_(painter) {}
  QPainter* GetPainter() const { return painter_; }

  COLORREF SetTextColor(COLORREF color);  // returns the previous one
  int SetBkMode(int mode);
  // Selecting returns the previous font or pen object (null for the default).
  CFont* SelectObject(CFont* font);
  CPen* SelectObject(CPen* pen);

  // Draws text in rect with DT_ flags (cool_controls.h); returns the height of the text.
  int DrawText(const char* text, const RECT& rect, UINT format);
  void FillSolidRect(const RECT& rect, COLORREF color);
  // A one-pixel frame just inside rect in color.
  void FrameRect(const RECT& rect, COLORREF color);
  // Outline in the current pen (interior not filled).
  void Rectangle(const RECT& rect);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Draws the icon at x, y in cx by cy pixels (0: 32 by 32).
  void DrawIcon(int x, int y, HICON icon, int cx = 0, int cy = 0);

 private:
  QPainter* painter_;
  COLORREF textColor_ = 0;
  int bkMode_ = OPAQUE;
  CFont* font_ = nullptr;
  CPen* pen_ = nullptr;
  POINT current_;
};
