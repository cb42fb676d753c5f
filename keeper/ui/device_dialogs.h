// The dialogs of device selection: the connection notice shown while a
// session opens, the device-not-found dialog with its Discover button, and
// the list of devices found by earlier discoveries. Their logic is in
// keeper/app (main_window_logic.h, discovered_devices.h).
#pragma once

#include <QDialog>

#include "desktop/language.h"
#include "keeper/app/discovered_devices.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace keeper {

// CConnectionDialog: "Connecting to the device..." with a busy bar; no
// buttons, modeless, centred over its parent (or the screen).
class CConnectionDialog : public QDialog {
  Q_OBJECT

 public:
  CConnectionDialog(const desktop::Texts& texts, QWidget* parent = nullptr);
  // Shows it centred and lets it paint before the caller blocks.
  void Open();

 protected:
  void reject() override {}  // Escape does not close it

 private:
  QLabel* text_;
};

// CErrorDiscovery: the device did not answer. OK closes; Discover closes
// and runs the device discovery.
class CErrorDiscovery : public QDialog {
  Q_OBJECT

 public:
  enum { kDiscover = 1076 };
  CErrorDiscovery(const desktop::LanguageLibrary& lang,
                  const std::string& address, QWidget* parent = nullptr);
  QPushButton* ok_button() const { return ok_; }
  QPushButton* discover_button() const { return discover_; }

 private:
  QPushButton* ok_;
  QPushButton* discover_;
};

// CDiscoveredDeviceDlg: the devices found earlier; OK takes the selected
// one (its logic writes the registry), Cancel leaves everything.
class CDiscoveredDeviceDlg : public QDialog {
  Q_OBJECT

 public:
  CDiscoveredDeviceDlg(const desktop::Texts& texts, DiscoveredDeviceList& list,
                       QWidget* parent = nullptr);
  QTreeWidget* list_view() const { return view_; }
  QPushButton* ok_button() const { return ok_; }
  QPushButton* cancel_button() const { return cancel_; }

  void done(int result) override;

 private:
  void OnOk();

  DiscoveredDeviceList& list_;
  QTreeWidget* view_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace keeper
