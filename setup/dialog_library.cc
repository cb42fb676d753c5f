// libsetupdialog.so: the language dialog and the failure message of setup.
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "setup/dialog_abi.h"
#include "setup/language_dialog.h"
#include "setup/strings_file.h"

namespace {

bool HaveDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* v = std::getenv(var);
    if (v && *v) return true;
  }
  return false;
}

// The application object for one call, unless the process has one.
class AppScope {
 public:
  AppScope() {
    if (!QApplication::instance())
      app_ = std::make_unique<QApplication>(argc_, argv_);
  }

 private:
  int argc_ = 1;
  char name_[6] = "setup";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int ZeltSetupChooseLanguage(
    const ZeltSetupDialog* d, char* chosen, uint32_t chosen_size) {
  if (!d || !chosen || chosen_size == 0) return 0;
  if (!HaveDisplay()) return -1;
  AppScope app;
  setup::DialogModel model;
  model.title = d->title ? d->title : "";
  model.prompt = d->prompt ? d->prompt : "";
  model.ok = d->ok ? d->ok : "";
  model.cancel = d->cancel ? d->cancel : "";
  for (uint32_t i = 0; i < d->item_count; ++i)
    model.items.emplace_back(d->items[i] ? d->items[i] : "");
  model.preselected = d->preselected >= 0 &&
                              static_cast<uint32_t>(d->preselected) < d->item_count
                          ? d->preselected
                          : -1;
  std::optional<std::string> text = setup::ChooseLanguage(model);
  if (!text) return 0;
  // Cut at a character boundary: a UTF-16 unit is at most three bytes
  // here, a pair four, so the unit count below keeps within the buffer.
  std::string cut = *text;
  while (cut.size() >= chosen_size)
    cut = setup::CutToUnits(cut, setup::Utf16Units(cut) - 1);
  std::memcpy(chosen, cut.c_str(), cut.size() + 1);
  return 1;
}

extern "C" __attribute__((visibility("default"))) int ZeltSetupShowFailure(
    const char* title, const char* text) {
  if (!HaveDisplay()) return -1;
  AppScope app;
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(title ? title : ""),
                  QString::fromUtf8(text ? text : ""), QMessageBox::Ok);
  box.exec();
  return 0;
}
