#include "platform/qt/optionsdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <charconv>
#include <limits>

namespace {

// A whole number whose field may stay empty shows its blank one below its range.
bool HasBlankNumber(const OptionField& field) {
  return field.kind == OptionKind::WholeNumber && field.defaultValue.empty() && !field.required &&
         field.minimum > std::numeric_limits<int>::min();
}

std::optional<int> WholeNumber(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

OptionsDialog::OptionsDialog(const OptionsForm& form, const OptionValues& values, QWidget* parent)
    : QDialog(parent), form_(form) {
  setWindowTitle(Q(form.title));
  rows_ = new QFormLayout;
  // Labels stay whole on one line; the fields take the width that is left.
  rows_->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  rows_->setRowWrapPolicy(QFormLayout::DontWrapRows);
  for (std::size_t k = 0; k < form.fields.size(); ++k) {
    const OptionField& field = form.fields[k];
    QWidget* widget = MakeField(field, k < values.size() ? values[k] : field.defaultValue);
    widget->setObjectName(Q(field.name));
    widget->setToolTip(Q(field.hint));
    fields_.push_back(widget);
    if (field.kind == OptionKind::Flag) {
      rows_->addRow(QString(), widget);
    } else {
      auto* label = new QLabel(Q(field.label) + QLatin1Char(':'));
      label->setBuddy(widget);
      label->setToolTip(Q(field.hint));
      rows_->addRow(label, widget);
    }
  }

  // One line under the fields tells what the field being edited does.
  hint_ = new QLabel;
  hint_->setWordWrap(true);
  hint_->setForegroundRole(QPalette::PlaceholderText);
  refusal_ = new QLabel;
  refusal_->setWordWrap(true);
  refusal_->setStyleSheet(QStringLiteral("color: #b00020"));
  refusal_->hide();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(rows_);
  layout->addSpacing(layout->spacing());
  layout->addWidget(hint_);
  layout->addWidget(refusal_);
  layout->addWidget(buttons);
  // The dialog is as large as its rows need, and shrinks when a choice hides some of them.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { ShowHintOf(now); });
  ShowCountingFields();
  ShowHintOf(fields_.empty() ? nullptr : fields_.front());
  // The hint line takes the width of the rows, not of its own text: a long hint wraps.
  hint_->setMinimumWidth(rows_->sizeHint().width());
}

QWidget* OptionsDialog::MakeField(const OptionField& field, const std::string& value) {
  switch (field.kind) {
    case OptionKind::Choice: {
      auto* combo = new QComboBox;
      for (const OptionChoice& choice : field.choices) combo->addItem(Q(choice.caption), Q(choice.value));
      int index = combo->findData(Q(value));
      if (index < 0) index = combo->findData(Q(field.defaultValue));
      combo->setCurrentIndex(std::max(index, 0));
      connect(combo, &QComboBox::currentIndexChanged, this, [this] { ShowCountingFields(); });
      return combo;
    }
    case OptionKind::WholeNumber: {
      auto* spin = new QSpinBox;
      const bool blank = HasBlankNumber(field);
      spin->setRange(blank ? field.minimum - 1 : field.minimum, field.maximum);
      if (blank) spin->setSpecialValueText(Q(field.blank));
      const auto number = WholeNumber(value);
      spin->setValue(number && *number >= field.minimum && *number <= field.maximum ? *number : spin->minimum());
      return spin;
    }
    case OptionKind::Flag: {
      auto* check = new QCheckBox(Q(field.label));
      check->setChecked(value == "1");
      return check;
    }
    case OptionKind::Number:
    case OptionKind::Text:
      break;
  }
  auto* edit = new QLineEdit(Q(value));
  edit->setPlaceholderText(Q(field.blank));
  return edit;
}

OptionValues OptionsDialog::Values() const {
  OptionValues values;
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    const OptionField& field = form_.fields[k];
    QWidget* widget = fields_[k];
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      values.push_back(combo->currentData().toString().toStdString());
    } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
      const bool blank = HasBlankNumber(field) && spin->value() < field.minimum;
      values.push_back(blank ? std::string() : std::to_string(spin->value()));
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
      values.push_back(check->isChecked() ? "1" : "");
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      values.push_back(edit->text().trimmed().toStdString());
    } else {
      values.push_back(field.defaultValue);
    }
  }
  return values;
}

QWidget* OptionsDialog::FieldWidget(const std::string& name) const {
  for (std::size_t k = 0; k < fields_.size(); ++k)
    if (form_.fields[k].name == name) return fields_[k];
  return nullptr;
}

QString OptionsDialog::Refusal() const { return refusal_->isHidden() ? QString() : refusal_->text(); }

void OptionsDialog::accept() {
  if (const auto why = OptionValuesRefused(form_, Values())) {
    refusal_->setText(Q(*why));
    refusal_->show();
    return;
  }
  refusal_->hide();
  QDialog::accept();
}

void OptionsDialog::ShowCountingFields() {
  const OptionValues values = Values();
  for (std::size_t k = 0; k < fields_.size(); ++k)
    rows_->setRowVisible(fields_[k], OptionFieldCounts(form_, values, k));
  // What was refused may not be there any more.
  refusal_->hide();
}

void OptionsDialog::ShowHintOf(QWidget* focused) {
  for (std::size_t k = 0; k < fields_.size(); ++k)
    if (focused && (focused == fields_[k] || fields_[k]->isAncestorOf(focused)))
      hint_->setText(Q(form_.fields[k].hint));
}
