// Resources as C++ data: dialog templates, strings and icons, looked up by number.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/types.h"

enum class ControlKind { PushButton, CheckBox, Edit, ComboBox, Picture, Label, GroupBox, Icon };

// Style bits of a control template that the layer gives meaning to.
inline constexpr UINT kStyleDisabled = 0x1;
inline constexpr UINT kStyleAutoScroll = 0x2;
inline constexpr UINT kStyleVScroll = 0x4;
inline constexpr UINT kStyleDefault = 0x8;  // default push button
inline constexpr UINT kStyleCenter = 0x10;   // a label's text centred in its rectangle
inline constexpr UINT kStyleVertical = 0x20; // a label's text turned to read downwards

struct ControlTemplate {
  int id;                 // IDC_STATIC for unnamed labels and group boxes
  std::string_view name;  // resource name, "" when unnamed
  ControlKind kind;
  std::string_view caption;
  int x, y, cx, cy;  // dialog units
  UINT style = 0;
  UINT resourceId = 0;  // bitmap or icon shown by a picture or icon control

  CRect PixelRect() const {
    return {DialogUnitsToPixelsX(x), DialogUnitsToPixelsY(y), DialogUnitsToPixelsX(x + cx),
            DialogUnitsToPixelsY(y + cy)};
  }
};

// A named rectangle of a dialog's client surface that the program draws into itself.
struct SurfaceRegion {
  std::string_view name;
  CRect rect;  // pixels
};

// The name of the region that holds a dialog's map, the one `save-map` writes.
inline constexpr std::string_view kMapRegionName = "map";
// The name of the region of the colour bar beside the map.
inline constexpr std::string_view kColourBarRegionName = "colour bar";

struct DialogTemplate {
  UINT id;
  std::string_view caption;
  int cx, cy;  // dialog units
  std::string_view fontName;
  int pointSize;
  std::span<const ControlTemplate> controls;
  std::span<const SurfaceRegion> regions = {};

  int PixelWidth() const { return DialogUnitsToPixelsX(cx); }
  int PixelHeight() const { return DialogUnitsToPixelsY(cy); }
  // The region of that name, or null.
  const CRect* Region(std::string_view name) const {
    for (const SurfaceRegion& region : regions)
      if (region.name == name) return &region.rect;
    return nullptr;
  }
};

// An icon image: palette indices, one character per pixel, row by row.
struct IconImage {
  int size;  // width = height
  std::span<const std::string_view> rows;
};

struct IconResource {
  UINT id;
  std::span<const Pixel> palette;  // 0x00RRGGBB per palette character '0'..'9', 'a'..'f'
  IconImage large;                 // 32 x 32
  IconImage small;                 // 16 x 16
  Pixel PixelAt(const IconImage& image, int x, int y) const;
};

struct StringResource {
  UINT id;
  std::string_view text;
};

struct ResourceTable {
  std::span<const DialogTemplate* const> dialogs;
  std::span<const StringResource> strings;
  std::span<const IconResource* const> icons;
};

// The program's resources; defined by the application.
const ResourceTable& ModuleResources();

const DialogTemplate* FindDialogTemplate(UINT id);
const IconResource* FindIcon(UINT id);
// Copies string resource `id` into `out`; FALSE when there is none.
BOOL AfxLoadString(UINT id, std::string& out);

using HICON = const IconResource*;
using HCURSOR = const IconResource*;
