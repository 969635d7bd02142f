#include "platform/gdi.h"

#include <algorithm>
#include <cstring>

#include "platform/dialog.h"

namespace {
// What a fresh context has selected: a black pen of width 1 and no bitmap.
CPen g_stockPen(PS_SOLID, 1, RGB(0, 0, 0));
CBitmap g_stockBitmap;
}  // namespace

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int width, int height) {
  if (width <= 0 || height <= 0) return FALSE;
  surface_.Reset(width, height, 0);
  created_ = true;
  return TRUE;
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits) {
  const auto* bytes = static_cast<const unsigned char*>(bits);
  const DWORD pixels = std::min<DWORD>(count / 4, static_cast<DWORD>(surface_.Pixels().size()));
  for (DWORD i = 0; i < pixels; ++i) {
    Pixel value;
    std::memcpy(&value, bytes + 4 * i, 4);  // little-endian: blue, green, red, unused
    const int w = surface_.Width();
    surface_.Row(static_cast<int>(i) / w)[static_cast<int>(i) % w] = value;
  }
  return pixels * 4;
}

BOOL CDC::CreateCompatibleDC(CDC*) {
  owner_ = nullptr;
  bitmap_ = nullptr;
  pen_ = nullptr;
  return TRUE;
}

BOOL CDC::DeleteDC() {
  bitmap_ = nullptr;
  pen_ = nullptr;
  return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  CBitmap* previous = bitmap_ ? bitmap_ : &g_stockBitmap;
  bitmap_ = (bitmap == &g_stockBitmap) ? nullptr : bitmap;
  return previous;
}

CPen* CDC::SelectObject(CPen* pen) {
  CPen* previous = pen_ ? pen_ : &g_stockPen;
  pen_ = (pen == &g_stockPen) ? nullptr : pen;
  return previous;
}

PixelSurface* CDC::Target() {
  if (owner_) return &owner_->ClientSurface();
  if (bitmap_ && bitmap_->IsCreated()) return &bitmap_->Surface();
  return nullptr;
}

void CDC::Touched(const CRect& rect) {
  if (owner_) owner_->ClientSurfaceChanged(rect);
}

void CDC::FillSolidRect(const CRect& rect, COLORREF color) {
  if (PixelSurface* target = Target()) {
    target->FillRect(rect, PixelFromColorRef(color));
    Touched(rect);
  }
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  FillSolidRect(CRect{x, y, x + cx, y + cy}, color);
}

BOOL CDC::Polyline(const POINT* points, int count) {
  PixelSurface* target = Target();
  if (!target || count < 2) return target != nullptr;
  const CPen& pen = pen_ ? *pen_ : g_stockPen;
  const Pixel value = PixelFromColorRef(pen.Color());
  for (int k = 1; k < count; ++k) target->DrawLine(points[k - 1], points[k], pen.Width(), value);
  Touched({0, 0, target->Width(), target->Height()});
  return TRUE;
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, int srcWidth, int srcHeight,
                     DWORD) {
  PixelSurface* target = Target();
  PixelSurface* source = src ? src->Target() : nullptr;
  if (!target || !source) return FALSE;
  target->StretchFrom(*source, x, y, width, height, srcX, srcY, srcWidth, srcHeight);
  Touched({x, y, x + width, y + height});
  return TRUE;
}


