// CDiscoveryLocal: the device list. Start and Stop, the rows as devices
// answer, the link to the selected device's page, Advanced, Manual
// Selection, Help (also F1), OK, Cancel; the window's Close is refused
// while a search runs. The window only draws; DiscoveryListLogic decides.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "finder/discovery_list.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace desktop {
class LanguageLibrary;
class StripAnimation;
}

namespace finder::ui {

class CDiscoveryLocal : public QDialog {
  Q_OBJECT

 public:
  // The dialog makes its logic from these; lang, module, screen and host
  // must outlive it.
  CDiscoveryLocal(CDiscoveryModule& module, const desktop::LanguageLibrary& lang,
                  desktop::Screen& screen, DialogHost& host, ListOptions options,
                  QWidget* parent = nullptr);
  ~CDiscoveryLocal() override;

  DiscoveryListLogic& logic() { return *logic_; }
  // Shows the rows and states of the logic (the timer does it too).
  void Refresh();
  // Draws a view of the logic's rows: Refresh() draws the logic's own; the
  // screenshot gallery draws states it cannot reach without a network.
  void Draw(const ListView& view);

  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FillRows();
  void ApplyColumnOrder();

  const desktop::LanguageLibrary& lang_;
  std::unique_ptr<DiscoveryListLogic> logic_;
  QTimer timer_;
  uint64_t shown_revision_ = ~uint64_t{0};
  bool filling_ = false;
  bool ending_ = false;
  QTreeWidget* list_;
  QLabel *hint_, *status_, *link_label_, *link_;
  desktop::StripAnimation* animation_;
  QPushButton *start_, *advanced_, *manual_, *ok_, *cancel_, *help_;
};

}  // namespace finder::ui
