// Device contexts, bitmaps and pens, drawing in software onto pixel surfaces.
#pragma once

#include "platform/resources.h"
#include "platform/surface.h"
#include "platform/types.h"

class CDialog;
class CDC;

// A bitmap "compatible with the screen": 32 bits per pixel, 0x00RRGGBB.
class CBitmap {
 public:
  CBitmap() = default;
  CBitmap(const CBitmap&) = delete;
  CBitmap& operator=(const CBitmap&) = delete;

  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  // Sets the bits from `count` bytes: rows top first, each pixel blue, green, red, unused.
  DWORD SetBitmapBits(DWORD count, const void* bits);

  bool IsCreated() const { return created_; }
  const PixelSurface& Surface() const { return surface_; }
  PixelSurface& Surface() { return surface_; }

 private:
  bool created_ = false;
  PixelSurface surface_;
};

class CPen {
 public:
  // Every pen the program draws with is solid (PS_SOLID).
  CPen(int /*style*/, int width, COLORREF color) : width_(width), color_(color) {}
  CPen(const CPen&) = delete;
  CPen& operator=(const CPen&) = delete;

  int Width() const { return width_; }
  COLORREF Color() const { return color_; }

 private:
  int width_;
  COLORREF color_;
};

// A drawing context: either a memory context drawing into its selected bitmap, or a context of
// a dialog's client area.
class CDC {
 public:
  CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  virtual ~CDC() = default;

  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();

  // Selecting returns the object that was selected before, to be selected back afterwards.
  CBitmap* SelectObject(CBitmap* bitmap);
  CPen* SelectObject(CPen* pen);

  void FillSolidRect(const CRect& rect, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  // Straight segments between consecutive points with the selected pen; the last point itself
  // is not drawn.
  BOOL Polyline(const POINT* points, int count);
  BOOL StretchBlt(int x, int y, int width, int height, CDC* src, int srcX, int srcY, int srcWidth, int srcHeight,
                  DWORD rop);

 protected:
  explicit CDC(CDialog* owner) : owner_(owner) {}
  // The pixels this context draws on, or null (a memory context with no bitmap selected).
  PixelSurface* Target();
  void Touched(const CRect& rect);

 private:
  CDialog* owner_ = nullptr;  // client-area context of this dialog
  CBitmap* bitmap_ = nullptr;
  CPen* pen_ = nullptr;
};

// The client area of a dialog.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CDialog* dialog) : CDC(dialog) {}
};

// A memory context compatible with `dc` that has `bitmap` selected for as long as it lives: the
// create, select, restore and delete around drawing into a bitmap, written once.
class CBitmapDC : public CDC {
 public:
  CBitmapDC(CDC* dc, CBitmap* bitmap) {
    CreateCompatibleDC(dc);
    oldBitmap_ = SelectObject(bitmap);
  }
  ~CBitmapDC() override {
    SelectObject(oldBitmap_);
    DeleteDC();
  }

 private:
  CBitmap* oldBitmap_;
};

