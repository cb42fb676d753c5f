// The About box: the program's texts, its version from the settings file,
// and its pictures.
#pragma once

#include <QDialog>

#include "desktop/language.h"

namespace keeper {

class CAboutBox : public QDialog {
  Q_OBJECT

 public:
  CAboutBox(const desktop::LanguageLibrary& lang, const std::string& program_dir,
            QWidget* parent = nullptr);
  const QString& version() const { return version_; }

 private:
  QString version_;
};

}  // namespace keeper
