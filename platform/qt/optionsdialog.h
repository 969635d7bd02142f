// The dialog that asks a person for the options of an import or an export, after the file
// dialog: one row per field of the program's options form, OK and Cancel.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "platform/optionsform.h"

class QFormLayout;
class QLabel;

class OptionsDialog final : public QDialog {
  Q_OBJECT

 public:
  // Shows `values` in the fields of `form`, which outlives the dialog.
  OptionsDialog(const OptionsForm& form, const OptionValues& values, QWidget* parent = nullptr);

  // What the fields hold now (texts without the blanks around them).
  OptionValues Values() const;
  // The widget of the field named `name` (a combo box, spin box, line edit or check box); null
  // for a name the form does not have.
  QWidget* FieldWidget(const std::string& name) const;
  // Why OK did not close the dialog; empty while nothing was refused.
  QString Refusal() const;

  // Closes the dialog only with values the program takes; otherwise says why and stays.
  void accept() override;

 private:
  QWidget* MakeField(const OptionField& field, const std::string& value);
  // Shows the rows of the fields that count with the values chosen now.
  void ShowCountingFields();
  void ShowHintOf(QWidget* focused);

  const OptionsForm& form_;
  std::vector<QWidget*> fields_;  // one per field of the form
  QFormLayout* rows_ = nullptr;
  QLabel* hint_ = nullptr;
  QLabel* refusal_ = nullptr;
};
