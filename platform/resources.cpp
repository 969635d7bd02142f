#include "platform/resources.h"

#include <algorithm>

Pixel IconResource::PixelAt(const IconImage& image, int x, int y) const {
  const char c = image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
  const int index = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 0;
  return static_cast<std::size_t>(index) < palette.size() ? palette[static_cast<std::size_t>(index)] : 0;
}

const DialogTemplate* FindDialogTemplate(UINT id) {
  const auto& dialogs = ModuleResources().dialogs;
  const auto it = std::find_if(dialogs.begin(), dialogs.end(), [id](const auto* d) { return d->id == id; });
  return it == dialogs.end() ? nullptr : *it;
}

const IconResource* FindIcon(UINT id) {
  const auto& icons = ModuleResources().icons;
  const auto it = std::find_if(icons.begin(), icons.end(), [id](const auto* i) { return i->id == id; });
  return it == icons.end() ? nullptr : *it;
}

BOOL AfxLoadString(UINT id, std::string& out) {
  const auto& strings = ModuleResources().strings;
  const auto it = std::find_if(strings.begin(), strings.end(), [id](const auto& s) { return s.id == id; });
  if (it == strings.end()) return FALSE;
  out.assign(it->text);
  return TRUE;
}
