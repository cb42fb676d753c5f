// setup's language dialog: the product icon, a prompt of two lines, the
// list of languages (sorted, the system language preselected) and OK and
// Cancel. It draws what the bootstrapper's logic hands it (DialogModel)
// and gives back the text of the chosen entry.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "setup/bootstrap.h"

class QComboBox;

namespace setup {

class CLanguageDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit CLanguageDialog(const DialogModel& model, QWidget* parent = nullptr);

  // The selected entry's text, empty when none is selected.
  std::string SelectedText() const;

 private:
  QComboBox* list_ = nullptr;
};

// Runs the dialog: the chosen text on OK, nullopt on Cancel or closing.
std::optional<std::string> ChooseLanguage(const DialogModel& model);

}  // namespace setup
