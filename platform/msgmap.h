// Message maps: tables of {message, notification, control, member function}, checked by the
// compiler, searched in order.
#pragma once

#include <span>
#include <variant>

#include "platform/resources.h"
#include "platform/types.h"

template <class T>
struct MessageMapEntry {
  using Plain = void (T::*)();
  using SysCommand = void (T::*)(UINT, LPARAM);
  using Timer = void (T::*)(UINT_PTR);

  UINT message;
  UINT code;  // notification code of WM_COMMAND
  int id;     // control of WM_COMMAND
  std::variant<Plain, SysCommand, Timer> handler;
};

template <class T>
constexpr MessageMapEntry<T> OnWmSysCommand(void (T::*handler)(UINT, LPARAM)) {
  return {WM_SYSCOMMAND, 0, 0, handler};
}
template <class T>
constexpr MessageMapEntry<T> OnWmTimer(void (T::*handler)(UINT_PTR)) {
  return {WM_TIMER, 0, 0, handler};
}
template <class T>
constexpr MessageMapEntry<T> OnWmPaint(void (T::*handler)()) {
  return {WM_PAINT, 0, 0, handler};
}
template <class T>
constexpr MessageMapEntry<T> OnBnClicked(int id, void (T::*handler)()) {
  return {WM_COMMAND, BN_CLICKED, id, handler};
}
template <class T>
constexpr MessageMapEntry<T> OnEnChange(int id, void (T::*handler)()) {
  return {WM_COMMAND, EN_CHANGE, id, handler};
}
template <class T>
constexpr MessageMapEntry<T> OnCbnSelChange(int id, void (T::*handler)()) {
  return {WM_COMMAND, CBN_SELCHANGE, id, handler};
}

// Calls the first entry of `map` that matches the message; false when none does.
template <class T>
bool DispatchMessageMap(T& target, std::span<const MessageMapEntry<T>> map, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT* result) {
  for (const auto& entry : map) {
    if (entry.message != message) continue;
    if (message == WM_COMMAND && (static_cast<int>(LOWORD(wParam)) != entry.id || HIWORD(wParam) != entry.code))
      continue;
    *result = 0;
    if (auto* plain = std::get_if<typename MessageMapEntry<T>::Plain>(&entry.handler)) {
      (target.**plain)();
    } else if (auto* sys = std::get_if<typename MessageMapEntry<T>::SysCommand>(&entry.handler)) {
      (target.**sys)(static_cast<UINT>(wParam), lParam);
    } else if (auto* timer = std::get_if<typename MessageMapEntry<T>::Timer>(&entry.handler)) {
      (target.**timer)(static_cast<UINT_PTR>(wParam));
    }
    return true;
  }
  return false;
}
