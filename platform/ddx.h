// Dialog data exchange: moving values between a dialog's fields and its controls.
#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <utility>

#include "platform/dialog.h"

class CDataExchange {
 public:
  // `validateOnly` (with saveAndValidate): the texts are checked and bad ones marked quietly,
  // but no field is written.
  CDataExchange(CDialog* dialog, BOOL saveAndValidate, bool validateOnly = false)
      : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog), validateOnly_(validateOnly) {}

  const BOOL m_bSaveAndValidate;  // TRUE: controls -> fields
  CDialog* const m_pDlgWnd;

  bool ValidatesOnly() const { return validateOnly_; }
  bool Failed() const { return failed_; }
  void Fail() { failed_ = true; }

 private:
  const bool validateOnly_;
  bool failed_ = false;
};

// The values a field accepts; a text outside them leaves the field unchanged.
struct IntLimits {
  int min;
  int max;
};
struct DoubleLimits {
  double min;
  bool minExclusive;
  double max = std::numeric_limits<double>::infinity();  // inclusive
};

// A field that keeps no value of its own: a dialog's view of a value that something else owns.
// Reading it asks `get`; the exchange hands a value the user changed to `set`.
template <class T>
class FieldView {
 public:
  FieldView(std::function<T()> get, std::function<void(T)> set = {}) : get_(std::move(get)), set_(std::move(set)) {}
  operator T() const { return get_(); }
  T operator()() const { return get_(); }
  void Set(T value) {
    if (set_ && value != get_()) set_(value);
  }

 private:
  std::function<T()> get_;
  std::function<void(T)> set_;
};

void DDX_Control(CDataExchange* dx, int id, CWndControl& control);
void DDX_Text(CDataExchange* dx, int id, int& value, std::optional<IntLimits> limits = std::nullopt);
void DDX_Text(CDataExchange* dx, int id, double& value, std::optional<DoubleLimits> limits = std::nullopt);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The same for a view: what the control shows is what the owner holds, and a value taken from
// the control goes to the owner.
void DDX_Text(CDataExchange* dx, int id, FieldView<int>& view, std::optional<IntLimits> limits = std::nullopt);
void DDX_Text(CDataExchange* dx, int id, FieldView<double>& view, std::optional<DoubleLimits> limits = std::nullopt);
void DDX_Check(CDataExchange* dx, int id, FieldView<int>& view);

// The number an edit's text gives a double field: blanks around it ignored, finite, nothing else
// after it; nothing for text the exchange would refuse.
std::optional<double> ParseDouble(const std::string& text);

// How an edit shows a field: integers as %d, doubles as %.15g.
std::string FormatField(int value);
std::string FormatField(double value);
