// Basic types and constants of the window framework layer, in the names dialog code is written with.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR, as RGB() builds it
using Pixel = std::uint32_t;     // 0x00RRGGBB, as surfaces and bitmaps hold it

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}

// A colour reference as the 0x00RRGGBB pixel that surfaces store.
constexpr Pixel PixelFromColorRef(COLORREF c) { return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu); }

constexpr UINT LOWORD(WPARAM w) { return static_cast<UINT>(w & 0xFFFFu); }
constexpr UINT HIWORD(WPARAM w) { return static_cast<UINT>((w >> 16) & 0xFFFFu); }
constexpr WPARAM MAKEWPARAM(UINT low, UINT high) {
  return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}

struct POINT {
  int x;
  int y;
};
using CPoint = POINT;

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
};

// Window messages and notification codes that the layer dispatches.
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;

inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr UINT CBN_SELCHANGE = 1;

inline constexpr UINT SC_CLOSE = 0xF060;

// Message box types; the icon says what the message is.
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONINFORMATION = 0x40;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_SEPARATOR = 0x0800;


inline constexpr int CB_ERR = -1;
inline constexpr int PS_SOLID = 0;
inline constexpr DWORD SRCCOPY = 0x00CC0020;

inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;

// Dialog units of the 8-point dialog font: 6 x 13 pixel base units.
constexpr int DialogUnitsToPixelsX(int du) { return du * 6 / 4; }
constexpr int DialogUnitsToPixelsY(int du) { return du * 13 / 8; }
